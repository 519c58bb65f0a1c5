// The texts a user types: the update rate, in several regional formats.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "device/FrameFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), size);
    for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::German, QLocale::Germany),
                                  QLocale(QLocale::English, QLocale::UnitedStates)}) {
        const auto rate = device::parseUpdateRate(text, locale);
        if (rate && (*rate < 1 || *rate > 32767)) std::abort();
    }
    return 0;
}
