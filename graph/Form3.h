#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

#include "device/Clock.h"
#include "device/FrameSink.h"
#include "device/MeasurementHistory.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QRadioButton;

namespace graph {

// What the header shows of the main window: its measured and target pH displays.
struct HeaderTexts {
    QString measuredPh;  // Label56
    QString targetPh;    // Label7
};

// The graph window: the drawing surface and the options that decide how it is drawn.
class Form3 : public QWidget {
    Q_OBJECT
public:
    Form3(device::MeasurementHistory& history, std::function<HeaderTexts()> headerTexts,
          const device::Clock& clock = device::Clock::system(), QWidget* parent = nullptr);

    device::GraphScale scale() const;  // Option1 "pH 6-8" or Option2 "Self defined"

    void DrawGraphFrame();
    void DrawFixedScaleGraph();
    void DrawSelfDefinedGraph();
    void ComputeScaleMappings();
    void fixedRedraw();        // DrawGraphFrame, DrawFixedScaleGraph
    void selfDefinedRedraw();  // DrawGraphFrame, DrawSelfDefinedGraph

    const QImage& image() const { return image_; }

private:
    device::MeasurementHistory& history_;
    std::function<HeaderTexts()> headerTexts_;
    const device::Clock& clock_;
    QImage image_;
};

// Fills the whole sample window with the same generated demo every run.
void FillDemoHistory(device::MeasurementHistory& history);

}  // namespace graph
