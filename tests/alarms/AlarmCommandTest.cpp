#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "BuiltProgram.h"
#include "alarms/AlarmCommand.h"

using namespace alarms;

namespace {

// A script of the test's own, made executable.
QString script(const QTemporaryDir& dir, const char* name, const QByteArray& body) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n" + body);
    f.close();
    f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    return path;
}

const AlarmNotice Raised{
    Alarm::Low, true, QDateTime(QDate(2026, 12, 9), QTime(3, 4, 5), Qt::OffsetFromUTC, 3600),
    652,        700,  QStringLiteral("/dev/rfcomm0")};

// The command is a child process, which the cross build's emulator cannot start.
#define SKIP_UNDER_EMULATOR() \
    if (testsupport::emulated()) GTEST_SKIP() << "this emulator cannot start child processes"

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

TEST(AlarmCommand, RunsWithoutAShellInOrderWithTheFactsInItsEnvironment) {
    SKIP_UNDER_EMULATOR();
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out"));
    // A name with a blank and a quote: a shell would split or choke on it.
    const QString program = script(dir, "tell me 'now'",
                                   "echo \"$VELLICOR_ALARM $VELLICOR_ALARM_STATE $VELLICOR_PH "
                                   "$VELLICOR_TARGET_PH $VELLICOR_SINCE $VELLICOR_PORT\" >> " +
                                       out.toUtf8() + "\n");
    AlarmCommand command(program);
    QSignalSpy finished(&command, &AlarmCommand::finished);
    QSignalSpy failed(&command, &AlarmCommand::failed);
    command.run(Raised);
    AlarmNotice cleared = Raised;
    cleared.raised = false;
    cleared.alarm = Alarm::Silent;
    cleared.ph.reset();
    cleared.target.reset();
    command.run(cleared);
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.size() == 2; }, 10000));
    EXPECT_EQ(failed.size(), 0);
    EXPECT_EQ(readAll(out),
              "low raised 6.52 7.00 2026-12-09T03:04:05+01:00 /dev/rfcomm0\n"
              "silent cleared   2026-12-09T03:04:05+01:00 /dev/rfcomm0\n");
}

TEST(AlarmCommand, AFailureIsToldOnceUntilItWorksAgain) {
    SKIP_UNDER_EMULATOR();
    QTemporaryDir dir;
    const QString flag = dir.filePath(QStringLiteral("works"));
    const QString program = script(dir, "flaky", "test -e " + flag.toUtf8() + " || exit 3\n");
    AlarmCommand command(program);
    QSignalSpy finished(&command, &AlarmCommand::finished);
    QSignalSpy failed(&command, &AlarmCommand::failed);
    for (int i = 0; i < 3; ++i) command.run(Raised);
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.size() == 3; }, 10000));
    ASSERT_EQ(failed.size(), 1);
    EXPECT_TRUE(failed[0][0].toString().contains(QStringLiteral("exit status 3")));

    QFile(flag).open(QIODevice::WriteOnly);
    command.run(Raised);
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.size() == 4; }, 10000));
    QFile::remove(flag);
    command.run(Raised);
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.size() == 5; }, 10000));
    EXPECT_EQ(failed.size(), 2);

    AlarmCommand missing(dir.filePath(QStringLiteral("no such program")));
    QSignalSpy missingFailed(&missing, &AlarmCommand::failed);
    QSignalSpy missingFinished(&missing, &AlarmCommand::finished);
    missing.run(Raised);
    missing.run(Raised);
    ASSERT_TRUE(QTest::qWaitFor([&] { return missingFinished.size() == 2; }, 10000));
    ASSERT_EQ(missingFailed.size(), 1);
    EXPECT_TRUE(missingFailed[0][0].toString().contains(QStringLiteral("could not be started")));
}
