#include <windows.h>

#include <QString>
#include <array>

#include "PortNames.h"

namespace mainwindow {

std::vector<int> systemPortNumbers() {
    std::vector<int> numbers;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return numbers;
    std::array<wchar_t, 256> name;
    std::array<wchar_t, 64> data;
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = DWORD(name.size());
        DWORD dataBytes = DWORD(data.size() * sizeof(wchar_t));
        DWORD type = 0;
        const LSTATUS status = RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type,
                                             reinterpret_cast<BYTE*>(data.data()), &dataBytes);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS || type != REG_SZ) continue;
        // The value is the port's name, "COM21", with or without its terminating zero.
        QString port = QString::fromWCharArray(data.data(), int(dataBytes / sizeof(wchar_t)));
        port.remove(QChar(0));
        if (!port.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) continue;
        bool ok = false;
        const int number = port.mid(3).toInt(&ok);
        if (ok && number > 0) numbers.push_back(number);
    }
    RegCloseKey(key);
    return numbers;
}

}  // namespace mainwindow
