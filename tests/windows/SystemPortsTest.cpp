// The ports Windows lists in its registry, as the port list reads them.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "mainwindow/PortNames.h"

using namespace mainwindow;

namespace {

// One port in the system's list for the test's length, as a paired Bluetooth device adds one.
class ListedPort {
public:
    ListedPort(const wchar_t* device, const wchar_t* port) : device_(device) {
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, Key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                        nullptr);
        RegSetValueExW(key_, device, 0, REG_SZ, reinterpret_cast<const BYTE*>(port),
                       DWORD((wcslen(port) + 1) * sizeof(wchar_t)));
    }
    ~ListedPort() {
        RegDeleteValueW(key_, device_);
        RegCloseKey(key_);
    }

private:
    static constexpr const wchar_t* Key = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
    const wchar_t* device_;
    HKEY key_ = nullptr;
};

bool has(const std::vector<int>& numbers, int n) {
    return std::find(numbers.begin(), numbers.end(), n) != numbers.end();
}

}  // namespace

TEST(SystemPorts, ThePortsInTheRegistryJoinTheListAfterTheFixedEntries) {
    const ListedPort bluetooth(L"\\Device\\BthModem7", L"COM21");
    const ListedPort notAPort(L"\\Device\\Other0", L"LPT1");
    const std::vector<int> numbers = systemPortNumbers();
    EXPECT_TRUE(has(numbers, 21));
    EXPECT_FALSE(has(numbers, 0));
    const std::vector<int> entries = portEntryNumbers(numbers);
    ASSERT_GE(entries.size(), 16u);
    EXPECT_EQ(entries[15], 21);
}
