#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

#include "WaitUntil.h"

namespace testsupport {

// A real pseudo-terminal pair. The program opens slaveName() like a serial port; the test
// writes the device's bytes into the master side. Raw mode, so every byte passes unchanged.
class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    QString slaveName() const { return slaveName_; }
    void write(const QByteArray& bytes);
    // Hangs up the device side, as a Bluetooth drop does.
    void closeMaster();
    int masterFd() const { return master_; }

private:
    int master_ = -1;
    int slave_ = -1;  // kept open so the line settings survive between opens
    QString slaveName_;
};

// How long a test lets an opening hold the caller before it goes on in the background.
constexpr int TestQuickOpenMs = 5000;

}  // namespace testsupport
