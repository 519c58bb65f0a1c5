#pragma once

#include <QObject>
#include <QProcessEnvironment>
#include <QString>
#include <deque>

#include "AlarmText.h"

class QProcess;
class QTimer;

namespace alarms {

// Runs the user's program for every raise and clear, without a shell, the facts in its
// environment. One at a time and in order, so a "cleared" never overtakes its "raised".
// A run that hangs is stopped; a failing program is told of once until it works again, and
// never holds up anything else.
class AlarmCommand : public QObject {
    Q_OBJECT
public:
    static constexpr int DefaultTimeoutMs = 30'000;
    // More waiting than this means the program cannot keep up; the oldest are dropped.
    static constexpr std::size_t MaxWaiting = 32;

    explicit AlarmCommand(QString program, int timeoutMs = DefaultTimeoutMs,
                          QObject* parent = nullptr);
    ~AlarmCommand() override;

    void run(const AlarmNotice& notice);

    // The variables a run gets, on top of the program's own environment.
    static QProcessEnvironment environmentFor(const AlarmNotice& notice, QProcessEnvironment base);

signals:
    void failed(const QString& reason);
    // Each run's end, for whoever waits on it.
    void finished();

private:
    void startNext();
    void ended(const QString& failure);
    void stopRun();

    const QString program_;
    const int timeoutMs_;
    std::deque<AlarmNotice> waiting_;
    QProcess* running_ = nullptr;
    QTimer* deadline_ = nullptr;
    bool timedOut_ = false;
    bool failureTold_ = false;
};

}  // namespace alarms
