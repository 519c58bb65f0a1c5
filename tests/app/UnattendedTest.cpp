// The real program as a child process, left alone at the tank: started with --log, killed,
// started again, stopped by the system; real pseudo-terminals and real files.
#include <gtest/gtest.h>
#include <signal.h>

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "BuiltProgram.h"
#include "Frames.h"
#include "PseudoTerminal.h"
#include "textlog/LogLine.h"

using testsupport::waitUntil;

namespace {

// One logged reference frame, as the file holds it after its date and time.
const QByteArray LoggedFrame =
    " 766           812           651           253           90            1000\r\n";

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The environment of a desktop session or of a service: without a display, nothing of the
// tests' own platform choice leaks in.
QProcessEnvironment environment(bool withDisplay) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    if (withDisplay) env.insert("QT_QPA_PLATFORM", "offscreen");
    static QTemporaryDir runtime;
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    return env;
}

class Program {
public:
    Program(const QStringList& args, bool withDisplay) {
        process_.setProcessEnvironment(environment(withDisplay));
        testsupport::startBuiltProgram(process_, QStringLiteral(VELLICOR_PATH), args);
        started_ = process_.waitForStarted();
    }
    ~Program() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    QProcess& process() { return process_; }
    bool started() const { return started_; }
    void signal(int number) { ::kill(static_cast<pid_t>(process_.processId()), number); }

private:
    QProcess process_;
    bool started_ = false;
};

#define START_OR_SKIP(program)                                       \
    if (!(program).started()) {                                      \
        VELLICOR_SKIP_IF_EMULATOR_CANNOT_START((program).process()); \
        FAIL() << (program).process().errorString().toStdString();   \
    }

// Sends frames until the file holds `lines` logged frames; the port may still be opening.
bool feedUntilLogged(testsupport::PseudoTerminal& pty, const QString& path, int lines) {
    return waitUntil(
        [&] {
            if (readAll(path).count(LoggedFrame) >= lines) return true;
            pty.write(testsupport::referenceFrame());
            return false;
        },
        15000);
}

}  // namespace

TEST(Unattended, KilledAndStartedAgainTheLogGoesOnInTheSameFileUnderOneHeader) {
    testsupport::PseudoTerminal pty;
    QTemporaryDir dir;
    const QString path = dir.filePath("tank.txt");
    const QStringList command = {pty.slaveName(), "--log", path};

    QByteArray before;
    {
        Program first(command, true);
        START_OR_SKIP(first);
        ASSERT_TRUE(feedUntilLogged(pty, path, 3));
        first.signal(SIGKILL);
        ASSERT_TRUE(first.process().waitForFinished());
        before = readAll(path);
    }
    ASSERT_TRUE(before.startsWith(textlog::fileHeaderLine().toLatin1()));

    Program second(command, true);
    START_OR_SKIP(second);
    const int earlier = static_cast<int>(before.count(LoggedFrame));
    ASSERT_TRUE(feedUntilLogged(pty, path, earlier + 2));
    // Stopped by the system as Exit would: status 0, soon.
    QElapsedTimer stopping;
    stopping.start();
    second.signal(SIGTERM);
    ASSERT_TRUE(second.process().waitForFinished(5000));
    EXPECT_LT(stopping.elapsed(), 2000);
    EXPECT_EQ(second.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.process().exitCode(), 0);

    const QByteArray after = readAll(path);
    EXPECT_TRUE(after.startsWith(before)) << "the earlier bytes changed";
    EXPECT_EQ(after.count(textlog::fileHeaderLine().toLatin1()), 1);
    EXPECT_GE(after.count(LoggedFrame), earlier + 2);
}

TEST(Unattended, ALineTornByAPowerCutStaysAloneAndEveryNewLineIsWhole) {
    testsupport::PseudoTerminal pty;
    QTemporaryDir dir;
    const QString path = dir.filePath("tank.txt");
    const QByteArray torn =
        textlog::fileHeaderLine().toLatin1() + "9 Dec 2026    08:08:38      6.9";
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(torn);
    }

    Program program({pty.slaveName(), "--headless", "--log", path}, false);
    START_OR_SKIP(program);
    ASSERT_TRUE(feedUntilLogged(pty, path, 2));
    program.signal(SIGTERM);
    ASSERT_TRUE(program.process().waitForFinished(5000));

    const QByteArray after = readAll(path);
    ASSERT_TRUE(after.startsWith(torn + "\r\n")) << after.toStdString();
    const QList<QByteArray> added = after.mid(torn.size() + 2).split('\n');
    ASSERT_GE(added.size(), 3);
    EXPECT_TRUE(added.back().isEmpty()) << "the last line is not ended";
    for (qsizetype i = 0; i + 1 < added.size(); ++i)
        EXPECT_TRUE((added[i] + '\n').endsWith(LoggedFrame)) << added[i].toStdString();
}

TEST(Unattended, HeadlessWithoutADisplayLogsEveryFrameAndEndsCleanlyOnSigterm) {
    constexpr int Frames = 20;
    testsupport::PseudoTerminal pty;
    QTemporaryDir dir;
    const QString path = dir.filePath("tank.txt");

    Program program({pty.slaveName(), "--headless", "--log", path, "--interval", "1"}, false);
    START_OR_SKIP(program);
    ASSERT_TRUE(feedUntilLogged(pty, path, 1));
    // Frames sent while the port was still opening may still be on their way: count from
    // when the file has stopped growing.
    qsizetype first = -1;
    for (qsizetype now = readAll(path).count(LoggedFrame); now != first;
         now = readAll(path).count(LoggedFrame)) {
        first = now;
        QThread::msleep(500);
    }
    for (int i = 0; i < Frames; ++i) {
        pty.write(testsupport::referenceFrame());
        // A frame at 9600 baud takes 12.5 ms; these come as a device would send them.
        QThread::msleep(20);
    }
    EXPECT_TRUE(waitUntil([&] { return readAll(path).count(LoggedFrame) == first + Frames; }))
        << readAll(path).count(LoggedFrame) - first << " of " << Frames;

    program.signal(SIGTERM);
    ASSERT_TRUE(program.process().waitForFinished(5000));
    EXPECT_EQ(program.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.process().exitCode(), 0);
    const QByteArray err = program.process().readAllStandardError();
    // What it said went to standard error, a line each; nothing of a window system.
    EXPECT_TRUE(err.contains("Listening to " + pty.slaveName().toUtf8())) << err.toStdString();
    EXPECT_FALSE(err.contains("qt.qpa")) << err.toStdString();

    // The log it wrote, drawn for a web page by a daily job: still without a display.
    const QString png = dir.filePath("day.png");
    Program exporter({"--history", path, "--export-png", png}, false);
    START_OR_SKIP(exporter);
    ASSERT_TRUE(exporter.process().waitForFinished(20000));
    EXPECT_EQ(exporter.process().exitCode(), 0)
        << exporter.process().readAllStandardError().toStdString();
    const QImage picture(png);
    EXPECT_GE(picture.width(), 1200);
    EXPECT_GE(picture.height(), 600);
}

TEST(Unattended, ALogThatCannotBeOpenedStopsTheProgramBeforeAnyWindowWithOneLine) {
    QTemporaryDir dir;
    const QString missingFolder = dir.filePath("no/such/folder/tank.txt");
    for (bool headless : {false, true}) {
        for (const QString& path : {missingFolder, dir.path()}) {
            SCOPED_TRACE((path + (headless ? " headless" : " window")).toStdString());
            QStringList args = {"/dev/null", "--log", path};
            if (headless) args << "--headless";
            // No display and no platform chosen: a program that reached for a window would
            // fail on that instead, with Qt's own words.
            Program program(args, false);
            START_OR_SKIP(program);
            ASSERT_TRUE(program.process().waitForFinished(10000));
            EXPECT_NE(program.process().exitCode(), 0);
            const QByteArray err = program.process().readAllStandardError();
            EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
            EXPECT_TRUE(err.contains(QFile::encodeName(path))) << err.toStdString();
        }
    }
}

// A mistyped line is told before any application exists: one line naming the option and the status
// a service manager does not restart, with no display to reach for.
TEST(Unattended, AMistypedCommandLineIsRefusedWithOneLineAndTheBadLineStatus) {
    const std::pair<QStringList, QByteArray> lines[] = {
        {{"--bogus"}, "bogus"},
        {{"/dev/null", "--headless", "--bogus"}, "bogus"},
        {{"--log", "--headless", "/dev/null"}, "--log needs a FILE"},
        {{"-style", "fusion", "/dev/null", "--interval", "--headless"}, "--interval needs an N"},
    };
    for (const auto& [args, reason] : lines) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        Program program(args, false);
        START_OR_SKIP(program);
        ASSERT_TRUE(program.process().waitForFinished(10000));
        EXPECT_EQ(program.process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.process().exitCode(), 2);
        const QByteArray err = program.process().readAllStandardError();
        EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
        EXPECT_TRUE(err.contains(reason)) << err.toStdString();
    }
}

// Qt's own options still reach the application: without a display only "-platform offscreen" lets
// the history window start at all.
TEST(Unattended, QtsOwnOptionsGoToTheApplication) {
    QTemporaryDir dir;
    const QString log = dir.filePath("tank.txt");
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    Program program({"-platform", "offscreen", "--history", log}, false);
    START_OR_SKIP(program);
    EXPECT_FALSE(program.process().waitForFinished(1500))
        << program.process().readAllStandardError().toStdString();
}
