#pragma once

#include <vector>

#include "device/FrameSink.h"

// Stands in for the windows: remembers what the decoder handed over, in order.
struct RecordingSink : device::FrameSink {
    QString rate = "1";
    device::GraphScale scale = device::GraphScale::Fixed;
    std::vector<device::RegisterTexts> shown;
    std::vector<device::LogRecord> logged;
    std::vector<QString> events;  // "log", "mappings", "redraw-fixed", "redraw-self"
    struct Accepted {
        device::DeviceFrame frame;
        QDateTime time;
        std::size_t shownBefore;  // register texts shown when the frame was handed over
    };
    std::vector<Accepted> accepted;

    void showRegisters(const device::RegisterTexts& t) override { shown.push_back(t); }
    void frameAccepted(const device::DeviceFrame& f, const QDateTime& t) override {
        accepted.push_back({f, t, shown.size()});
    }
    QString updateRateText() const override { return rate; }
    void logSample(const device::LogRecord& r) override {
        logged.push_back(r);
        events.push_back("log");
    }
    device::GraphScale graphScale() override { return scale; }
    void computeScaleMappings() override { events.push_back("mappings"); }
    void redrawGraph(device::GraphScale s) override {
        events.push_back(s == device::GraphScale::Fixed ? "redraw-fixed" : "redraw-self");
    }
};
