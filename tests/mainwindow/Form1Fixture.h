#pragma once

#include <gtest/gtest.h>

#include <QDateTime>
#include <QStringList>

#include "PseudoTerminal.h"
#include "device/Clock.h"
#include "device/MeasurementHistory.h"
#include "mainwindow/Form1.h"
#include "textlog/LogSession.h"

namespace mainwindowtest {

// A save dialog that gives `answer`; cancelled unless a test sets one.
class ScriptedDialog final : public textlog::SaveDialog {
public:
    std::optional<QString> askFileName(QWidget*) override { return answer; }
    std::optional<QString> answer;
};

// The main window as the program builds it, on a clock the test controls, with messages
// collected instead of shown.
class Form1Test : public ::testing::Test {
protected:
    Form1Test() {
        form.reportError = [this](const QString& text) { messages << text; };
        // A loaded test machine may take longer than a user's to open a pseudo-terminal; these
        // tests are about what an opening leads to, not how soon.
        form.MSComm1.setQuickOpenMs(testsupport::TestQuickOpenMs);
    }

    device::ManualClock clock{QDateTime(QDate(2024, 3, 5), QTime(10, 0, 0))};
    device::MeasurementHistory history;
    ScriptedDialog dialog;
    mainwindow::Form1 form{history, dialog, clock};
    QStringList messages;
};

}  // namespace mainwindowtest
