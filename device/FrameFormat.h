#pragma once

#include <QByteArray>
#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>
#include <array>
#include <cstdint>
#include <optional>

namespace device {

constexpr int FrameLength = 12;

// One device frame taken apart. 16-bit registers are little-endian.
struct DeviceFrame {
    std::array<std::uint8_t, FrameLength> bytes{};
    std::int32_t limit = 0;  // raw pH limit (the target)
    std::int32_t raw7 = 0;   // calibration reading for pH 7.00
    std::int32_t raw4 = 0;   // calibration reading for pH 4.00
    std::int32_t k = 0;      // slope: byte 7 alone; byte 8 is the valve, not a high byte
    std::int32_t valve = 0;  // byte 8
    std::int32_t m = 0;      // offset
    std::int32_t raw = 0;    // probe reading
};

// Takes the first 12 bytes apart; shorter input gives nothing.
std::optional<DeviceFrame> decodeFrame(const QByteArray& input);

// pH = (raw * k + m) / 10000 in hundredths, rounded half to even, computed exactly in integers.
std::int64_t phHundredths(std::int32_t raw, std::int32_t k, std::int32_t m);

// Hundredths as the shortest decimal text with the locale's separator: 699 -> "6.99",
// 690 -> "6.9", 700 -> "7".
QString formatHundredths(std::int64_t hundredths, const QLocale& locale);
QString formatHundredths(std::int64_t hundredths, QStringView decimalPoint);

QString formatHex(std::uint8_t byte);         // upper case, no leading zero
QString formatBracketed(std::int64_t value);  // "[ 812]": a blank where the sign would be
QString formatSigned(std::int64_t value);     // " 812" / "-5"

// Rounds to the given number of decimals, halves going to the even digit.
double roundHalfEven(double value, int decimals);

// The update rate typed by the user, if it is a whole number of at least 1 that the frame
// counter can reach. Anything else means "never due".
std::optional<int> parseUpdateRate(const QString& text, const QLocale& locale);

// The locale's time format with seconds but without a time zone, as log lines show the time.
QString formatRegionalTime(const QTime& t, const QLocale& locale);
QString formatRegionalDate(const QDate& d, const QLocale& locale);

// Hours and minutes of a sample, always "HH:mm" whatever the regional format.
QString formatSampleTime(const QTime& t);

// Seconds left of the 92-second frame countdown, rounded half to even, from two times of day.
// A frame seen shortly before midnight still counts down normally after midnight.
int countdownSeconds(float lastFrameTime, float now);
// The same from the seconds that have passed since the last frame.
int countdownAfter(double elapsedSeconds);

}  // namespace device
