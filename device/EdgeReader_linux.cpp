#include "EdgeReader.h"

#ifdef Q_OS_LINUX
#include <sys/epoll.h>
#include <unistd.h>
#endif

#include <array>
#include <cerrno>

namespace device {

std::unique_ptr<EdgeReader> EdgeReader::watch(QSerialPort& port) {
    QSocketNotifier* own = nullptr;
    for (QSocketNotifier* n : port.findChildren<QSocketNotifier*>())
        if (n->type() == QSocketNotifier::Read && n->socket() == port.handle()) own = n;
    if (!own) return nullptr;
    const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
    if (epoll < 0) return nullptr;
    epoll_event interest{};
    interest.events = EPOLLIN | EPOLLET;
    interest.data.fd = static_cast<int>(port.handle());
    if (::epoll_ctl(epoll, EPOLL_CTL_ADD, interest.data.fd, &interest) != 0) {
        ::close(epoll);
        return nullptr;
    }
    own->setEnabled(false);
    // Bytes already waiting count as news: adding the terminal set its edge.
    return std::unique_ptr<EdgeReader>(new EdgeReader(interest.data.fd, epoll, own));
}

EdgeReader::EdgeReader(int descriptor, int epoll, QSocketNotifier* portNotifier)
    : descriptor_(descriptor), epoll_(epoll), portNotifier_(portNotifier) {
    auto* notifier = new QSocketNotifier(epoll_, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        // Taking the news re-arms the edge; news left untaken would keep the set readable.
        epoll_event news{};
        while (::epoll_wait(epoll_, &news, 1, 0) < 0 && errno == EINTR) {
        }
        emit readable();
    });
}

EdgeReader::~EdgeReader() {
    ::close(epoll_);
}

EdgeReader::Read EdgeReader::readAll() {
    Read read;
    std::array<char, 4096> chunk{};
    for (;;) {
        const ssize_t n = ::read(descriptor_, chunk.data(), chunk.size());
        if (n > 0) {
            read.bytes.append(chunk.data(), n);
            // A read that was not filled took everything there was; another would find
            // nothing, and make the kernel wait as a poll of an empty terminal does.
            if (static_cast<std::size_t>(n) < chunk.size()) break;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) read.error = errno;
        break;
    }
    return read;
}

void EdgeReader::keepPortQuiet() {
    if (portNotifier_) portNotifier_->setEnabled(false);
}

}  // namespace device
