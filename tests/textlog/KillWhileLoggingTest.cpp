#include <gtest/gtest.h>
#include <signal.h>

#include <QProcess>
#include <QTemporaryDir>

#include "BuiltProgram.h"
#include "PseudoTerminal.h"
#include "textlog/LogLine.h"

namespace {
int countLines(const QByteArray& output, const QByteArray& line) {
    return static_cast<int>(output.count(line + '\n'));
}
}  // namespace

// Every line logged before a crash is already in the file: nothing waits in a buffer.
TEST(KillWhileLogging, EveryLoggedLineSurvivesSigkill) {
    constexpr int N = 5;
    testsupport::PseudoTerminal pty;
    QTemporaryDir dir;
    const QString file = dir.filePath("log.txt");

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(env);
    QByteArray output;
    QObject::connect(&child, &QProcess::readyReadStandardOutput,
                     [&] { output += child.readAllStandardOutput(); });
    testsupport::startBuiltProgram(child, QStringLiteral(LOGGING_CHILD_PATH),
                                   {pty.slaveName(), file});
    if (!child.waitForStarted()) {
        VELLICOR_SKIP_IF_EMULATOR_CANNOT_START(child);
        FAIL() << child.errorString().toStdString();
    }
    ASSERT_TRUE(testsupport::waitUntil([&] { return countLines(output, "ready") == 1; }, 10000))
        << child.readAllStandardError().toStdString();

    const QByteArray frame = QByteArray::fromHex("2c038b02fd005a01e803fe02");
    for (int i = 1; i <= N; ++i) {
        pty.write(frame);
        ASSERT_TRUE(testsupport::waitUntil([&] { return countLines(output, "logged") == i; }));
    }
    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    ASSERT_TRUE(child.waitForFinished());
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);

    QFile log(file);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().split('\n');
    ASSERT_EQ(lines.size(), N + 2);  // header, N lines, nothing after the last CR LF
    EXPECT_EQ(lines[0] + '\n', textlog::fileHeaderLine().toLatin1());
    for (int i = 1; i <= N; ++i) {
        EXPECT_TRUE(
            lines[i].endsWith(" 766           812           651           253           "
                              "90            1000\r"))
            << lines[i].toStdString();
    }
}
