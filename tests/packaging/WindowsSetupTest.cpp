// The Windows setup under Wine, used as an administrator uses it: a silent install into a fresh
// prefix, its Start menu and Startup entries, the installed program logging from a COM port,
// an upgrade over the running program, and a silent uninstall. The stages share one prefix and
// run in this order, in one process.
//
// Needs wine, Xvfb and VELLICOR_WINDOWS_SETUP=<the setup>; VELLICOR_WINDOWS_ZIP=<the zip> adds
// the check that both hold the same files. Without the setup every stage is skipped.
// ./scripts/test --platforms gives both.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <memory>

#include "Frames.h"
#include "PseudoTerminal.h"
#include "ShellLink.h"

using testsupport::waitUntil;

// Readable paths and values in the failures.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

const QString InstallDir = QStringLiteral(R"(C:\Program Files\Vellicor)");
const QString Program = InstallDir + QStringLiteral(R"(\vellicor.exe)");
const QString UninstallKey =
    QStringLiteral(R"(HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vellicor)");
const QString StartMenu = QStringLiteral("ProgramData/Microsoft/Windows/Start Menu/Programs");
// Where a test's user keeps the log: a path with spaces, as Windows users' folders have.
const QString UserLog = QStringLiteral(R"(C:\users\Public\Documents\Aquarium logs\ph log.txt)");
const QString RunLog = QStringLiteral(R"(C:\users\Public\Documents\tank.txt)");
// One logged reference frame, as the file holds it after its date and time.
const QByteArray LoggedFrame =
    " 766           812           651           253           90            1000\r\n";

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A value of the version resource that Explorer shows for a Windows program ("ProductName"),
// found after its key in the file: a key ends in a zero and pads to four bytes before the value.
QString versionValue(const QByteArray& exe, const QString& key) {
    const QByteArray needle(reinterpret_cast<const char*>(key.utf16()), 2 * key.size() + 2);
    const qsizetype found = exe.indexOf(needle);
    if (found < 0) return {};
    qsizetype at = found + needle.size();
    while (at % 4 != 0) ++at;
    QString value;
    for (; at + 1 < exe.size(); at += 2) {
        const char16_t c = static_cast<uchar>(exe[at]) | static_cast<uchar>(exe[at + 1]) << 8;
        if (c == 0) break;
        value.append(QChar(c));
    }
    return value;
}

class WindowsSetup : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setup_ = qEnvironmentVariable("VELLICOR_WINDOWS_SETUP");
        if (setup_.isEmpty()) {
            skipReason_ = "VELLICOR_WINDOWS_SETUP names no setup";
            return;
        }
        root_ = std::make_unique<QTemporaryDir>();
        QDir(root_->path()).mkpath("home");
        xvfb_ = std::make_unique<QProcess>();
        xvfb_->start("Xvfb",
                     {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
        if (!QFileInfo(setup_).isFile()) {
            failure_ = setup_ + " is no file";
            return;
        }
        if (!xvfb_->waitForReadyRead(10000)) {
            failure_ = "Xvfb did not start";
            return;
        }
        display_ = ":" + QString::fromLatin1(xvfb_->readAllStandardOutput()).trimmed();
        // A prefix of its own, made before the first stage so that its time shows apart.
        QProcess boot;
        boot.setProcessEnvironment(environment());
        boot.start("wineboot", {"-i"});
        if (!boot.waitForFinished(180000) || boot.exitCode() != 0) {
            failure_ = "wineboot could not make a prefix";
            return;
        }
        // A Wine server that stays between the stages' many short runs spares each of them
        // starting Wine's own services again.
        wine({"wineserver", "-p"});
    }
    static void TearDownTestSuite() {
        if (program_) {
            program_->kill();
            program_->waitForFinished();
        }
        program_.reset();
        if (root_) wine({"wineserver", "-k"});
        if (xvfb_) {
            xvfb_->terminate();
            xvfb_->waitForFinished();
        }
        xvfb_.reset();
        root_.reset();
    }
    void SetUp() override {
        if (!skipReason_.isEmpty()) GTEST_SKIP() << skipReason_.toStdString();
        // Given a setup, whatever keeps it from being tried is a failure.
        ASSERT_TRUE(failure_.isEmpty()) << failure_.toStdString();
    }

    static QString prefix() { return root_->filePath("prefix"); }

    // Wine, with nothing of this machine's user leaking in or out: its own home (Wine links
    // a user's Documents to the home's), no menu entries made on the host, no Mono or Gecko.
    static QProcessEnvironment environment() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("WINEPREFIX", prefix());
        env.insert("WINEDEBUG", "-all");
        env.insert("WINEDLLOVERRIDES", "winemenubuilder.exe=d;mscoree,mshtml=");
        env.insert("HOME", root_->filePath("home"));
        env.remove("XDG_CONFIG_HOME");
        env.remove("XDG_DATA_HOME");
        env.insert("DISPLAY", display_);
        return env;
    }

    // Runs a command under the prefix and gives its exit status; -1 when it did not end.
    static int wine(const QStringList& command, QByteArray* out = nullptr) {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(command.first(), command.mid(1));
        if (!process.waitForFinished(120000)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        if (out) *out = process.readAllStandardOutput();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    static int runSetup(const QStringList& options) {
        return wine(QStringList{"wine", setup_, "/S"} + options);
    }

    // The Linux path of a path on the prefix's drive C:.
    static QString hostPath(QString windowsPath) {
        windowsPath.replace('\\', '/');
        return prefix() + "/drive_c" + windowsPath.mid(2);
    }
    static std::optional<testsupport::ShellLink> shortcut(const QString& name) {
        const QString path = hostPath(R"(C:\)") + StartMenu + "/" + name;
        if (!QFile::exists(path)) return std::nullopt;
        return testsupport::readShellLink(readAll(path));
    }
    // A registry value as reg.exe prints it; nothing when the key or value is missing.
    static std::optional<QString> registry(const QString& key, const QString& value) {
        QByteArray out;
        if (wine({"wine", "reg", "query", key, "/v", value}, &out) != 0) return std::nullopt;
        static const QRegularExpression line(R"(^\s+(\S+)\s+REG_\w+\s+(.*?)\s*$)",
                                             QRegularExpression::MultilineOption);
        for (auto it = line.globalMatch(QString::fromUtf8(out)); it.hasNext();) {
            const auto match = it.next();
            if (match.captured(1) == value) return match.captured(2);
        }
        return std::nullopt;
    }
    // Every file under the install folder, relative to it.
    static QSet<QString> installedFiles() {
        QSet<QString> files;
        const QDir dir(hostPath(InstallDir));
        for (QDirIterator it(dir.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            files.insert(dir.relativeFilePath(it.next()));
        return files;
    }

    static inline QString setup_;
    static inline QString skipReason_;
    static inline QString failure_;
    static inline QString display_;
    static inline std::unique_ptr<QTemporaryDir> root_;
    static inline std::unique_ptr<QProcess> xvfb_;
    // The installed program, left running by one stage for the upgrade after it.
    static inline std::unique_ptr<QProcess> program_;
    static inline QSet<QString> installed_;
};

TEST_F(WindowsSetup, SilentInstallPutsTheZipsFilesIntoProgramFilesAndRegistersTheUninstaller) {
    ASSERT_EQ(runSetup({}), 0);
    installed_ = installedFiles();
    EXPECT_TRUE(installed_.contains("vellicor.exe"));
    EXPECT_TRUE(installed_.contains("uninstall.exe"));
    // The 64-bit folder, not the one Windows keeps for 32-bit programs.
    EXPECT_FALSE(QFile::exists(hostPath(R"(C:\Program Files (x86)\Vellicor)")));

    const QString zip = qEnvironmentVariable("VELLICOR_WINDOWS_ZIP");
    if (!zip.isEmpty()) {
        QProcess list;
        list.start("unzip", {"-Z1", zip});
        ASSERT_TRUE(list.waitForFinished(30000));
        QStringList entries = QString::fromUtf8(list.readAllStandardOutput()).split('\n');
        entries.removeIf([](const QString& e) { return e.isEmpty() || e.endsWith('/'); });
        // A zip that unpacks into one folder of its own holds the same files inside it.
        const QString top = entries.value(0).section('/', 0, 0) + "/";
        if (std::all_of(entries.begin(), entries.end(),
                        [&](const QString& e) { return e.startsWith(top); })) {
            for (QString& entry : entries) entry.remove(0, top.size());
        }
        QSet<QString> fromZip(entries.begin(), entries.end());
        fromZip.insert("uninstall.exe");
        EXPECT_EQ(installed_, fromZip);
    }

    const QString name = QFileInfo(setup_).fileName();
    const QString version = QRegularExpression(R"(-(\d+\.\d+\.\d+)-)").match(name).captured(1);
    EXPECT_EQ(registry(UninstallKey, "DisplayName"), "Vellicor pH controller");
    EXPECT_EQ(registry(UninstallKey, "DisplayVersion"), version);
    EXPECT_EQ(registry(UninstallKey, "UninstallString"), "\"" + InstallDir + "\\uninstall.exe\"");
    EXPECT_EQ(registry(UninstallKey, "QuietUninstallString"),
              "\"" + InstallDir + "\\uninstall.exe\" /S");
    EXPECT_EQ(registry(UninstallKey, "DisplayIcon"), Program);

    // Who made it and which version, as Explorer's properties show it, of the program and of
    // the setup itself.
    for (const QString& exe : {hostPath(Program), setup_}) {
        SCOPED_TRACE(exe.toStdString());
        const QByteArray bytes = readAll(exe);
        EXPECT_EQ(versionValue(bytes, "CompanyName"), "Vellicor");
        EXPECT_TRUE(versionValue(bytes, "ProductName").startsWith("Vellicor pH controller"));
        EXPECT_EQ(versionValue(bytes, "ProductVersion"), version);
        EXPECT_FALSE(versionValue(bytes, "FileDescription").isEmpty());
    }
}

TEST_F(WindowsSetup, StartMenuEntriesStartTheInstalledProgramWithItsIcon) {
    const auto controller = shortcut("Vellicor pH controller.lnk");
    const auto history = shortcut("Vellicor pH history.lnk");
    ASSERT_TRUE(controller && history);
    EXPECT_EQ(controller->target, Program);
    EXPECT_EQ(controller->arguments, "");
    EXPECT_EQ(history->target, Program);
    EXPECT_EQ(history->arguments, "--history");
    EXPECT_EQ(controller->iconLocation, Program);
    EXPECT_EQ(history->iconLocation, Program);
}

// The end-to-end run of the installed program: a pty mapped as COM5, the Windows platform on
// Xvfb, every frame in the log.
TEST_F(WindowsSetup, TheInstalledProgramLogsEveryFrameFromAComPort) {
    constexpr int Frames = 200;
    static testsupport::PseudoTerminal pty;
    const QString com5 = prefix() + "/dosdevices/com5";
    QFile::remove(com5);
    ASSERT_TRUE(QFile::link(pty.slaveName(), com5));
    const QString log = hostPath(RunLog);

    program_ = std::make_unique<QProcess>();
    program_->setProcessEnvironment(environment());
    program_->start("wine", {Program, "COM5", "--log", RunLog});
    ASSERT_TRUE(program_->waitForStarted());
    ASSERT_TRUE(waitUntil(
        [&] {
            if (readAll(log).count(LoggedFrame) >= 1) return true;
            pty.write(testsupport::referenceFrame());
            QThread::msleep(50);
            return false;
        },
        60000))
        << "nothing logged; the program says: " << program_->readAll().toStdString();
    // Frames sent while the port was still opening may still be on their way: count from
    // when the file has stopped growing.
    qsizetype first = -1;
    for (qsizetype now = readAll(log).count(LoggedFrame); now != first;
         now = readAll(log).count(LoggedFrame)) {
        first = now;
        QThread::msleep(500);
    }
    for (int i = 0; i < Frames; ++i) {
        pty.write(testsupport::referenceFrame());
        QThread::msleep(20);
    }
    EXPECT_TRUE(waitUntil([&] { return readAll(log).count(LoggedFrame) == first + Frames; }, 10000))
        << readAll(log).count(LoggedFrame) - first << " of " << Frames;
    EXPECT_EQ(program_->state(), QProcess::Running);
}

// An upgrade over the running program closes it as Exit does (status 0, its log whole) and
// replaces its files.
TEST_F(WindowsSetup, AnUpgradeClosesTheRunningProgramAsExitDoes) {
    ASSERT_TRUE(program_ && program_->state() == QProcess::Running);
    ASSERT_EQ(runSetup({}), 0);
    ASSERT_TRUE(program_->waitForFinished(20000));
    EXPECT_EQ(program_->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program_->exitCode(), 0);
    const QByteArray log = readAll(hostPath(RunLog));
    EXPECT_TRUE(log.endsWith(LoggedFrame)) << "the log does not end with a whole line";
    EXPECT_EQ(installedFiles(), installed_);
    program_.reset();
}

TEST_F(WindowsSetup, SilentInstallWithAutostartMakesTheStartupEntryAndUpgradesKeepIt) {
    const QString startup = "StartUp/Vellicor pH controller.lnk";
    EXPECT_FALSE(shortcut(startup)) << "on although nobody asked for it";

    // The log by default in the Documents of the user who installs.
    ASSERT_EQ(runSetup({"/AUTOSTART=com3"}), 0);
    auto entry = shortcut(startup);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->target, Program);
    const QRegularExpression byDefault(
        R"(^COM3 --log "(C:\\users\\[^\\"]+\\Documents\\Vellicor)\\ph-log\.txt"$)");
    const auto match = byDefault.match(entry->arguments);
    ASSERT_TRUE(match.hasMatch()) << entry->arguments.toStdString();
    // The program refuses a log in a folder that does not exist, so the setup makes it.
    EXPECT_TRUE(QFileInfo(hostPath(match.captured(1))).isDir());

    // /AUTOSTART= with nothing after it turns it off.
    ASSERT_EQ(runSetup({"/AUTOSTART="}), 0);
    EXPECT_FALSE(shortcut(startup));

    // Quoted whole, as PowerShell passes an argument with spaces.
    ASSERT_EQ(runSetup({"/AUTOSTART=COM7", "/LOG=" + UserLog}), 0);
    const QString chosen = "COM7 --log \"" + UserLog + "\"";
    entry = shortcut(startup);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->arguments, chosen);
    EXPECT_TRUE(QFileInfo(hostPath(UserLog)).dir().exists());

    // An upgrade without a word about it keeps the choice.
    ASSERT_EQ(runSetup({}), 0);
    entry = shortcut(startup);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->arguments, chosen);

    // What cannot go on the command line as it stands is refused, and nothing changes.
    for (const QString& refused :
         {QString("/AUTOSTART=COM0"), QString("/AUTOSTART=COM256"), QString("/AUTOSTART=COM05"),
          QString("/AUTOSTART=LPT1"), QString("/AUTOSTART=COM5 --headless"),
          QString("/LOG=ph-log.txt"), QString(R"(/LOG=C:\logs\)"), QString(R"(/LOG=C:\a"b.txt)"),
          QString(R"(/LOG=C:\a\b?.txt)")}) {
        SCOPED_TRACE(refused.toStdString());
        EXPECT_EQ(runSetup({refused}), 2);
        entry = shortcut(startup);
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->arguments, chosen);
    }
}

TEST_F(WindowsSetup, SilentUninstallRemovesEveryInstalledFileAndEntryButNeverTheLogs) {
    ASSERT_FALSE(installed_.isEmpty());
    {
        QFile file(hostPath(UserLog));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("a week of the tank\r\n");
    }
    const QByteArray runLog = readAll(hostPath(RunLog));
    ASSERT_FALSE(runLog.isEmpty());

    ASSERT_EQ(wine({"wine", InstallDir + R"(\uninstall.exe)", "/S"}), 0);
    // The uninstaller goes on from a copy of itself, so that it can remove itself.
    ASSERT_EQ(wine({"wineserver", "-w"}), 0);

    for (const QString& file : installed_)
        EXPECT_FALSE(QFile::exists(hostPath(InstallDir) + "/" + file)) << file.toStdString();
    EXPECT_FALSE(QFile::exists(hostPath(InstallDir)));
    for (const char* entry : {"Vellicor pH controller.lnk", "Vellicor pH history.lnk",
                              "StartUp/Vellicor pH controller.lnk"})
        EXPECT_FALSE(shortcut(entry)) << entry;
    EXPECT_FALSE(registry(UninstallKey, "DisplayName"));
    EXPECT_FALSE(registry(R"(HKLM\Software\Vellicor)", "AutostartPort"));

    EXPECT_EQ(readAll(hostPath(UserLog)), "a week of the tank\r\n");
    EXPECT_EQ(readAll(hostPath(RunLog)), runLog);
}

}  // namespace
