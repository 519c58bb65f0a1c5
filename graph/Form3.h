#pragma once

#include <QImage>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "device/Clock.h"
#include "device/FrameSink.h"
#include "device/MeasurementHistory.h"
#include "graph/ChoiceComboBox.h"
#include "graph/GraphDrawing.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QRadioButton;

namespace graph {

// The graph window: the drawing surface and the options that decide how it is drawn. The
// options live only in the controls, so a new window starts from their design-time state.
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

    // The persistent picture, with every drawing asked for so far done.
    const QImage& image();

    // Draws what the surface shows afresh at another device pixel ratio. The surface calls it
    // when its screen's ratio differs from the image's.
    void matchScreenRatio(qreal ratio);

    // The self-defined minimum from Combo1; a text that is not a number keeps the last one.
    double minimumScale();

    void Option1_Click();
    void Option2_Click();
    void Combo1_Click();
    void Check3_Click();
    void Check1_Click();
    void Check2_Click();
    void Check4_Click();

    QFrame* Picture1;        // drawing surface showing image()
    QGroupBox* Frame1;       // "Scale"
    QRadioButton* Option1;   // "pH 6-8"
    QRadioButton* Option2;   // "Self defined"
    QLabel* Label1;          // "Min scale"
    ChoiceComboBox* Combo1;  // minimum of the self-defined scale
    QCheckBox* Check3;       // "Magnify"
    QGroupBox* Frame2;       // "Show Valve"
    QCheckBox* Check1;       // show valve bars
    QGroupBox* Frame4;       // "Show Limit"
    QCheckBox* Check4;       // show limit line
    QGroupBox* Frame3;       // "Show Grid"
    QCheckBox* Check2;       // show grid

signals:
    // The user asked, from the plot's context menu, for the history of the open log file.
    void historyRequested(const QString& logPath);

private:
    void showPictureMenu(const QPoint& at);

    void redrawForSwitch();
    void recomputeAndRedrawSelfDefined();
    CurveOptions curveOptions() const;

    struct DrawnFrame {
        TimeLabels labels;
        bool showGrid;
        HeaderTexts header;
        QDateTime now;
    };
    struct DrawnPlot {
        bool selfDefined;
        double minimum;
        bool magnify;
        CurveOptions options;
    };

    // Drawing is recorded when asked for and done when the picture is painted or read, with
    // everything it was asked with: frames come faster than the screen shows them, and a
    // hidden window's surface is seen by nobody. A frame clears the surface, so only the
    // frame and the plots after it are kept, the plots with a copy of what they read of the
    // history. A screen of another pixel ratio gets the same picture drawn afresh.
    struct RecordedPlot {
        DrawnPlot plot;
        device::MeasurementHistory inputs;  // the sample arrays and mappings only
    };
    void recordPlot(const DrawnPlot& plot);
    void drawPlot(RecordedPlot& recorded);
    void pictureChanged();
    void drawWaiting();
    void preparePicture(qreal ratio);

    device::MeasurementHistory& history_;
    std::function<HeaderTexts()> headerTexts_;
    const device::Clock& clock_;
    QImage image_;
    std::optional<DrawnFrame> drawnFrame_;
    bool frameDrawn_ = true;
    std::vector<RecordedPlot> plots_;  // storage kept from frame to frame
    std::size_t plotCount_ = 0;        // plots since the latest frame
    std::size_t plotsDrawn_ = 0;       // of those, on the picture
    double lastValidMinimum_ = 6.0;    // the design-time "6,0"
};

}  // namespace graph
