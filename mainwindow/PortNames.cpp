#include "PortNames.h"

namespace mainwindow {

QString portEntryText(int number) {
    return QStringLiteral("Com%1").arg(number);
}

QString systemPortName(int number) {
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(number);
#else
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

QString resolvePortName(std::optional<int> entryNumber, const QString& typedText,
                        const std::function<QString(int)>& systemName) {
    return entryNumber ? systemName(*entryNumber) : typedText;
}

}  // namespace mainwindow
