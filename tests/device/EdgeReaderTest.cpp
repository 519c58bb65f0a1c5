#include <gtest/gtest.h>

#include <QSerialPort>
#include <QSocketNotifier>

#include "PseudoTerminal.h"
#include "device/EdgeReader.h"

using device::EdgeReader;
using testsupport::waitUntil;

namespace {

QByteArray bytesOfEveryValue(int count) {
    QByteArray bytes;
    for (int i = 0; i < count; ++i) bytes.append(static_cast<char>(i * 7 % 256));
    return bytes;
}

}  // namespace

// The watch takes over from the port: every byte comes out once, in order, whether it waited
// before the watch began, came in pieces, or came as more than one read holds; none goes to
// the port, whose own reads would turn its notifier back on.
TEST(EdgeReader, TakesTheReadingOverAndLosesNoByte) {
    testsupport::PseudoTerminal device;
    QSerialPort port(device.slaveName());
    ASSERT_TRUE(port.open(QIODevice::ReadOnly));
    int portReads = 0;
    QObject::connect(&port, &QSerialPort::readyRead, [&] { ++portReads; });
    device.write("before");

    std::unique_ptr<EdgeReader> reader = EdgeReader::watch(port);
    ASSERT_TRUE(reader);
    for (QSocketNotifier* own : port.findChildren<QSocketNotifier*>())
        EXPECT_FALSE(own->isEnabled());
    QByteArray received;
    int failures = 0;
    QObject::connect(reader.get(), &EdgeReader::readable, [&] {
        const EdgeReader::Read read = reader->readAll();
        received += read.bytes;
        if (read.error != 0) ++failures;
    });

    const QByteArray large = bytesOfEveryValue(10'000);
    const QByteArray expected = "before" + QByteArray("one frame's bytes") + large;
    ASSERT_TRUE(waitUntil([&] { return received == "before"; }));
    device.write("one frame");
    ASSERT_TRUE(waitUntil([&] { return received.size() == 15; }));
    device.write("'s bytes");
    device.write(large);
    ASSERT_TRUE(waitUntil([&] { return received.size() >= expected.size(); }));
    EXPECT_EQ(received, expected);
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(portReads, 0);
    EXPECT_EQ(port.bytesAvailable(), 0);
}
