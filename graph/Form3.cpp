#include "Form3.h"

namespace graph {

// Placeholder until the graph window is built: keeps the program linkable.
Form3::Form3(device::MeasurementHistory& history, std::function<HeaderTexts()> headerTexts,
             const device::Clock& clock, QWidget* parent)
    : QWidget(parent), history_(history), headerTexts_(std::move(headerTexts)), clock_(clock) {
    setWindowTitle(QStringLiteral("Graph Logging Vellicor"));
}

device::GraphScale Form3::scale() const { return device::GraphScale::Fixed; }
void Form3::DrawGraphFrame() {}
void Form3::DrawFixedScaleGraph() {}
void Form3::DrawSelfDefinedGraph() {}
void Form3::ComputeScaleMappings() {}
void Form3::fixedRedraw() {
    DrawGraphFrame();
    DrawFixedScaleGraph();
}
void Form3::selfDefinedRedraw() {
    DrawGraphFrame();
    DrawSelfDefinedGraph();
}
void FillDemoHistory(device::MeasurementHistory&) {}

}  // namespace graph
