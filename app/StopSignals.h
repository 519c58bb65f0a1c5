#pragma once

#include <QObject>

class QSocketNotifier;

namespace app {

// SIGTERM (shutdown, logout, systemctl stop), SIGINT (Ctrl+C) and SIGHUP (the terminal went
// away) end the program as "Exit" does instead of killing it mid-line: the handler only wakes
// the event loop, which then asks for the stop. A second signal of the kind kills at once, for
// a stop that hangs. Elsewhere than on POSIX systems this does nothing.
class StopSignals : public QObject {
    Q_OBJECT
public:
    explicit StopSignals(QObject* parent = nullptr);
    ~StopSignals() override;

signals:
    void stopRequested();

private:
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace app
