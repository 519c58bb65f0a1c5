#pragma once

#include <QByteArray>
#include <initializer_list>

namespace testsupport {

// Bytes as the device sends them, written as numbers.
inline QByteArray bytes(std::initializer_list<int> values) {
    QByteArray b;
    for (int v : values) b.append(static_cast<char>(v));
    return b;
}

// The known frame: limit 812, raw7 651, raw4 253, k 90, valve 1, m 1000, raw 766;
// it shows measured pH 6.99 and target pH 7.41.
inline QByteArray referenceFrame() {
    return bytes({0x2C, 0x03, 0x8B, 0x02, 0xFD, 0x00, 0x5A, 0x01, 0xE8, 0x03, 0xFE, 0x02});
}

}  // namespace testsupport
