#include "PortNames.h"

#include <QtGlobal>

namespace mainwindow {

QString portEntryText(int number) {
    return QStringLiteral("Com%1").arg(number);
}

PortNaming builtPortNaming() {
#ifdef Q_OS_WIN
    return PortNaming::Windows;
#else
    return PortNaming::Posix;
#endif
}

QString systemPortNameFor(PortNaming naming, int number) {
    // QSerialPort adds the "\\.\" prefix that COM10 and above need on Windows itself.
    return naming == PortNaming::Windows ? QStringLiteral("COM%1").arg(number)
                                         : QStringLiteral("/dev/ttyS%1").arg(number - 1);
}

QString systemPortName(int number) {
    return systemPortNameFor(builtPortNaming(), number);
}

QString resolvePortName(std::optional<int> entryNumber, const QString& typedText,
                        const std::function<QString(int)>& systemName) {
    return entryNumber ? systemName(*entryNumber) : typedText;
}

}  // namespace mainwindow
