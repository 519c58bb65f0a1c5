#include <gtest/gtest.h>

#include "mainwindow/PortNames.h"

using namespace mainwindow;

// Both namings are checked wherever the tests run, so the Windows mapping is not left to a
// build nobody runs.
TEST(PortNames, EntriesOpenTheSystemsPorts) {
    EXPECT_EQ(portEntryText(1), "Com1");
    EXPECT_EQ(portEntryText(15), "Com15");

    EXPECT_EQ(systemPortNameFor(PortNaming::Windows, 1), "COM1");
    EXPECT_EQ(systemPortNameFor(PortNaming::Windows, 3), "COM3");
    EXPECT_EQ(systemPortNameFor(PortNaming::Windows, 10), "COM10");
    EXPECT_EQ(systemPortNameFor(PortNaming::Windows, 15), "COM15");

    EXPECT_EQ(systemPortNameFor(PortNaming::Posix, 1), "/dev/ttyS0");
    EXPECT_EQ(systemPortNameFor(PortNaming::Posix, 3), "/dev/ttyS2");
    EXPECT_EQ(systemPortNameFor(PortNaming::Posix, 15), "/dev/ttyS14");

#ifdef Q_OS_WIN
    EXPECT_EQ(builtPortNaming(), PortNaming::Windows);
#else
    EXPECT_EQ(builtPortNaming(), PortNaming::Posix);
#endif
    EXPECT_EQ(systemPortName(3), systemPortNameFor(builtPortNaming(), 3));
}

TEST(PortNames, TypedNamesAreUsedAsTheyStand) {
    EXPECT_EQ(resolvePortName(3, "Com3"), systemPortName(3));
    EXPECT_EQ(resolvePortName(std::nullopt, "/dev/rfcomm0"), "/dev/rfcomm0");
    EXPECT_EQ(resolvePortName(std::nullopt, "/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(resolvePortName(std::nullopt, "COM21"), "COM21");
    EXPECT_EQ(resolvePortName(5, "Com5", [](int k) { return QString("pty%1").arg(k); }), "pty5");
}

// A Bluetooth device paired late gets a high COM number; the list offers it after the fifteen
// entries that are always there, once, and nothing the system lists changes those fifteen.
TEST(PortNames, TheSystemsPortsAboveFifteenFollowTheFixedEntries) {
    std::vector<int> fixed;
    for (int k = 1; k <= PortEntryCount; ++k) fixed.push_back(k);
    EXPECT_EQ(portEntryNumbers({}), fixed);
    EXPECT_EQ(portEntryNumbers({3, 1, 15}), fixed);

    std::vector<int> more = fixed;
    more.insert(more.end(), {16, 21, 40});
    EXPECT_EQ(portEntryNumbers({40, 3, 21, 16, 21}), more);
}
