// The real program, headless, with its alarms at durations of seconds: a pseudo-terminal for
// the regulator, a real broker for Home Assistant, a script of the test's own as the command.
#include <gtest/gtest.h>
#include <signal.h>

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "Broker.h"
#include "Frames.h"
#include "PseudoTerminal.h"

using mqtttest::Broker;
using mqtttest::Subscriber;
using testsupport::waitUntil;

namespace {

// A frame showing exactly this pH and target (k 100, m 0: the raw values are the hundredths).
QByteArray frame(int ph, int target, bool valveOpen = false) {
    return testsupport::bytes({target & 0xFF, target >> 8, 0x8B, 0x02, 0xFD, 0x00, 100,
                               valveOpen ? 1 : 0, 0, 0, ph & 0xFF, ph >> 8});
}

QString script(const QTemporaryDir& dir, const char* name, const QByteArray& body) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("#!/bin/sh\n" + body);
    f.close();
    f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    return path;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The program's standard error, line by line, each with the moment the test saw it.
class HeadlessProgram {
public:
    struct Line {
        QString text;
        qint64 at;
    };

    HeadlessProgram(const QStringList& args, const QElapsedTimer& clock, bool window = false)
        : clock_(clock) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        if (window) env.insert("QT_QPA_PLATFORM", "offscreen");
        static QTemporaryDir runtime;
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        process_.setProcessEnvironment(env);
        QObject::connect(&process_, &QProcess::readyReadStandardError, [this] {
            while (process_.canReadLine()) {
                const QString text = QString::fromUtf8(process_.readLine()).trimmed();
                lines_.push_back({text, clock_.elapsed()});
            }
        });
        process_.setReadChannel(QProcess::StandardError);
        process_.start(QStringLiteral(VELLICOR_PATH), args);
    }
    ~HeadlessProgram() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.kill();
        process_.waitForFinished();
    }
    QProcess& process() { return process_; }

    std::vector<Line> matching(const QString& pattern) const {
        const QRegularExpression re(pattern);
        std::vector<Line> found;
        for (const Line& l : lines_)
            if (re.match(l.text).hasMatch()) found.push_back(l);
        return found;
    }
    bool waitFor(const QString& pattern, int timeoutMs) {
        return waitUntil([&] { return !matching(pattern).empty(); }, timeoutMs);
    }
    std::size_t alarmLines() const {
        return matching(QStringLiteral("Alarm (raised|cleared)")).size();
    }

private:
    const QElapsedTimer& clock_;
    QProcess process_;
    std::vector<Line> lines_;
};

constexpr int FrameMs = 100;
constexpr qint64 RaiseMs = 2000;
constexpr qint64 ClearMs = 1000;

class Regulator {
public:
    Regulator(testsupport::PseudoTerminal& pty, const QElapsedTimer& clock)
        : pty_(pty), clock_(clock) {}
    // Frames every 100 ms for this long; returns when the first was written.
    qint64 send(const QByteArray& bytes, qint64 forMs) {
        const qint64 first = clock_.elapsed();
        while (clock_.elapsed() - first < forMs) {
            pty_.write(bytes);
            waitUntil([] { return false; }, FrameMs);
        }
        return first;
    }

private:
    testsupport::PseudoTerminal& pty_;
    const QElapsedTimer& clock_;
};

}  // namespace

TEST(AlarmProgram, EachAlarmIsRaisedOnceAtItsMomentClearedOnceAndToldEverywhere) {
    Broker broker;
    ASSERT_TRUE(broker.start());
    Subscriber live(broker.subscriberPort());
    testsupport::PseudoTerminal pty;
    QTemporaryDir dir;
    const QString facts = dir.filePath(QStringLiteral("facts"));
    const QString command = script(dir, "notify",
                                   "echo \"$VELLICOR_ALARM $VELLICOR_ALARM_STATE $VELLICOR_PH "
                                   "$VELLICOR_TARGET_PH $VELLICOR_SINCE $VELLICOR_PORT\" >> " +
                                       facts.toUtf8() + "\n");
    QElapsedTimer clock;
    clock.start();
    HeadlessProgram program({pty.slaveName(),
                             "--headless",
                             "--mqtt-id",
                             "tank",
                             "--mqtt",
                             QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port()),
                             "--kh",
                             "4",
                             "--alarm-command",
                             command,
                             "--alarm-low-for",
                             "2s",
                             "--alarm-high-for",
                             "2s",
                             "--alarm-valve-for",
                             "2s",
                             "--alarm-probe-for",
                             "2s",
                             "--alarm-silent-for",
                             "2s",
                             "--alarm-clear-after",
                             "1s"},
                            clock);
    ASSERT_TRUE(live.waitFor("vellicor/tank/link", "connected"));
    for (const char* name : {"low", "high", "valve", "silent", "probe"})
        ASSERT_TRUE(live.waitFor(QByteArray("vellicor/tank/alarm/") + name, "OFF")) << name;

    // The Home Assistant entities: one problem sensor per alarm, on the device of the others,
    // unavailable with them, and the CO2 from the KH.
    const QJsonObject ph =
        QJsonDocument::fromJson(live.payload("homeassistant/sensor/vellicor_tank/ph/config"))
            .object();
    for (const char* name : {"low", "high", "valve", "silent", "probe"}) {
        const QJsonObject config =
            QJsonDocument::fromJson(
                live.payload(QByteArray("homeassistant/binary_sensor/vellicor_tank/alarm_") + name +
                             "/config"))
                .object();
        EXPECT_EQ(config["device_class"], "problem") << name;
        EXPECT_EQ(config["state_topic"], QStringLiteral("vellicor/tank/alarm/") + name);
        EXPECT_EQ(config["device"], ph["device"]) << name;
        EXPECT_EQ(config["availability_topic"], "vellicor/tank/availability") << name;
    }
    EXPECT_TRUE(live.get("homeassistant/sensor/vellicor_tank/co2/config").has_value());

    Regulator regulator(pty, clock);
    regulator.send(frame(700, 700), 1000);
    ASSERT_TRUE(waitUntil([&] { return live.get("vellicor/tank/state").has_value(); }, 5000));
    // pH 7.00 at KH 4: 12 mg/l.
    EXPECT_DOUBLE_EQ(QJsonDocument::fromJson(live.payload("vellicor/tank/state"))
                         .object()["co2_mg_l"]
                         .toDouble(),
                     12.0);

    // One odd frame of everything at once, among good ones: nothing at all.
    pty.write(frame(300, 700, true));
    regulator.send(frame(700, 700), 3000);
    EXPECT_EQ(program.alarmLines(), 0u);

    struct Case {
        const char* name;
        const char* title;
        QByteArray bad;
    };
    for (const Case& c :
         {Case{"low", "pH low", frame(660, 700)}, Case{"high", "pH high", frame(760, 700)},
          Case{"valve", "Valve open too long", frame(700, 700, true)},
          Case{"probe", "Probe out of range", frame(300, 300)}}) {
        SCOPED_TRACE(c.name);
        const qint64 badFrom = regulator.send(c.bad, RaiseMs + 800);
        const auto raised = program.matching(QStringLiteral("Alarm raised: ") + c.title);
        ASSERT_EQ(raised.size(), 1u);
        EXPECT_GE(raised[0].at - badFrom, RaiseMs);
        EXPECT_LE(raised[0].at - badFrom, RaiseMs + 800);
        EXPECT_TRUE(live.waitFor(QByteArray("vellicor/tank/alarm/") + c.name, "ON"));

        const qint64 goodFrom = regulator.send(frame(700, 700), ClearMs + 1500);
        const auto cleared = program.matching(QStringLiteral("Alarm cleared: ") + c.title);
        ASSERT_EQ(cleared.size(), 1u);
        EXPECT_GE(cleared[0].at - goodFrom, ClearMs);
        EXPECT_LE(cleared[0].at - goodFrom, ClearMs + 800);
        EXPECT_TRUE(live.waitFor(QByteArray("vellicor/tank/alarm/") + c.name, "OFF"));
        EXPECT_EQ(program.matching(QStringLiteral("Alarm raised: ") + c.title).size(), 1u);
    }

    // Silence: counted from the last frame, raised on the second's tick after two seconds.
    const qint64 lastFrame = clock.elapsed();
    ASSERT_TRUE(program.waitFor(QStringLiteral("Alarm raised: Regulator silent"), 5000));
    const auto silent = program.matching(QStringLiteral("Alarm raised: Regulator silent"));
    EXPECT_GE(silent[0].at - lastFrame, RaiseMs);
    EXPECT_LE(silent[0].at - lastFrame, RaiseMs + 1500);
    EXPECT_TRUE(live.waitFor("vellicor/tank/alarm/silent", "ON"));
    regulator.send(frame(700, 700), ClearMs + 1500);
    EXPECT_EQ(program.matching(QStringLiteral("Alarm cleared: Regulator silent")).size(), 1u);
    EXPECT_TRUE(live.waitFor("vellicor/tank/alarm/silent", "OFF"));
    EXPECT_EQ(program.alarmLines(), 10u);

    // The command ran for each, in order, with the facts.
    ASSERT_TRUE(waitUntil([&] { return readAll(facts).count('\n') == 10; }, 5000));
    const QList<QByteArray> runs = readAll(facts).split('\n');
    const QString port = pty.slaveName();
    const QRegularExpression lowRaised(
        QStringLiteral("^low raised 6\\.60 7\\.00 \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d"
                       "([+-]\\d\\d:\\d\\d|Z) %1$")
            .arg(QRegularExpression::escape(port)));
    EXPECT_TRUE(lowRaised.match(QString::fromUtf8(runs[0])).hasMatch()) << runs[0].toStdString();
    EXPECT_TRUE(runs[1].startsWith("low cleared 7.00 7.00 ")) << runs[1].toStdString();
    EXPECT_TRUE(runs[6].startsWith("probe raised 3.00 3.00 ")) << runs[6].toStdString();
    EXPECT_TRUE(runs[8].startsWith("silent raised 7.00 7.00 ")) << runs[8].toStdString();

    // Gone with the program, as the other entities are.
    ::kill(static_cast<pid_t>(program.process().processId()), SIGKILL);
    EXPECT_TRUE(live.waitFor("vellicor/tank/availability", "offline"));
}

// The command hangs: it is stopped after its 30 seconds with what it started, said once, and
// the program goes on as if nothing happened.
TEST(AlarmProgram, AHangingCommandIsStoppedAfterThirtySecondsAndToldOnce) {
    testsupport::PseudoTerminal pty;
    QTemporaryDir dir;
    const QString child = dir.filePath(QStringLiteral("child"));
    const QString ran = dir.filePath(QStringLiteral("ran"));
    const QString command = script(dir, "hang",
                                   "echo $VELLICOR_ALARM_STATE >> " + ran.toUtf8() +
                                       "\nif [ $VELLICOR_ALARM_STATE = raised ]; then sleep 300 & "
                                       "echo $! > " +
                                       child.toUtf8() + "; wait; fi\n");
    QElapsedTimer clock;
    clock.start();
    HeadlessProgram program({pty.slaveName(), "--headless", "--alarm-command", command,
                             "--alarm-silent-for", "1s", "--alarm-clear-after", "1s"},
                            clock);
    ASSERT_TRUE(program.waitFor(QStringLiteral("Alarm raised: Regulator silent"), 10000));
    const qint64 raisedAt = clock.elapsed();
    ASSERT_TRUE(waitUntil([&] { return readAll(child).toInt() > 0; }, 5000));
    const pid_t sleeper = readAll(child).trimmed().toInt();

    ASSERT_TRUE(program.waitFor(QStringLiteral("did not end within 30 s and was stopped"), 40000));
    EXPECT_GE(clock.elapsed() - raisedAt, 29000);
    EXPECT_TRUE(waitUntil([&] { return ::kill(sleeper, 0) != 0; }, 3000))
        << "what the hung command started lives on";

    // Frames back: the clear runs the command again at once, which now ends by itself.
    Regulator regulator(pty, clock);
    regulator.send(frame(700, 700), 2500);
    ASSERT_TRUE(program.waitFor(QStringLiteral("Alarm cleared: Regulator silent"), 3000));
    EXPECT_TRUE(waitUntil([&] { return readAll(ran) == "raised\ncleared\n"; }, 5000));
    EXPECT_EQ(program.matching(QStringLiteral("alarm command")).size(), 1u);
    EXPECT_EQ(program.process().state(), QProcess::Running);

    ::kill(static_cast<pid_t>(program.process().processId()), SIGTERM);
    ASSERT_TRUE(program.process().waitForFinished(5000));
    EXPECT_EQ(program.process().exitCode(), 0);
}

// The window's face hears the same station: its alarms run the command too, and a desktop
// without a tray (offscreen has none) takes the raise in a message window without trouble.
TEST(AlarmProgram, InAWindowTheAlarmsComeFromTheSameStation) {
    testsupport::PseudoTerminal pty;
    QTemporaryDir dir;
    const QString ran = dir.filePath(QStringLiteral("ran"));
    const QString command = script(
        dir, "note",
        "echo $VELLICOR_ALARM $VELLICOR_ALARM_STATE $VELLICOR_PORT >> " + ran.toUtf8() + "\n");
    QElapsedTimer clock;
    clock.start();
    HeadlessProgram program({pty.slaveName(), "--alarm-command", command, "--alarm-silent-for",
                             "1s", "--alarm-clear-after", "1s", "--kh", "4"},
                            clock, true);
    ASSERT_TRUE(waitUntil(
        [&] { return readAll(ran) == "silent raised " + pty.slaveName().toUtf8() + "\n"; }, 10000))
        << readAll(ran).toStdString();
    Regulator(pty, clock).send(frame(700, 700), 2500);
    EXPECT_TRUE(waitUntil(
        [&] { return readAll(ran).endsWith("silent cleared " + pty.slaveName().toUtf8() + "\n"); },
        3000));
    EXPECT_EQ(program.process().state(), QProcess::Running);
    ::kill(static_cast<pid_t>(program.process().processId()), SIGTERM);
    ASSERT_TRUE(program.process().waitForFinished(5000));
    EXPECT_EQ(program.process().exitCode(), 0);
}
