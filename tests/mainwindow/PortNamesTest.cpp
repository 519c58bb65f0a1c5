#include <gtest/gtest.h>

#include "mainwindow/PortNames.h"

using namespace mainwindow;

TEST(PortNames, EntriesOpenTheSystemsPortsCountingFromZero) {
    EXPECT_EQ(portEntryText(1), "Com1");
    EXPECT_EQ(portEntryText(15), "Com15");
    EXPECT_EQ(systemPortName(1), "/dev/ttyS0");
    EXPECT_EQ(systemPortName(3), "/dev/ttyS2");
    EXPECT_EQ(systemPortName(15), "/dev/ttyS14");
}

TEST(PortNames, TypedNamesAreUsedAsTheyStand) {
    EXPECT_EQ(resolvePortName(3, "Com3"), "/dev/ttyS2");
    EXPECT_EQ(resolvePortName(std::nullopt, "/dev/rfcomm0"), "/dev/rfcomm0");
    EXPECT_EQ(resolvePortName(std::nullopt, "/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(resolvePortName(5, "Com5", [](int k) { return QString("pty%1").arg(k); }), "pty5");
}
