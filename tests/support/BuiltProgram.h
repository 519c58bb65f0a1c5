#pragma once

#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <QStringList>

#include "TestEmulator.h"

namespace testsupport {

// Whether the tests run under the emulator of a cross build.
inline bool emulated() {
    return !emulatorCommand().isEmpty();
}

// Starts one of this build's own programs. In a cross build this machine cannot run it by
// itself, so it goes through the emulator that runs the tests.
inline void startBuiltProgram(QProcess& process, const QString& program, const QStringList& args) {
    QStringList command = emulatorCommand();
    if (command.isEmpty()) {
        process.start(program, args);
        return;
    }
    const QString emulator = command.takeFirst();
    process.start(emulator, command + QStringList{program} + args);
}

}  // namespace testsupport

// qemu's user-mode emulator (7.2 in Debian 12) refuses the clone() with which QProcess starts
// every child, so under it a test that needs a child process is skipped; natively, and on a
// real arm64 machine, the child must start.
#define VELLICOR_SKIP_IF_EMULATOR_CANNOT_START(process)                          \
    if (testsupport::emulated() && (process).error() == QProcess::FailedToStart) \
    GTEST_SKIP() << "this emulator cannot start child processes: "               \
                 << (process).errorString().toStdString()
