#include "Form3.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QRadioButton>
#include <QRegion>
#include <QScreen>
#include <algorithm>

#include "device/Twips.h"

namespace graph {

namespace {

// Shows the persistent image: covering, hiding and showing only repaint it, never recompute.
// The image is drawn at the screen's pixel ratio, so it goes onto the screen unscaled. Before
// painting, the owner brings the image up to date at the surface's ratio.
class GraphSurface final : public QFrame {
public:
    GraphSurface(const QImage& image, std::function<void(qreal)> prepare, QWidget* parent)
        : QFrame(parent), image_(image), prepare_(std::move(prepare)) {
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setLineWidth(2);
        // The border and the image cover every pixel; nothing beneath need be painted first.
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        prepare_(devicePixelRatioF());
        QPainter painter(this);
        const QRect inner = contentsRect();
        const QRegion border = event->region().subtracted(inner);
        if (!border.isEmpty()) {
            painter.setClipRegion(border);
            painter.fillRect(rect(), palette().window());
            drawFrame(&painter);
        }
        painter.setClipRect(inner);
        painter.drawImage(inner.topLeft(), image_);
    }

private:
    const QImage& image_;
    std::function<void(qreal)> prepare_;
};

// What a plot reads of the history. The time texts are left out: the frame keeps its labels.
void copyPlotInputs(const device::MeasurementHistory& from, device::MeasurementHistory& to) {
    to.PhHistory = from.PhHistory;
    to.ValveHistory = from.ValveHistory;
    to.LimitHistory = from.LimitHistory;
    to.LimitRaw = from.LimitRaw;
    to.RawAtPh7 = from.RawAtPh7;
    to.RawAtPh4 = from.RawAtPh4;
    to.FixedSlope = from.FixedSlope;
    to.FixedOffset = from.FixedOffset;
    to.SelfYAtPh7 = from.SelfYAtPh7;
    to.SelfYAtPh4 = from.SelfYAtPh4;
    to.SelfSlope = from.SelfSlope;
    to.SelfOffset = from.SelfOffset;
    to.ScaleLabelValue = from.ScaleLabelValue;
}

using device::twipRect;

template <typename W>
W* place(W* widget, const char* name, QRect geometry) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

}  // namespace

Form3::Form3(device::MeasurementHistory& history, std::function<HeaderTexts()> headerTexts,
             const device::Clock& clock, QWidget* parent)
    : QWidget(parent), history_(history), headerTexts_(std::move(headerTexts)), clock_(clock) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Graph Logging Vellicor"));
    // The controls are laid out for an 8-point sans serif caption font.
    QFont captionFont(QStringLiteral("Arial"));
    captionFont.setPointSize(8);
    setFont(captionFont);
    resize(660, 461);

    image_ = makeSurfaceImage(devicePixelRatioF());
    Picture1 = place(new GraphSurface(
                         image_, [this](qreal ratio) { preparePicture(ratio); }, this),
                     "Picture1", twipRect(120, 60, 9615, 5775));

    Frame1 = place(new QGroupBox(QStringLiteral("Scale"), this), "Frame1",
                   twipRect(135, 5940, 4695, 870));
    Option1 = place(new QRadioButton(QStringLiteral("pH 6-8"), Frame1), "Option1",
                    twipRect(180, 315, 1050, 240));
    Option2 = place(new QRadioButton(QStringLiteral("Self defined"), Frame1), "Option2",
                    twipRect(1170, 360, 1140, 240));
    Label1 = place(new QLabel(QStringLiteral("Min scale"), Frame1), "Label1",
                   twipRect(2565, 135, 870, 330));
    Combo1 = place(new ChoiceComboBox(Frame1), "Combo1", twipRect(2475, 360, 1050, 315));
    Check3 = place(new QCheckBox(QStringLiteral("Magnify"), Frame1), "Check3",
                   twipRect(3600, 405, 870, 195));

    Frame2 = place(new QGroupBox(QStringLiteral("Show Valve"), this), "Frame2",
                   twipRect(5220, 5940, 1230, 870));
    Check1 = place(new QCheckBox(QStringLiteral("Show"), Frame2), "Check1",
                   twipRect(180, 360, 915, 240));
    Frame4 = place(new QGroupBox(QStringLiteral("Show Limit"), this), "Frame4",
                   twipRect(6600, 5940, 1230, 870));
    Check4 = place(new QCheckBox(QStringLiteral("Show"), Frame4), "Check4",
                   twipRect(240, 360, 735, 240));
    Frame3 = place(new QGroupBox(QStringLiteral("Show Grid"), this), "Frame3",
                   twipRect(8040, 5940, 1230, 915));
    Check2 = place(new QCheckBox(QStringLiteral("Show"), Frame3), "Check2",
                   twipRect(270, 360, 735, 240));

    // The style's radio indicator is wider than the design allowed for; let the caption use
    // the gap before the minimum field rather than cut it off.
    Option2->resize(std::min(std::max(Option2->width(), Option2->sizeHint().width()),
                             Combo1->x() - Option2->x() - 2),
                    Option2->height());

    Option1->setChecked(true);
    Check2->setChecked(true);
    Label1->setEnabled(false);
    Combo1->setEnabled(false);
    // Typed text is the minimum exactly as typed: no completion, nothing added to the list.
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setCompleter(nullptr);
    Combo1->addItems({"9,0", "8,9", "8,8", "8,7", "8,6", "8,5", "8,4", "8,3", "8,2",
                      "8,1", "8,0", "7,9", "7,8", "7,7", "7,6", "7,5", "7,4", "7,3",
                      "7,2", "7,1", "7,0", "6,9", "6,8", "6,7", "6,6", "6,5", "6,4",
                      "6,3", "6,2", "6,1", "6,0", "5,9", "5,8", "3,8"});
    Combo1->setCurrentIndex(-1);
    Combo1->setEditText(QStringLiteral("6,0"));

    // Labels and group boxes take no focus; the rest follow the design's order, which starts
    // at the drawing surface.
    Picture1->setFocusPolicy(Qt::TabFocus);
    Picture1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Picture1, &QWidget::customContextMenuRequested, this, &Form3::showPictureMenu);
    setTabOrder(Picture1, Option1);
    setTabOrder(Option1, Option2);
    setTabOrder(Option2, Check1);
    setTabOrder(Check1, Check2);
    setTabOrder(Check2, Combo1);
    setTabOrder(Combo1, Check3);
    setTabOrder(Check3, Check4);

    connect(Option1, &QRadioButton::clicked, this, &Form3::Option1_Click);
    connect(Option2, &QRadioButton::clicked, this, &Form3::Option2_Click);
    // Only a choice from the list recomputes the scale; a typed minimum waits for a switch.
    connect(Combo1, &ChoiceComboBox::entryChosen, this, &Form3::Combo1_Click);
    connect(Check3, &QCheckBox::clicked, this, &Form3::Check3_Click);
    connect(Check1, &QCheckBox::clicked, this, &Form3::Check1_Click);
    connect(Check2, &QCheckBox::clicked, this, &Form3::Check2_Click);
    connect(Check4, &QCheckBox::clicked, this, &Form3::Check4_Click);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

device::GraphScale Form3::scale() const {
    return Option2->isChecked() ? device::GraphScale::SelfDefined : device::GraphScale::Fixed;
}

double Form3::minimumScale() {
    if (const auto value = parseMinScale(Combo1->currentText())) lastValidMinimum_ = *value;
    return lastValidMinimum_;
}

CurveOptions Form3::curveOptions() const {
    return {Check4->isChecked(), Check1->isChecked()};
}

void Form3::pictureChanged() {
    if (isVisible()) Picture1->update(Picture1->contentsRect());
}

void Form3::matchScreenRatio(qreal ratio) {
    image_ = makeSurfaceImage(ratio);
    frameDrawn_ = false;
    plotsDrawn_ = 0;
    drawWaiting();
}

void Form3::preparePicture(qreal ratio) {
    if (image_.devicePixelRatio() != ratio)
        matchScreenRatio(ratio);
    else
        drawWaiting();
}

void Form3::DrawGraphFrame() {
    const HeaderTexts header = headerTexts_ ? headerTexts_() : HeaderTexts{};
    drawnFrame_ = DrawnFrame{timeLabels(history_), Check2->isChecked(), header, clock_.now()};
    frameDrawn_ = false;
    plotCount_ = 0;
    plotsDrawn_ = 0;
    pictureChanged();
}

void Form3::DrawFixedScaleGraph() {
    recordPlot(DrawnPlot{false, 0, false, curveOptions()});
}

void Form3::DrawSelfDefinedGraph() {
    const DrawnPlot plot{true, minimumScale(), Check3->isChecked(), curveOptions()};
    // The scale's working value is the drawing's result the rest of the program reads.
    selfDefinedLabels(plot.minimum, plot.magnify, &history_.ScaleLabelValue);
    recordPlot(plot);
}

void Form3::recordPlot(const DrawnPlot& plot) {
    if (plotCount_ == plots_.size()) plots_.emplace_back();
    RecordedPlot& recorded = plots_[plotCount_++];
    recorded.plot = plot;
    copyPlotInputs(history_, recorded.inputs);
    pictureChanged();
}

void Form3::drawPlot(RecordedPlot& recorded) {
    const DrawnPlot& p = recorded.plot;
    if (p.selfDefined)
        drawSelfDefinedGraph(image_, recorded.inputs, p.minimum, p.magnify, p.options);
    else
        drawFixedScaleGraph(image_, recorded.inputs, p.options);
}

void Form3::drawWaiting() {
    if (!frameDrawn_ && drawnFrame_) {
        const DrawnFrame& f = *drawnFrame_;
        drawGraphFrame(image_, f.labels, f.showGrid, f.header, f.now);
    }
    frameDrawn_ = true;
    for (; plotsDrawn_ < plotCount_; ++plotsDrawn_) drawPlot(plots_[plotsDrawn_]);
}

const QImage& Form3::image() {
    drawWaiting();
    return image_;
}

void Form3::ComputeScaleMappings() {
    computeScaleMappings(history_, minimumScale(), Check3->isChecked());
}

void Form3::fixedRedraw() {
    DrawGraphFrame();
    DrawFixedScaleGraph();
}

void Form3::selfDefinedRedraw() {
    DrawGraphFrame();
    DrawSelfDefinedGraph();
}

void Form3::Option1_Click() {
    Combo1->setEnabled(false);
    Label1->setEnabled(false);
    fixedRedraw();
}

void Form3::Option2_Click() {
    Combo1->setEnabled(true);
    Label1->setEnabled(true);
    ComputeScaleMappings();
    selfDefinedRedraw();
}

void Form3::recomputeAndRedrawSelfDefined() {
    if (!Option2->isChecked()) return;
    ComputeScaleMappings();
    selfDefinedRedraw();
}

void Form3::Combo1_Click() {
    recomputeAndRedrawSelfDefined();
}
void Form3::Check3_Click() {
    recomputeAndRedrawSelfDefined();
}

// Show/hide switches redraw with the mapping computed last.
void Form3::redrawForSwitch() {
    if (Option1->isChecked()) fixedRedraw();
    if (Option2->isChecked()) selfDefinedRedraw();
}

void Form3::Check1_Click() {
    redrawForSwitch();
}
void Form3::Check2_Click() {
    redrawForSwitch();
}
void Form3::Check4_Click() {
    redrawForSwitch();
}

// Offered only while a log file is open: there is nothing else to look back over.
void Form3::showPictureMenu(const QPoint& at) {
    if (!history_.LogToFile || history_.LogFileName.isEmpty()) return;
    QMenu menu(this);
    const QString path = history_.LogFileName;
    menu.addAction(QStringLiteral("History of this log..."), this,
                   [this, path] { emit historyRequested(path); });
    menu.exec(Picture1->mapToGlobal(at));
}

}  // namespace graph
