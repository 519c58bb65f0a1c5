#include "SimLine.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace sim {

PtyLine::PtyLine() {
    int slave = -1;
    char name[256] = {};
    if (openpty(&master_, &slave, name, nullptr, nullptr) != 0) {
        throw std::runtime_error("cannot open a pseudo-terminal");
    }
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    // Not held open: the master then reports a hang-up exactly while nobody has the port.
    ::close(slave);
    name_ = QString::fromLocal8Bit(name);
}

PtyLine::~PtyLine() {
    hangUp();
}

bool PtyLine::hasListener() const {
    if (master_ < 0) return false;
    pollfd p{master_, POLLOUT, 0};
    return ::poll(&p, 1, 0) >= 0 && !(p.revents & POLLHUP);
}

void PtyLine::waitForListener() {
    // The master cannot wait for the hang-up to end, so look again every few milliseconds.
    while (master_ >= 0 && !hasListener()) ::usleep(5000);
}

bool PtyLine::write(const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void PtyLine::drain() {
    if (master_ < 0) return;
    // The bytes the listener has not read yet wait at the other end; a look from there
    // counts them without taking any.
    const int peek = ::open(name_.toLocal8Bit().constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (peek < 0) return;
    // Written bytes reach the other end's queue a moment later, not at once.
    ::usleep(10000);
    for (int waited = 0; waited < 1000; waited += 5) {
        int unread = 0;
        if (::ioctl(peek, FIONREAD, &unread) != 0 || unread == 0) break;
        ::usleep(5000);
    }
    ::close(peek);
}

void PtyLine::hangUp() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
}

PortLine::PortLine(const QString& name) {
    port_.setPortName(name);
}

bool PortLine::open(QString* error) {
    port_.setBaudRate(QSerialPort::Baud9600);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (port_.open(QIODevice::WriteOnly)) return true;
    if (error) *error = port_.errorString();
    return false;
}

bool PortLine::write(const Bytes& bytes) {
    const auto size = static_cast<qint64>(bytes.size());
    if (port_.write(reinterpret_cast<const char*>(bytes.data()), size) != size) return false;
    return port_.waitForBytesWritten(1000);
}

}  // namespace sim
