#include "PortNames.h"

#include <QtGlobal>
#include <algorithm>

namespace mainwindow {

QString portEntryText(int number) {
    return QStringLiteral("Com%1").arg(number);
}

std::vector<int> portEntryNumbers(const std::vector<int>& systemNumbers) {
    std::vector<int> numbers;
    for (int k = 1; k <= PortEntryCount; ++k) numbers.push_back(k);
    std::vector<int> more;
    for (const int n : systemNumbers)
        if (n > PortEntryCount) more.push_back(n);
    std::sort(more.begin(), more.end());
    more.erase(std::unique(more.begin(), more.end()), more.end());
    numbers.insert(numbers.end(), more.begin(), more.end());
    return numbers;
}

#ifndef Q_OS_WIN
// Elsewhere ports are named, not numbered, and the list keeps its fifteen entries.
std::vector<int> systemPortNumbers() {
    return {};
}
#endif

PortNaming builtPortNaming() {
#ifdef Q_OS_WIN
    return PortNaming::Windows;
#else
    return PortNaming::Posix;
#endif
}

QString systemPortNameFor(PortNaming naming, int number) {
    // The link adds the "\\.\" prefix that COM10 and above need on Windows itself.
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
