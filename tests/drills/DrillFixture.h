#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QComboBox>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "PseudoTerminal.h"
#include "device/MeasurementHistory.h"
#include "mainwindow/Form1.h"
#include "textlog/LogSession.h"

namespace drills {

// The light red of a message about a lost link.
inline const QColor LightRed(255, 192, 192);

// Runs the event loop, blocking between events, for the given time.
inline void idle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// "Save Log" answers with whatever path the drill sets.
struct ScriptedDialog final : textlog::SaveDialog {
    QString path;
    std::optional<QString> askFileName(QWidget*) override { return path; }
};

// Frame number n: the reference frame with n as the raw pH reading, so every frame is
// distinct and its log line tells which one it was.
inline QByteArray frameWithRaw(int raw) {
    const unsigned char b[12] = {0x2C,
                                 0x03,
                                 0x8B,
                                 0x02,
                                 0xFD,
                                 0x00,
                                 0x5A,
                                 0x01,
                                 0xE8,
                                 0x03,
                                 static_cast<unsigned char>(raw & 0xFF),
                                 static_cast<unsigned char>((raw >> 8) & 0xFF)};
    return QByteArray(reinterpret_cast<const char*>(b), 12);
}

// The raw readings of a log file's data lines, in order (the header is skipped).
inline std::vector<int> loggedRaws(const QString& path) {
    QFile file(path);
    std::vector<int> raws;
    if (!file.open(QIODevice::ReadOnly)) return raws;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> items = lines[i].simplified().split(' ');
        // Raw, limit, pH7, pH4, k and m close the line.
        if (items.size() >= 11) raws.push_back(items[items.size() - 6].toInt());
    }
    return raws;
}

// The real main window on a real pseudo-terminal, with a log file in a fresh directory and
// the messages to the user collected instead of shown.
class DrillTest : public ::testing::Test {
protected:
    DrillTest() {
        dialog.path = dir.filePath(QStringLiteral("log.txt"));
        form.reportError = [this](const QString& text) { messages << text; };
        // A loaded test machine may take longer than a user's to open a pseudo-terminal; these
        // tests are about what an opening leads to, not how soon.
        form.MSComm1.setQuickOpenMs(testsupport::TestQuickOpenMs);
        form.show();
    }

    void connect(const testsupport::PseudoTerminal& pty) {
        form.Combo1->setEditText(pty.slaveName());
        // The serial port's lock file is named after the pty number, which the kernel hands
        // out again as soon as it is free; another test process that has just closed the
        // same number may not have removed its lock yet. That race is the test bench's, so
        // a refused open is retried briefly and its message not counted.
        for (int attempt = 0; attempt < 20; ++attempt) {
            form.Command2->click();
            if (form.MSComm1.PortOpen()) return;
            if (!messages.isEmpty()) lastRefusal = messages.takeLast();
            testsupport::waitUntil([] { return false; }, 20);
        }
        FAIL() << lastRefusal.toStdString();
    }

    void startLog() {
        form.Command6->click();
        ASSERT_TRUE(history.LogToFile) << messages.join('\n').toStdString();
    }

    // Sends the frame and waits until the measured pH label shows it.
    bool sendAndSee(testsupport::PseudoTerminal& pty, int raw) {
        pty.write(frameWithRaw(raw));
        const QString expected = QStringLiteral("[ %1]").arg(raw);
        return testsupport::waitUntil([&] { return form.Label40->text() == expected; });
    }

    QTemporaryDir dir;
    ScriptedDialog dialog;
    device::MeasurementHistory history;
    mainwindow::Form1 form{history, dialog};
    QStringList messages;
    QString lastRefusal;
};

}  // namespace drills
