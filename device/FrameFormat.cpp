#include "FrameFormat.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace device {

namespace {
// The frame counter saturates here, so a larger rate could never come due.
constexpr double kMaxUpdateRate = 32767;

std::int32_t word(const std::array<std::uint8_t, FrameLength>& b, int low) {
    return b[low] + 256 * b[low + 1];
}
}  // namespace

std::optional<DeviceFrame> decodeFrame(const QByteArray& input) {
    if (input.size() < FrameLength) return std::nullopt;
    DeviceFrame f;
    for (int i = 0; i < FrameLength; ++i) f.bytes[i] = static_cast<std::uint8_t>(input[i]);
    f.limit = word(f.bytes, 0);
    f.raw7 = word(f.bytes, 2);
    f.raw4 = word(f.bytes, 4);
    f.k = f.bytes[6];
    f.valve = f.bytes[7];
    f.m = word(f.bytes, 8);
    f.raw = word(f.bytes, 10);
    return f;
}

std::int64_t phHundredths(std::int32_t raw, std::int32_t k, std::int32_t m) {
    // pH * 100 = (raw * k + m) / 100; the division's remainder decides the rounding exactly.
    const std::int64_t n = static_cast<std::int64_t>(raw) * k + m;
    std::int64_t q = n / 100;
    const std::int64_t r = n % 100;
    if (r > 50 || (r == 50 && q % 2 != 0)) ++q;
    return q;
}

QString formatHundredths(std::int64_t hundredths, const QLocale& locale) {
    return formatHundredths(hundredths, locale.decimalPoint());
}

QString formatHundredths(std::int64_t hundredths, QStringView decimalPoint) {
    // Written backwards into one buffer: the fraction (without trailing zeros), the separator,
    // the whole part, the sign.
    const bool negative = hundredths < 0;
    std::uint64_t v = negative ? 0 - static_cast<std::uint64_t>(hundredths) : hundredths;
    char16_t buffer[40];
    char16_t* const end = buffer + std::size(buffer);
    char16_t* p = end;
    const auto frac = static_cast<char16_t>(v % 100);
    v /= 100;
    if (frac != 0) {
        if (frac % 10 != 0) *--p = static_cast<char16_t>(u'0' + frac % 10);
        *--p = static_cast<char16_t>(u'0' + frac / 10);
        // A separator is a character or two; more would crowd out the whole part's 20 digits.
        const QStringView point = decimalPoint.left(8);
        for (qsizetype i = point.size(); i > 0; --i) *--p = point[i - 1].unicode();
    }
    do {
        *--p = static_cast<char16_t>(u'0' + v % 10);
        v /= 10;
    } while (v != 0);
    if (negative) *--p = u'-';
    return QString(reinterpret_cast<const QChar*>(p), end - p);
}

QString formatHex(std::uint8_t byte) {
    // Built once: every frame shows twelve of these, and shared copies cost no allocation.
    static const std::array<QString, 256> table = [] {
        std::array<QString, 256> t;
        for (int b = 0; b < 256; ++b) t[b] = QString::number(b, 16).toUpper();
        return t;
    }();
    return table[byte];
}

namespace {
// Writes the value with a blank (or minus) where the sign stands, between optional brackets,
// in one allocation.
QString signedText(std::int64_t value, bool brackets) {
    char16_t buffer[32];
    char16_t* end = buffer + std::size(buffer);
    char16_t* p = end;
    if (brackets) *--p = u']';
    std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : value;
    do {
        *--p = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    *--p = value < 0 ? u'-' : u' ';
    if (brackets) *--p = u'[';
    return QString(reinterpret_cast<const QChar*>(p), end - p);
}
}  // namespace

QString formatSigned(std::int64_t value) {
    return signedText(value, false);
}

QString formatBracketed(std::int64_t value) {
    return signedText(value, true);
}

double roundHalfEven(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    const double scaled = value * scale;
    // Decide the tie on the scaled value's shortest decimal form, so 0.125 (stored a hair
    // above or below) still counts as a half.
    const double floorPart = std::floor(scaled);
    const double diff = scaled - floorPart;
    constexpr double tieTolerance = 1e-9;
    double result;
    if (std::abs(diff - 0.5) < tieTolerance) {
        result = std::fmod(floorPart, 2.0) == 0 ? floorPart : floorPart + 1;
    } else {
        result = std::round(scaled);
    }
    return result / scale;
}

std::optional<int> parseUpdateRate(const QString& text, const QLocale& locale) {
    // Plain digits, by far the usual text, need no regional parsing.
    const QStringView trimmed = QStringView(text).trimmed();
    if (!trimmed.isEmpty() && trimmed.size() <= 5 &&
        std::all_of(trimmed.begin(), trimmed.end(),
                    [](QChar c) { return c.isDigit() && c.unicode() < 128; })) {
        const int value = trimmed.toInt();
        if (value >= 1 && value <= kMaxUpdateRate) return value;
        return std::nullopt;
    }
    bool ok = false;
    const double value = locale.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    if (value < 1 || value > kMaxUpdateRate || value != std::floor(value)) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

namespace {
// The locale's time format without its zone, worked out again only when that format changes.
QString logTimeFormat(const QLocale& locale) {
    thread_local QString raw, cleaned;
    const QString format = locale.timeFormat(QLocale::LongFormat);
    if (format != raw || cleaned.isEmpty()) {
        // A zone name in a log line would only vary with the season; drop it, with the brackets
        // some locales put around it.
        static const QRegularExpression zone(QStringLiteral("\\s*\\(?\\bt+\\b\\)?\\s*"));
        cleaned = QString(format).replace(zone, QStringLiteral(" ")).trimmed();
        raw = format;
    }
    return cleaned;
}

// The last text formatted, for as long as the same value comes back in the same format: both
// log lines of a frame and the graph's header show the same date and the same second.
template <typename Value>
struct LastText {
    QLocale locale;
    QString format;
    Value value;
    QString text;

    template <typename Format>
    const QString& get(const Value& v, const QString& f, const QLocale& l, Format formatText) {
        if (v != value || f != format || l != locale) {
            text = formatText();
            value = v;
            format = f;
            locale = l;
        }
        return text;
    }
};
}  // namespace

QString formatRegionalTime(const QTime& t, const QLocale& locale) {
    const QString format = logTimeFormat(locale);
    // Without milliseconds in the format, every moment of a second reads the same.
    const QTime shown =
        format.contains(QLatin1Char('z')) ? t : QTime(t.hour(), t.minute(), t.second());
    thread_local LastText<QTime> last;
    return last.get(shown, format, locale, [&] { return locale.toString(t, format); });
}

QString formatRegionalDate(const QDate& d, const QLocale& locale) {
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    thread_local LastText<QDate> last;
    // The format is only the key: the platform may write the short date its own way.
    return last.get(d, format, locale, [&] { return locale.toString(d, QLocale::ShortFormat); });
}

QString formatSampleTime(const QTime& t) {
    const int h = t.hour(), m = t.minute();
    const char16_t text[] = {
        static_cast<char16_t>(u'0' + h / 10), static_cast<char16_t>(u'0' + h % 10), u':',
        static_cast<char16_t>(u'0' + m / 10), static_cast<char16_t>(u'0' + m % 10)};
    return QString(reinterpret_cast<const QChar*>(text), 5);
}

int countdownSeconds(float lastFrameTime, float now) {
    constexpr float secondsPerDay = 86400.0f;
    float elapsed = now - lastFrameTime;
    if (elapsed < 0) elapsed += secondsPerDay;
    return countdownAfter(elapsed);
}

int countdownAfter(double elapsedSeconds) {
    return static_cast<int>(roundHalfEven(92.0 - elapsedSeconds, 0));
}

}  // namespace device
