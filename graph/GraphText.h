#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <vector>

// The graph's texts: 8-point Arial without smoothing, printed in their exact colours.
namespace graph {

struct TextItem {
    int x;
    int y;
    QString text;
    QColor colour;
};

// Each text's top-left corner sits at its point; only the glyphs are painted.
void printTexts(QImage& image, const std::vector<TextItem>& items);

}  // namespace graph
