#include "PseudoTerminal.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>

namespace testsupport {

PseudoTerminal::PseudoTerminal() {
    char name[256] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
    }
    termios tio{};
    tcgetattr(slave_, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave_, TCSANOW, &tio);
    slaveName_ = QString::fromLocal8Bit(name);
}

PseudoTerminal::~PseudoTerminal() {
    closeMaster();
    if (slave_ >= 0) ::close(slave_);
}

void PseudoTerminal::write(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, bytes.size() - done);
        if (n < 0) throw std::runtime_error("write to pseudo-terminal failed");
        done += n;
    }
}

void PseudoTerminal::closeMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
    // The held slave descriptor would keep the line alive; let it go with the master.
    if (slave_ >= 0) ::close(slave_);
    slave_ = -1;
}

}  // namespace testsupport
