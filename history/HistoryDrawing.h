#pragma once

#include <QDateTime>
#include <QImage>
#include <QRect>
#include <optional>
#include <vector>

#include "Summary.h"

// The history drawn in the look of the graph window: black around a dark blue plot, grey
// axes, a dotted grid, the target pH in red, the measured pH in yellow and the valve's
// openings in orange, with dates and times along the bottom and pH up the right. On a plain
// QImage, so that it runs without a window.
namespace history {

// A stretch of real time, seconds since 1970 UTC: [from, to). It is labelled in wall-clock
// times of the computer's zone.
struct Span {
    qint64 from = 0;
    qint64 to = 0;
    qint64 length() const { return to - from; }
    bool operator==(const Span&) const = default;
};

// What one column of pixels shows: the lowest and highest values within it, and the first
// and last, which join it to its neighbours.
struct Column {
    bool data = false;
    bool breakBefore = false;  // a gap between the column's first line and the data before
    bool valveOpen = false;
    qint16 phLo = 0, phHi = 0, phFirst = 0, phLast = 0;
    qint16 targetLo = 0, targetHi = 0, targetFirst = 0, targetLast = 0;
};

// The lines themselves are shown while the view holds at most this many.
constexpr std::size_t LinesShownOneByOne = 20000;

// Lines in file order; the gaps between them are the summary's.
std::vector<Column> columnsFromLines(const std::vector<LogLine>& lines,
                                     const std::vector<Gap>& gaps, Span span, int width);
std::vector<Column> columnsFromBuckets(const Summary& summary, Span span, int width);
// From the lines when the view is close enough, from the minutes otherwise.
std::vector<Column> columnsFor(const Summary& summary, Span span, int width);

// Where things fall on a picture of a given size.
struct Layout {
    QRect plot;  // the dark blue area; its right and bottom edges carry the axes
    Span span;
    double phLow = 6, phHigh = 8;  // at the bottom and top of the plot
    double labelStep = 0.2;

    int x(qint64 time) const;  // the column of a time
    int y(int hundredths) const;
    qint64 timeAt(int x) const;
};

// The plot for an image size, with the pH range fitted to what the columns show.
Layout layoutFor(QSize size, Span span, const std::vector<Column>& columns);

// What the header says: the pointed line, or else the span shown.
struct HeaderNote {
    std::optional<LogLine> pointed;
    std::optional<double> kh;  // the water's KH: the pointed line's CO2 is shown too
};

void drawHistory(QImage& image, const Layout& layout, const std::vector<Column>& columns,
                 const HeaderNote& note = {});

// All of it at once for a summary and a span: the picture the export writes.
Layout drawHistory(QImage& image, const Summary& summary, Span span, const HeaderNote& note = {});

// The whole of a summary's time, a little beyond its last line.
Span wholeSpan(const Summary& summary);

// A real moment as the computer's wall clock shows it.
QDateTime wallClock(qint64 time);

}  // namespace history
