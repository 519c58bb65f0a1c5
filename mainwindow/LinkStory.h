#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

#include "device/LinkWatch.h"

namespace mainwindow {

// What the link's message window says: the outage under way (since when, how many tries, when
// the next one is), or that the link is back and after how long, and the last outages, for a
// user who comes back in the morning.
QString describeLinkStory(const QString& portName, device::LinkState state,
                          const device::LinkWatch& watch, const QDateTime& now,
                          const QLocale& locale = QLocale());

// "1 h 5 min", "3 min 20 s", "45 s".
QString formatDuration(qint64 seconds);

}  // namespace mainwindow
