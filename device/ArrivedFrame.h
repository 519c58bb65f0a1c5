#pragma once

#include <QByteArray>
#include <QDateTime>

namespace device {

// When bytes came: the wall clock for the log line and the history, the steady clock for the
// countdown.
struct ArrivalTime {
    QDateTime time;
    qint64 steadyMs = -1;
};

// A frame's worth of bytes as the link read them, with the moment its last byte was read. The
// time is taken on the link's thread, so a frame handled later, in a batch, keeps the time it
// came.
struct ArrivedFrame {
    QByteArray bytes;
    QDateTime time;
    qint64 steadyMs = -1;
};

}  // namespace device
