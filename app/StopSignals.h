#pragma once

#include <QObject>

class QSocketNotifier;

namespace app {

// SIGTERM (shutdown, logout, systemctl stop), SIGINT (Ctrl+C) and SIGHUP (the terminal went
// away) end the program as "Exit" does instead of killing it mid-line: the handler only wakes
// the event loop, which then asks for the stop. A second signal of the kind kills at once, for
// a stop that hangs.
//
// On Windows (StopSignals_win.cpp) the same comes from Windows' own ways of closing a program:
// logging off or shutting down (WM_QUERYENDSESSION, WM_ENDSESSION), taskkill without /F
// (WM_CLOSE), and Ctrl+C, Ctrl+Break or closing the console a program without a window was
// started from.
class StopSignals : public QObject {
    Q_OBJECT
public:
    explicit StopSignals(QObject* parent = nullptr);
    ~StopSignals() override;

signals:
    void stopRequested();

private:
#ifdef Q_OS_WIN
    // Hidden and top-level: such windows are what Windows sends its closing messages to.
    void* window_ = nullptr;
#else
    QSocketNotifier* notifier_ = nullptr;
#endif
};

}  // namespace app
