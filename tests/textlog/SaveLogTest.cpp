#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

#include "LoggingHarness.h"
#include "PseudoTerminal.h"
#include "textlog/LogFile.h"
#include "textlog/LogLine.h"

using namespace textlogtest;

namespace {
const QByteArray kMadeHeader = textlog::fileHeaderLine().toLatin1();

int lineCount(const QString& path) {
    return static_cast<int>(readAll(path).count("\r\n"));
}

}  // namespace

TEST(SaveLog, CancelOrFilterNameChangesNothing) {
    for (const std::optional<QString>& answer :
         {std::optional<QString>(), std::optional<QString>("*.txt")}) {
        LoggingHarness h;
        h.stand.rate = "3";
        h.frames(1);
        h.saveLogTo(answer);
        EXPECT_FALSE(h.history.LogToFile);
        EXPECT_FALSE(h.session.isLogging());
        EXPECT_EQ(h.history.SampleCount, 1);
        EXPECT_TRUE(h.history.LogFileName.isEmpty());
        EXPECT_TRUE(h.stand.logPath.isEmpty());
        EXPECT_EQ(h.stand.windowsCreated, 0);
        EXPECT_TRUE(h.stand.errors.empty());
        h.frames(3);
        EXPECT_EQ(h.stand.windowsCreated, 0);  // nothing logged while not logging
    }
}

TEST(SaveLog, StartsWithTheHeaderAtOnceAndShowsWindowAndPath) {
    LoggingHarness h;
    const QString file = h.path("log.txt");
    {
        QFile old(file);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old contents that must go\r\n");
    }
    h.saveLogTo(file);
    EXPECT_EQ(readAll(file), kMadeHeader);
    EXPECT_TRUE(h.history.LogToFile);
    EXPECT_EQ(h.history.LogFileName, file);
    EXPECT_EQ(h.stand.logPath, file);
    ASSERT_TRUE(h.stand.window);
    EXPECT_TRUE(h.stand.window->isVisible());
    // Once when the window was created, once more to come in front of it.
    EXPECT_EQ(h.stand.mainWindowShown, 2);
}

// Logging from the command line goes on in the file of an earlier run: the window and the path
// show as after "Save Log", but nothing already there is lost and no second header comes.
TEST(SaveLog, AFileOpenedForAppendingKeepsItsLinesAndItsOneHeader) {
    LoggingHarness h;
    const QString file = h.path("log.txt");
    const QByteArray earlier = kMadeHeader + "9 Dec 2026    08:08:38      6.99\r\n";
    for (const QByteArray& before : {QByteArray(), earlier}) {
        {
            QFile old(file);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
            old.write(before);
        }
        auto opened = std::make_unique<textlog::LogFile>();
        ASSERT_TRUE(opened->open(file, textlog::LogFile::Mode::Append));
        h.session.logInto(std::move(opened));
        h.frames(2);
        const QByteArray after = readAll(file);
        EXPECT_TRUE(after.startsWith(before.isEmpty() ? kMadeHeader : earlier));
        EXPECT_EQ(after.count(kMadeHeader), 1);
        EXPECT_EQ(lineCount(file), (before.isEmpty() ? 1 : 2) + 2);
        EXPECT_EQ(h.stand.logPath, file);
        ASSERT_TRUE(h.stand.window);
        EXPECT_TRUE(h.stand.window->isVisible());
        h.session.close();
    }
}

TEST(SaveLog, CancelWhileLoggingKeepsTheFileInUse) {
    LoggingHarness h;
    const QString file = h.path("log.txt");
    h.saveLogTo(file);
    h.frames(2);
    h.saveLogTo(std::nullopt);
    h.saveLogTo(QStringLiteral("*.txt"));
    h.frames(1);
    EXPECT_EQ(lineCount(file), 4);
    EXPECT_EQ(h.history.LogFileName, file);
}

TEST(SaveLog, AnotherFileClosesTheFirstAndTheSameFileStartsAfresh) {
    LoggingHarness h;
    const QString first = h.path("first.txt");
    const QString second = h.path("second.txt");
    h.saveLogTo(first);
    h.frames(2);
    h.saveLogTo(second);
    h.frames(3);
    EXPECT_EQ(lineCount(first), 3);
    EXPECT_EQ(lineCount(second), 4);
    EXPECT_TRUE(readAll(second).startsWith(kMadeHeader));
    EXPECT_EQ(h.stand.logPath, second);

    h.saveLogTo(second);
    EXPECT_EQ(readAll(second), kMadeHeader);
    h.frames(1);
    EXPECT_EQ(lineCount(second), 2);
    EXPECT_TRUE(h.stand.errors.empty());
}

TEST(SaveLog, UncreatableFileIsReportedAndLeavesTheStateAsItWas) {
    LoggingHarness h;
    const QString bad = h.path("no-such-folder/log.txt");

    h.stand.rate = "2";
    h.frames(1);
    h.saveLogTo(bad);
    ASSERT_EQ(h.stand.errors.size(), 1u);
    EXPECT_TRUE(h.stand.errors[0].contains(bad));
    EXPECT_TRUE(h.stand.errors[0].contains("No such file or directory"))
        << h.stand.errors[0].toStdString();
    EXPECT_FALSE(h.history.LogToFile);
    EXPECT_EQ(h.history.SampleCount, 1);
    EXPECT_EQ(h.stand.windowsCreated, 0);
    EXPECT_TRUE(h.stand.logPath.isEmpty());

    const QString good = h.path("log.txt");
    h.saveLogTo(good);
    h.frames(2);
    h.saveLogTo(bad);
    EXPECT_EQ(h.stand.errors.size(), 2u);
    EXPECT_TRUE(h.history.LogToFile);
    EXPECT_EQ(h.history.LogFileName, good);
    EXPECT_EQ(h.stand.logPath, good);
    EXPECT_EQ(h.history.SampleCount, 0);
    h.frames(2);
    EXPECT_EQ(lineCount(good), 3);
    EXPECT_FALSE(QFileInfo::exists(bad));
}

TEST(SaveLog, FullDiskIsReportedOnceWhileTheWindowKeepsItsLines) {
    LoggingHarness h;
    h.saveLogTo(QStringLiteral("/dev/full"));
    EXPECT_TRUE(h.history.LogToFile);
    ASSERT_EQ(h.stand.errors.size(), 1u);  // the header already failed
    EXPECT_TRUE(h.stand.errors[0].contains("/dev/full"));
    EXPECT_TRUE(h.stand.errors[0].contains("No space left on device"))
        << h.stand.errors[0].toStdString();
    h.frames(3);
    EXPECT_EQ(h.stand.errors.size(), 1u);
    ASSERT_TRUE(h.stand.window);
    EXPECT_EQ(h.stand.window->text().count("\r\n"), 3);
}

TEST(SaveLog, FailureAfterARecoveryIsReportedAgain) {
    FileSizeLimit limit;

    LoggingHarness h;
    const QString file = h.path("log.txt");
    h.saveLogTo(file);
    h.frames(1);
    const auto size = static_cast<rlim_t>(QFileInfo(file).size());
    limit.set(size);
    h.frames(2);
    EXPECT_EQ(h.stand.errors.size(), 1u);
    limit.set(RLIM_INFINITY);
    h.frames(1);
    EXPECT_EQ(h.stand.errors.size(), 1u);
    limit.set(static_cast<rlim_t>(QFileInfo(file).size()));
    h.frames(1);
    EXPECT_EQ(h.stand.errors.size(), 2u);
    limit.set(RLIM_INFINITY);
    EXPECT_EQ(lineCount(file), 3);
    EXPECT_EQ(h.stand.window->text().count("\r\n"), 5);
}

TEST(SaveLog, LineCutShortLeavesNoTornLineAndTellsTheSystemsReason) {
    FileSizeLimit limit;
    LoggingHarness h;
    const QString file = h.path("log.txt");
    h.saveLogTo(file);
    h.frames(1);
    const QByteArray whole = readAll(file);
    limit.set(static_cast<rlim_t>(whole.size() + 20));  // room for part of a line
    h.frames(1);
    ASSERT_EQ(h.stand.errors.size(), 1u);
    EXPECT_TRUE(h.stand.errors[0].contains("File too large")) << h.stand.errors[0].toStdString();
    EXPECT_EQ(readAll(file).toStdString(), whole.toStdString());

    limit.set(RLIM_INFINITY);
    h.frames(1);
    // The next line is a line of its own, not glued to the remains of the one that failed.
    const QList<QByteArray> lines = readAll(file).split('\n');
    ASSERT_EQ(lines.size(), 4) << readAll(file).toStdString();  // header, two lines, end
    EXPECT_TRUE(readAll(file).startsWith(whole));
    EXPECT_EQ(lines[2].size(), lines[1].size());
    EXPECT_TRUE(lines[2].startsWith(lines[1].left(10))) << lines[2].toStdString();
    EXPECT_TRUE(lines[3].isEmpty());
}

// Lines reach the storage device within a second, in one sync per second however many come.
TEST(LogFileSync, FirstLineAtOnceTheRestTogetherAtTheEndOfTheSecond) {
    QTemporaryDir dir;
    textlog::LogFile file;
    ASSERT_TRUE(file.open(dir.filePath("log.txt")));
    ASSERT_TRUE(file.writeLine("header\r\n"));
    EXPECT_EQ(file.syncCount(), 1);
    EXPECT_FALSE(file.syncPending());
    for (int i = 0; i < 80; ++i) ASSERT_TRUE(file.writeLine("line\r\n"));
    EXPECT_EQ(file.syncCount(), 1);
    EXPECT_TRUE(file.syncPending());
    ASSERT_TRUE(testsupport::waitUntil([&] { return file.syncCount() == 2; }, 5000));
    EXPECT_FALSE(file.syncPending());

    // What is still pending when the file closes is synced before it closes.
    ASSERT_TRUE(file.writeLine("last\r\n"));
    if (file.syncPending()) {
        file.close();
        EXPECT_EQ(file.syncCount(), 3);
    }
}

TEST(SaveLog, CloseAtExitStopsLogging) {
    LoggingHarness h;
    const QString file = h.path("log.txt");
    h.saveLogTo(file);
    h.frames(1);
    h.session.close();
    EXPECT_FALSE(h.history.LogToFile);
    EXPECT_FALSE(h.session.isLogging());
    h.session.logSample(device::LogRecord{});
    EXPECT_EQ(lineCount(file), 2);
}
