#pragma once

#include <QLocale>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

// Numbers as the windows and the log show them, and the update rate as the user types it.
namespace device {

// Hundredths as the shortest decimal text with the locale's separator: 699 -> "6.99",
// 690 -> "6.9", 700 -> "7".
QString formatHundredths(std::int64_t hundredths, const QLocale& locale);
QString formatHundredths(std::int64_t hundredths, QStringView decimalPoint);

QString formatHex(std::uint8_t byte);         // upper case, no leading zero
QString formatBracketed(std::int64_t value);  // "[ 812]": a blank where the sign would be
QString formatSigned(std::int64_t value);     // " 812" / "-5"

// Rounds to the given number of decimals, halves going to the even digit.
double roundHalfEven(double value, int decimals);

// The frame counter saturates here, so a larger rate could never come due.
constexpr int kMaxUpdateRate = 32767;

// The update rate typed by the user, if it is a whole number of at least 1 that the frame
// counter can reach. Anything else means "never due".
std::optional<int> parseUpdateRate(const QString& text, const QLocale& locale);

}  // namespace device
