#include "AlarmCommand.h"

#include <QProcess>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <signal.h>
#include <unistd.h>
#endif

namespace alarms {

namespace {
// The pH for a script: always with a '.', two decimals, as the MQTT state has it.
QString phText(const std::optional<int>& hundredths) {
    if (!hundredths) return {};
    return QStringLiteral("%1.%2")
        .arg(*hundredths / 100)
        .arg(*hundredths % 100, 2, 10, QLatin1Char('0'));
}
}  // namespace

AlarmCommand::AlarmCommand(QString program, int timeoutMs, QObject* parent)
    : QObject(parent), program_(std::move(program)), timeoutMs_(timeoutMs) {
    deadline_ = new QTimer(this);
    deadline_->setSingleShot(true);
    connect(deadline_, &QTimer::timeout, this, [this] {
        timedOut_ = true;
        stopRun();
    });
}

AlarmCommand::~AlarmCommand() {
    if (!running_) return;
    running_->disconnect(this);
    stopRun();
    running_->waitForFinished(1000);
}

QProcessEnvironment AlarmCommand::environmentFor(const AlarmNotice& n, QProcessEnvironment env) {
    env.insert(QStringLiteral("VELLICOR_ALARM"), alarmKey(n.alarm));
    env.insert(QStringLiteral("VELLICOR_ALARM_STATE"),
               n.raised ? QStringLiteral("raised") : QStringLiteral("cleared"));
    env.insert(QStringLiteral("VELLICOR_PH"), phText(n.ph));
    env.insert(QStringLiteral("VELLICOR_TARGET_PH"), phText(n.target));
    env.insert(QStringLiteral("VELLICOR_SINCE"),
               n.since.toOffsetFromUtc(n.since.offsetFromUtc()).toString(Qt::ISODate));
    env.insert(QStringLiteral("VELLICOR_PORT"), n.port);
    return env;
}

void AlarmCommand::run(const AlarmNotice& notice) {
    if (waiting_.size() >= MaxWaiting) waiting_.pop_front();
    waiting_.push_back(notice);
    if (!running_) startNext();
}

void AlarmCommand::startNext() {
    if (waiting_.empty()) return;
    const AlarmNotice notice = waiting_.front();
    waiting_.pop_front();

    running_ = new QProcess(this);
    running_->setProgram(program_);
    running_->setProcessEnvironment(
        environmentFor(notice, QProcessEnvironment::systemEnvironment()));
    // Its messages go where ours go (the journal); nothing piles up unread in memory.
    running_->setProcessChannelMode(QProcess::ForwardedChannels);
    running_->setStandardInputFile(QProcess::nullDevice());
#ifdef Q_OS_UNIX
    // A group of its own, so that stopping a hung script also stops what it started (a curl
    // waiting on a dead network).
    running_->setChildProcessModifier([] { ::setpgid(0, 0); });
#endif
    timedOut_ = false;
    connect(running_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            ended(QStringLiteral("could not be started (%1)").arg(running_->errorString()));
    });
    connect(running_, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        if (timedOut_)
            ended(QStringLiteral("did not end within %1 s and was stopped").arg(timeoutMs_ / 1000));
        else if (status == QProcess::CrashExit)
            ended(QStringLiteral("ended abnormally"));
        else if (code != 0)
            ended(QStringLiteral("ended with exit status %1").arg(code));
        else
            ended(QString());
    });
    deadline_->start(timeoutMs_);
    running_->start();
}

void AlarmCommand::stopRun() {
    if (!running_ || running_->state() == QProcess::NotRunning) return;
#ifdef Q_OS_UNIX
    if (const qint64 pid = running_->processId(); pid > 0)
        ::kill(-static_cast<pid_t>(pid), SIGKILL);
#endif
    running_->kill();
}

void AlarmCommand::ended(const QString& failure) {
    deadline_->stop();
    running_->disconnect(this);
    running_->deleteLater();
    running_ = nullptr;
    if (failure.isEmpty()) {
        failureTold_ = false;
    } else if (!failureTold_) {
        failureTold_ = true;
        emit failed(QStringLiteral("The alarm command \"%1\" %2. Its further failures are not "
                                   "reported until it works again.")
                        .arg(program_, failure));
    }
    emit finished();
    startNext();
}

}  // namespace alarms
