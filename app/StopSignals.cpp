#include "StopSignals.h"

#include <QSocketNotifier>
#include <cerrno>

#if defined(Q_OS_UNIX)
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace app {

namespace {

int wakeFds[2] = {-1, -1};
constexpr int Signals[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int number) {
    const int saved = errno;
    // The next one of the kind takes the default way out.
    struct sigaction plain = {};
    plain.sa_handler = SIG_DFL;
    sigaction(number, &plain, nullptr);
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFds[0], &byte, 1);
    errno = saved;
}

}  // namespace

StopSignals::StopSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, wakeFds) != 0) return;
    notifier_ = new QSocketNotifier(wakeFds[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(wakeFds[1], &byte, 1);
        emit stopRequested();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : Signals) sigaction(number, &action, nullptr);
}

StopSignals::~StopSignals() {
    struct sigaction plain = {};
    plain.sa_handler = SIG_DFL;
    for (const int number : Signals) sigaction(number, &plain, nullptr);
    delete notifier_;
    for (int& fd : wakeFds) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

}  // namespace app
