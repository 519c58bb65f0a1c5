#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace mainwindow {

// The port selector always offers these entries, whether or not the ports exist.
constexpr int PortEntryCount = 15;

// "Com1" ... "Com15".
QString portEntryText(int number);

// The numbers of the serial ports the system lists, for Windows those under
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM ("COM21" is 21), in no particular order; none where
// ports have no numbers (PortNames_win.cpp).
std::vector<int> systemPortNumbers();

// The port list's numbers: 1 to 15 always, then those of the system's ports above 15, such as
// the COM port Windows gives a Bluetooth device paired late, in ascending order.
std::vector<int> portEntryNumbers(const std::vector<int>& systemNumbers);

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
