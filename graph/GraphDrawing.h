#pragma once

#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QString>
#include <array>
#include <optional>
#include <vector>

#include "device/MeasurementHistory.h"

// The drawing operations of the graph, on a plain QImage so they run and are tested without
// a window. Coordinates are pixels of the drawing surface's interior, origin top left.
namespace graph {

// What the header shows of the main window: its measured and target pH displays.
struct HeaderTexts {
    QString measuredPh;  // Label56
    QString targetPh;    // Label7
};

// Colours are written the way the device tools write them: 0xBBGGRR, red in the low byte.
QColor fromBgr(quint32 bgr);

namespace bgr {
constexpr quint32 Black = 0x000000;
constexpr quint32 DarkBlue = 0x5A0000;     // plot area
constexpr quint32 LightGrey = 0xC0C0C0;    // axes, "pH" title
constexpr quint32 MutedBlue = 0x625208;    // grid dots
constexpr quint32 White = 0xFFFFFF;        // ticks
constexpr quint32 LightBlue = 0xFF8080;    // time labels, measured pH, labels above 7
constexpr quint32 LightOrange = 0x80C0FF;  // date and time
constexpr quint32 Red = 0x0000FF;          // limit text and line, newest-sample marker
constexpr quint32 LightRed = 0x8080FF;     // scale labels below 7
constexpr quint32 LightGreen = 0x80FF80;   // scale label at 7
constexpr quint32 Yellow = 0x00FFFF;       // pH curve
constexpr quint32 Orange = 0x0080FF;       // valve bars
}  // namespace bgr

// The interior of the sunken 641 x 385 surface; anything drawn beyond it is clipped.
constexpr int SurfaceWidth = 637;
constexpr int SurfaceHeight = 381;

// Time labels under the plot: one for every 40th sample, 0 to 560.
constexpr int TimeLabelCount = 15;
using TimeLabels = std::array<QString, TimeLabelCount>;

// Plot area and value band.
constexpr int PlotLeft = 15;
constexpr int PlotRight = 575;
constexpr int PlotTop = 30;
constexpr int PlotBottom = 350;
constexpr int ScaleTop = 50;

// A y computed from a reading, kept inside the value band and rounded to a pixel row.
int clampY(double y);

// The minimum of the self-defined scale as typed or chosen: "6,5" (the list's own form) or
// "6.5". Anything that is not a finite number gives nothing.
std::optional<double> parseMinScale(const QString& text);

// " 6.50", " 6.55", " 10": rounded to 2 decimals, a blank where a minus sign would stand.
QString scaleLabelText(double value);
// Light red below 7, light green at 7, light blue above, judged on the rounded value.
QColor ColourScaleLabel(double value);

struct ScaleLabel {
    QString text;
    QColor colour;
};
// The eleven labels of the self-defined scale from the bottom up, each one step above the
// last (0.05 magnified, else 0.1), and the value the last one ended at.
std::vector<ScaleLabel> selfDefinedLabels(double minimum, bool magnify,
                                          double* lastValue = nullptr);

struct CurveOptions {
    bool showLimit = false;  // Check4
    bool showValve = false;  // Check1
};

// The surface for a screen of the given device pixel ratio: the same logical pixels, each
// drawn with ratio x ratio device pixels, so the screen shows it unstretched. The drawing
// operations draw at the ratio the image carries.
QImage makeSurfaceImage(qreal ratio = 1);

// The first five characters of TimeHistory entries 0, 40, ..., 560.
TimeLabels timeLabels(const device::MeasurementHistory& history);

// Clears the surface and draws plot area, axes, optional grid, ticks, time labels and header.
void drawGraphFrame(QImage& image, const device::MeasurementHistory& history, bool showGrid,
                    const HeaderTexts& header, const QDateTime& now);
void drawGraphFrame(QImage& image, const TimeLabels& labels, bool showGrid,
                    const HeaderTexts& header, const QDateTime& now);

// Computes both mappings. Equal calibration readings keep the previous slopes and offsets.
void computeScaleMappings(device::MeasurementHistory& history, double minimum, bool magnify);

void drawFixedScaleGraph(QImage& image, const device::MeasurementHistory& history,
                         CurveOptions options);

// Labels start at minimum; curves follow the mapping computed last. Leaves ScaleLabelValue
// at minimum plus ten steps.
void drawSelfDefinedGraph(QImage& image, device::MeasurementHistory& history, double minimum,
                          bool magnify, CurveOptions options);

}  // namespace graph
