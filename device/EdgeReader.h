#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QSerialPort>
#include <QSocketNotifier>
#include <memory>

namespace device {

// Watches an open terminal for arriving bytes through an edge-triggered epoll set, in place of
// the port's own notifier, and reads them itself.
//
// Why: asking a terminal that holds no bytes whether it can be read (poll, or a read that finds
// nothing) makes the kernel wait until its receive work has finished. Right after a read, that
// work is often still winding down from waking the reader, so the reader slept a second time
// for nothing: on a third of the frames here, on pseudo-terminals and on serial ports alike.
// The epoll set asks the terminal only once it told of news, and a read never goes past what
// is there.
//
// Nothing may read the port through QSerialPort while this watches: its reads turn the port's
// own notifier back on, which would take bytes away from here.
class EdgeReader : public QObject {
    Q_OBJECT
public:
    // Takes the watch over from the port; null when it cannot, and the port keeps watching.
    static std::unique_ptr<EdgeReader> watch(QSerialPort& port);
    ~EdgeReader() override;

    struct Read {
        QByteArray bytes;
        int error = 0;  // errno of a failed read; 0 with no bytes when nothing was there
    };
    // Everything that waits now.
    Read readAll();
    // The port turns its notifier on again after some calls (clearing its input is one).
    void keepPortQuiet();

signals:
    void readable();

private:
    EdgeReader(int descriptor, int epoll, QSocketNotifier* portNotifier);

    const int descriptor_;
    const int epoll_;
    QPointer<QSocketNotifier> portNotifier_;
};

}  // namespace device
