// The texts a user types: the update rate in several regional formats, the minimum of the
// graph's self-defined scale (parsed, mapped and drawn), and a port name typed into the
// port selector (resolved, opened, and the failure explained).
#include <QFileInfo>
#include <QGuiApplication>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "device/MSComm.h"
#include "device/NumberText.h"
#include "graph/GraphDrawing.h"
#include "mainwindow/PortNames.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

void updateRate(const QString& text) {
    for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::German, QLocale::Germany),
                                  QLocale(QLocale::English, QLocale::UnitedStates)}) {
        const auto rate = device::parseUpdateRate(text, locale);
        check(!rate || (*rate >= 1 && *rate <= 32767));
    }
}

void minimumScale(const QString& text) {
    const auto minimum = graph::parseMinScale(text);
    if (!minimum) return;
    check(std::isfinite(*minimum));
    static QImage image = graph::makeSurfaceImage();
    device::MeasurementHistory history;
    for (int i = 0; i < device::MeasurementHistory::HistorySize; i += 7) {
        history.PhHistory[i] = 300 + i;
        history.LimitHistory[i] = 650;
        history.ValveHistory[i] = i & 1;
    }
    history.RawAtPh7 = 651;
    history.RawAtPh4 = 253;
    for (const bool magnify : {false, true}) {
        graph::computeScaleMappings(history, *minimum, magnify);
        graph::drawSelfDefinedGraph(image, history, *minimum, magnify, {true, true});
        for (const graph::ScaleLabel& label : graph::selfDefinedLabels(*minimum, magnify)) {
            check(!label.text.isEmpty());
        }
    }
    check(image.width() == graph::SurfaceWidth && image.height() == graph::SurfaceHeight);
}

void portName(const QString& typed) {
    const QString resolved = mainwindow::resolvePortName(std::nullopt, typed);
    check(resolved == typed);
    check(mainwindow::resolvePortName(3, typed) == mainwindow::systemPortName(3));
    for (const auto error :
         {QSerialPort::DeviceNotFoundError, QSerialPort::PermissionError, QSerialPort::OpenError}) {
        check(device::describeOpenFailure(typed, error, QStringLiteral("reason")).contains(typed));
    }
    // Only names that cannot reach an existing device are opened: the fuzzer must not poke
    // at real hardware. What is left is the failure path with every kind of odd text.
    if (typed.contains(QLatin1Char('/')) || typed.contains(QChar(0)) || typed.isEmpty()) return;
    if (QFileInfo::exists(QStringLiteral("/dev/") + typed)) return;
    device::MSComm port;
    port.setCommPort(typed);
    // The outcome is checked at once, so the opening may take as long as it needs: on a
    // starved machine a failing opening outlasts the quick-open time and goes on unseen.
    port.setQuickOpenMs(8000);
    check(!port.setPortOpen(true));
    check(!port.PortOpen() && !port.errorString().isEmpty());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // The scale labels are drawn as text, which needs a GUI application and its fonts.
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    updateRate(text);
    minimumScale(text);
    portName(text);
    return 0;
}
