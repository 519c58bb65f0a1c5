#pragma once

#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <signal.h>
#include <sys/resource.h>
#endif

#include <QPointer>
#include <QTemporaryDir>
#include <deque>
#include <vector>

#include "device/Clock.h"
#include "device/FrameDecoder.h"
#include "textlog/Form2.h"
#include "textlog/LogSession.h"

namespace textlogtest {

#ifdef Q_OS_UNIX
// A file size limit makes writes fail, or stop short inside a line, and succeed again on
// demand, as a filling disk does. Writes past it fail with EFBIG instead of killing the process.
struct FileSizeLimit {
    rlimit saved{};
    FileSizeLimit() {
        signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved);
    }
    void set(rlim_t bytes) {
        rlimit l = saved;
        l.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, SIG_DFL);
    }
};
#endif

// Answers "Save Log" from a script instead of a dialog: a path, or nothing for a cancel.
struct ScriptedDialog : textlog::SaveDialog {
    std::deque<std::optional<QString>> answers;
    std::optional<QString> askFileName(QWidget*) override {
        if (answers.empty()) return std::nullopt;
        const bool cancelled = !answers.front().has_value();
        const QString name = answers.front().value_or(QString());
        answers.pop_front();
        if (cancelled) return std::nullopt;
        return name;
    }
};

// Stands in for the main window: forwards due frames to the log session and keeps the text log
// window the way the main window's registry does (deleted on close, created hidden on use).
struct MainWindowStandIn : device::FrameSink {
    QString rate = QStringLiteral("1");
    textlog::LogSession* session = nullptr;
    QPointer<textlog::Form2> window;
    int windowsCreated = 0;
    int mainWindowShown = 0;
    QString logPath;
    std::vector<QString> errors;

    void showRegisters(const device::RegisterTexts&) override {}
    QString updateRateText() const override { return rate; }
    void logSample(const device::LogRecord& r) override { session->logSample(r); }
    device::GraphScale graphScale() override { return device::GraphScale::Fixed; }
    void computeScaleMappings() override {}
    void redrawGraph(device::GraphScale) override {}

    textlog::Form2* textLogWindow() {
        if (!window) {
            window = new textlog::Form2([this] { ++mainWindowShown; });
            window->setAttribute(Qt::WA_DeleteOnClose);
            ++windowsCreated;
        }
        return window;
    }
    textlog::LogSession::Hooks hooks() {
        return {[this] { return textLogWindow(); },
                [this] {
                    textLogWindow()->show();
                    ++mainWindowShown;
                },
                [this](const QString& path) { logPath = path; },
                [this](textlog::LogFailure, const QString& message) { errors.push_back(message); },
                nullptr};
    }
    ~MainWindowStandIn() override { delete window.data(); }
};

// The reference frame: measured 6.99, target 7.41, valve 1, raw 766, limit 812, raw7 651,
// raw4 253, k 90, m 1000.
inline QByteArray referenceFrame() {
    return QByteArray::fromHex("2c038b02fd005a01e803fe02");
}

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

// A decoder, a log session and a main-window stand-in wired as the program wires them.
class LoggingHarness {
public:
    LoggingHarness() { stand.session = &session; }

    QString path(const QString& name) const { return dir.filePath(name); }
    void saveLogTo(const std::optional<QString>& answer) {
        dialog.answers.push_back(answer);
        session.saveLog();
    }
    void frames(int n, const QByteArray& frame = referenceFrame()) {
        for (int i = 0; i < n; ++i) {
            decoder.decode(frame);
            clock.advanceMs(1000);
        }
    }

    QTemporaryDir dir;
    device::MeasurementHistory history;
    device::ManualClock clock{QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7))};
    MainWindowStandIn stand;
    ScriptedDialog dialog;
    textlog::LogSession session{history, dialog, stand.hooks()};
    device::FrameDecoder decoder{history, stand, clock};
};

}  // namespace textlogtest

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
