#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace mainwindow {

// The port selector always offers these entries, whether or not the ports exist.
constexpr int PortEntryCount = 15;

// "Com1" ... "Com15".
QString portEntryText(int number);

// How a system names its serial ports.
enum class PortNaming {
    Windows,  // "COM3"
    Posix,    // the third serial device, "/dev/ttyS2": numbering starts at 0
};

// The naming of the system this program was built for.
PortNaming builtPortNaming();

// The system's port behind an entry's number under the given naming.
QString systemPortNameFor(PortNaming naming, int number);

// The same for the system this program was built for.
QString systemPortName(int number);

// What "Connect" opens: the chosen entry's system port, or the typed text as it stands when
// it matches no entry, so any device name the system knows can be used.
QString resolvePortName(std::optional<int> entryNumber, const QString& typedText,
                        const std::function<QString(int)>& systemName = systemPortName);

}  // namespace mainwindow
