#include "NumberText.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>

namespace device {

namespace {
quint64 magnitude(std::int64_t value) {
    return value < 0 ? 0 - static_cast<quint64>(value) : static_cast<quint64>(value);
}

// Numbers are written backwards into a buffer and made a string once: every frame shows and
// logs a dozen of them, and each step through QString::number and a concatenation allocates.
class Backwards {
public:
    void put(char16_t c) { *--at_ = c; }
    void digits(quint64 v) {
        do {
            put(static_cast<char16_t>(u'0' + v % 10));
            v /= 10;
        } while (v != 0);
    }
    void signedValue(std::int64_t value) {
        digits(magnitude(value));
        put(value < 0 ? u'-' : u' ');
    }
    QString text() const {
        return QString(reinterpret_cast<const QChar*>(at_), std::end(buffer_) - at_);
    }

private:
    char16_t buffer_[32];  // 20 digits, a sign, brackets and a fraction at most
    char16_t* at_ = std::end(buffer_);
};
}  // namespace

QString formatHundredths(std::int64_t hundredths, const QLocale& locale) {
    return formatHundredths(hundredths, locale.decimalPoint());
}

QString formatHundredths(std::int64_t hundredths, QStringView decimalPoint) {
    const quint64 v = magnitude(hundredths);
    const quint64 frac = v % 100;
    if (frac == 0 || decimalPoint.size() != 1) {
        QString text = hundredths < 0 ? QStringLiteral("-") : QString();
        text += QString::number(v / 100);
        if (frac != 0) {
            text += decimalPoint;
            text += QChar(u'0' + static_cast<char16_t>(frac / 10));
            if (frac % 10 != 0) text += QChar(u'0' + static_cast<char16_t>(frac % 10));
        }
        return text;
    }
    Backwards b;
    if (frac % 10 != 0) b.put(static_cast<char16_t>(u'0' + frac % 10));
    b.put(static_cast<char16_t>(u'0' + frac / 10));
    b.put(decimalPoint.front().unicode());
    b.digits(v / 100);
    if (hundredths < 0) b.put(u'-');
    return b.text();
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

QString formatSigned(std::int64_t value) {
    Backwards b;
    b.signedValue(value);
    return b.text();
}

QString formatBracketed(std::int64_t value) {
    Backwards b;
    b.put(u']');
    b.signedValue(value);
    b.put(u'[');
    return b.text();
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

}  // namespace device
