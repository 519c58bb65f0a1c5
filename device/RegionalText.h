#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

// Dates and times as the log and the graph show them, in the user's regional formats.
namespace device {

// The locale's time format with seconds but without a time zone, as log lines show the time.
QString formatRegionalTime(const QTime& t, const QLocale& locale);
QString formatRegionalDate(const QDate& d, const QLocale& locale);

// Hours and minutes of a sample, always "HH:mm" whatever the regional format.
QString formatSampleTime(const QTime& t);

}  // namespace device
