#include "HistoryDrawing.h"

#include <QDateTime>
#include <QFont>
#include <QLocale>
#include <QPainter>
#include <QTimeZone>
#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

#include "LocalClock.h"
#include "alarms/AlarmText.h"
#include "device/NumberText.h"
#include "graph/GraphDrawing.h"

namespace history {

namespace {

using graph::fromBgr;
namespace bgr = graph::bgr;

// Room around the plot: the header above, the pH scale on the right, two rows of dates and
// times below.
constexpr int MarginLeft = 15, MarginTop = 30, MarginRight = 65, MarginBottom = 40;
constexpr int Headroom = 20;  // above the top label, as the graph window has
constexpr int ValveBarHeight = 30;

int columnOf(qint64 t, Span span, int width) {
    return static_cast<int>((t - span.from) * width / std::max<qint64>(1, span.length()));
}

void merge(Column& c, qint16 phLo, qint16 phHi, qint16 phFirst, qint16 phLast, qint16 tLo,
           qint16 tHi, qint16 tFirst, qint16 tLast, bool valve) {
    if (!c.data) {
        c.data = true;
        c.phLo = phLo, c.phHi = phHi, c.phFirst = phFirst;
        c.targetLo = tLo, c.targetHi = tHi, c.targetFirst = tFirst;
    }
    c.phLo = std::min(c.phLo, phLo);
    c.phHi = std::max(c.phHi, phHi);
    c.phLast = phLast;
    c.targetLo = std::min(c.targetLo, tLo);
    c.targetHi = std::max(c.targetHi, tHi);
    c.targetLast = tLast;
    c.valveOpen = c.valveOpen || valve;
}

class Pixels {
public:
    Pixels(QImage& image, QRect clip)
        : bits_(reinterpret_cast<QRgb*>(image.bits())),
          stride_(image.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb))),
          clip_(clip.intersected(image.rect())) {}
    void set(int x, int y, QRgb colour) {
        if (clip_.contains(x, y)) bits_[y * stride_ + x] = colour;
    }
    void vertical(int x, int y1, int y2, QRgb colour) {
        for (int y = std::min(y1, y2); y <= std::max(y1, y2); ++y) set(x, y, colour);
    }
    // Both ends lit.
    void line(int x0, int y0, int x1, int y1, QRgb colour) {
        const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
        const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
        int err = dx + dy;
        for (;;) {
            set(x0, y0, colour);
            if (x0 == x1 && y0 == y1) return;
            const int e2 = 2 * err;
            if (e2 >= dy) err += dy, x0 += sx;
            if (e2 <= dx) err += dx, y0 += sy;
        }
    }

private:
    QRgb* bits_;
    qsizetype stride_;
    QRect clip_;
};

QColor labelColour(double value) {
    const double r = std::round(value * 100) / 100;
    return fromBgr(r < 7 ? bgr::LightRed : r == 7 ? bgr::LightGreen : bgr::LightBlue);
}

// Steps between time ticks, each a whole number of the unit above it.
constexpr std::array<qint64, 17> TimeSteps{60,     120,    300,     600,     900,    1800,
                                           3600,   7200,   10800,   21600,   43200,  86400,
                                           172800, 604800, 1209600, 2419200, 4838400};

// Days since 1970 began on a Thursday; weeks are counted from Mondays.
qint64 firstTick(qint64 from, qint64 step) {
    const qint64 shift = step >= 604800 ? 4 * 86400 : 0;
    const qint64 k = (from - shift + step - 1) / step;
    return k * step + shift;
}

// The real moments of the round wall-clock times in a span: an hour a clock change repeats
// gets its ticks twice, one it skips none.
std::vector<qint64> ticksIn(Span span, qint64 step) {
    LocalClock clock;
    // Wide enough for any clock change within the span.
    constexpr qint64 Slack = 86400;
    std::vector<qint64> ticks;
    const qint64 last = clock.wallTime(span.to) + Slack;
    for (qint64 wall = firstTick(clock.wallTime(span.from) - Slack, step); wall < last;
         wall += step) {
        const LocalClock::Moments m = clock.moments(wall);
        for (int k = 0; k < m.count; ++k) {
            const qint64 t = m.at[static_cast<std::size_t>(k)];
            if (t >= span.from && t < span.to) ticks.push_back(t);
        }
    }
    std::sort(ticks.begin(), ticks.end());
    return ticks;
}

struct Text {
    int x;
    int y;
    QString text;
    QColor colour;
};

// The graph's 8-point sans serif without smoothing, each text's top-left corner at its point.
// Drawn afresh each time: the labels move with every zoom and pan.
void printTexts(QImage& image, const std::vector<Text>& texts) {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    font.setStyleStrategy(QFont::NoAntialias);
    QPainter painter(&image);
    painter.setFont(font);
    const int ascent = painter.fontMetrics().ascent();
    for (const Text& t : texts) {
        painter.setPen(t.colour);
        painter.drawText(t.x, t.y + ascent, t.text);
    }
}

QString dateText(qint64 t) {
    return QLocale().toString(wallClock(t).date(), QLocale::ShortFormat);
}
QString timeText(qint64 t, bool seconds) {
    return wallClock(t).time().toString(seconds ? QStringLiteral("HH:mm:ss")
                                                : QStringLiteral("HH:mm"));
}

}  // namespace

QDateTime wallClock(qint64 time) {
    return QDateTime::fromSecsSinceEpoch(time, QTimeZone::systemTimeZone());
}

Span wholeSpan(const Summary& s) {
    if (s.buckets.empty()) return {0, 3600};
    const qint64 from = s.firstTime();
    // One usual interval beyond the last line, so that it is inside the span.
    return {from, std::max(from + 60, s.lastTime + s.usualInterval())};
}

std::vector<Column> columnsFromLines(const std::vector<LogLine>& lines,
                                     const std::vector<Gap>& gaps, Span span, int width) {
    std::vector<Column> columns(static_cast<std::size_t>(std::max(0, width)));
    if (width <= 0) return columns;
    const LogLine* previous = nullptr;
    for (const LogLine& line : lines) {
        const bool gap = previous && isGap(gaps, previous->time, line.time);
        if (line.time >= span.from && line.time < span.to) {
            const int c = columnOf(line.time, span, width);
            Column& column = columns[static_cast<std::size_t>(c)];
            const bool sameColumn = previous && previous->time >= span.from &&
                                    columnOf(previous->time, span, width) == c;
            if (gap && !sameColumn) column.breakBefore = true;
            merge(column, line.ph, line.ph, line.ph, line.ph, line.target, line.target, line.target,
                  line.target, line.valveOpen);
        }
        previous = &line;
    }
    // The curve runs out to the view's edges, towards the lines just beyond them, unless a gap
    // lies between: at each edge, the point where the line to the neighbour crosses it.
    const auto inside = [&](const LogLine& l) { return l.time >= span.from && l.time < span.to; };
    const auto firstIn = std::find_if(lines.begin(), lines.end(), inside);
    if (firstIn == lines.end() || width < 2) return columns;
    const auto lastIn = std::find_if(lines.rbegin(), lines.rend(), inside).base() - 1;
    const auto edge = [&](const LogLine& a, const LogLine& b, qint64 at, int c) {
        if (b.time <= a.time || isGap(gaps, a.time, b.time) || columns[std::size_t(c)].data) return;
        const double share = double(at - a.time) / double(b.time - a.time);
        const auto along = [&](qint16 from, qint16 to) {
            return static_cast<qint16>(std::lround(from + share * (to - from)));
        };
        const qint16 ph = along(a.ph, b.ph), target = along(a.target, b.target);
        merge(columns[std::size_t(c)], ph, ph, ph, ph, target, target, target, target, false);
    };
    if (firstIn != lines.begin()) edge(*(firstIn - 1), *firstIn, span.from, 0);
    if (lastIn + 1 != lines.end())
        edge(*lastIn, *(lastIn + 1), span.from + (width - 1) * span.length() / width, width - 1);
    return columns;
}

std::vector<Column> columnsFromBuckets(const Summary& s, Span span, int width) {
    std::vector<Column> columns(static_cast<std::size_t>(std::max(0, width)));
    if (width <= 0) return columns;
    for (std::size_t i = bucketAt(s, span.from); i < s.buckets.size(); ++i) {
        const Bucket& b = s.buckets[i];
        const qint64 start = qint64(b.minute) * BucketSeconds;
        if (start >= span.to) break;
        const int c = columnOf(std::max(start, span.from), span, width);
        merge(columns[static_cast<std::size_t>(c)], b.phMin, b.phMax, b.phFirst, b.phLast,
              b.targetMin, b.targetMax, b.targetFirst, b.targetLast, b.valveOpen > 0);
    }
    for (const Gap& g : s.gaps) {
        if (g.after < span.from || g.after >= span.to) continue;
        const int after = columnOf(g.after, span, width);
        const int before = g.before < span.from ? -1 : columnOf(g.before, span, width);
        if (after != before) columns[static_cast<std::size_t>(after)].breakBefore = true;
    }
    return columns;
}

std::vector<Column> columnsFor(const Summary& s, Span span, int width) {
    const std::size_t first = bucketAt(s, span.from), last = bucketAt(s, span.to);
    if (last - first <= LinesShownOneByOne) {
        qint64 lines = 0;
        for (std::size_t i = first; i < last && i < s.buckets.size(); ++i)
            lines += s.buckets[i].lines;
        if (lines <= qint64(LinesShownOneByOne)) {
            const LinesRead read = readLines(s, span.from, span.to, 2 * LinesShownOneByOne);
            if (read.complete) return columnsFromLines(read.lines, s.gaps, span, width);
        }
    }
    return columnsFromBuckets(s, span, width);
}

int Layout::x(qint64 time) const {
    return plot.left() + columnOf(time, span, plot.width() - 1);
}

int Layout::y(int hundredths) const {
    const double ph = hundredths / 100.0;
    const double scaleHeight = plot.height() - 1 - Headroom;
    const double y = plot.bottom() - (ph - phLow) / (phHigh - phLow) * scaleHeight;
    return std::clamp(static_cast<int>(std::lround(y)), plot.top(), plot.bottom());
}

qint64 Layout::timeAt(int px) const {
    return span.from + qint64(px - plot.left()) * span.length() / std::max(1, plot.width() - 1);
}

Layout layoutFor(QSize size, Span span, const std::vector<Column>& columns) {
    Layout layout;
    layout.plot = QRect(QPoint(MarginLeft, MarginTop),
                        QPoint(size.width() - MarginRight, size.height() - MarginBottom));
    layout.span = span;
    int lo = INT_MAX, hi = INT_MIN;
    for (const Column& c : columns) {
        if (!c.data) continue;
        lo = std::min({lo, int(c.phLo), int(c.targetLo)});
        hi = std::max({hi, int(c.phHi), int(c.targetHi)});
    }
    if (lo > hi) lo = 600, hi = 800;
    // The smallest round step that labels the range with ten steps or fewer; at least four.
    // A log of a device that sent nonsense may hold any pH up to a few hundred.
    for (double step : {0.05, 0.1, 0.2, 0.25, 0.5, 1.0, 2.0, 5.0, 10.0, 20.0, 50.0, 100.0}) {
        const long bottom = std::lround(std::floor(lo / 100.0 / step + 1e-9));
        const long top = std::lround(std::ceil(hi / 100.0 / step - 1e-9));
        if (top - bottom > 10 && step < 100) continue;
        const long pad = std::max(0L, 4 - (top - bottom));
        layout.labelStep = step;
        layout.phLow = (bottom - pad / 2) * step;
        layout.phHigh = (top + pad - pad / 2) * step;
        break;
    }
    return layout;
}

void drawHistory(QImage& image, const Layout& layout, const std::vector<Column>& columns,
                 const HeaderNote& note) {
    const QRect plot = layout.plot;
    image.fill(fromBgr(bgr::Black));
    Pixels px(image, image.rect());
    const QRgb grey = fromBgr(bgr::LightGrey).rgb(), grid = fromBgr(bgr::MutedBlue).rgb(),
               white = fromBgr(bgr::White).rgb();
    const QRgb darkBlue = fromBgr(bgr::DarkBlue).rgb();
    for (int y = std::max(0, plot.top()); y <= std::min(image.height() - 1, plot.bottom()); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::fill(row + std::max(0, plot.left()), row + std::min(image.width(), plot.right() + 1),
                  darkBlue);
    }

    std::vector<Text> texts;
    // pH labels, grid lines and ticks.
    const long steps = std::lround((layout.phHigh - layout.phLow) / layout.labelStep);
    for (long k = 0; k <= steps; ++k) {
        const double value = layout.phLow + k * layout.labelStep;
        const int y = layout.y(static_cast<int>(std::lround(value * 100)));
        if (k > 0)
            for (int x = plot.left() + 1; x < plot.right(); x += 2) px.set(x, y, grid);
        px.line(plot.right(), y, plot.right() + 4, y, white);
        texts.push_back(
            {plot.right() + 17, y - 6, QString::number(value, 'f', 2), labelColour(value)});
    }
    // Time ticks far enough apart for their labels.
    const int width = plot.width() - 1;
    qint64 step = TimeSteps.back();
    for (qint64 s : TimeSteps) {
        if (s * width >= 90 * layout.span.length()) {
            step = s;
            break;
        }
    }
    QString lastDate;
    const QColor labelBlue = fromBgr(bgr::LightBlue);
    for (const qint64 t : ticksIn(layout.span, step)) {
        const int x = layout.x(t);
        if (x > plot.left())
            for (int y = plot.top(); y < plot.bottom(); y += 2) px.set(x, y, grid);
        px.line(x, plot.bottom(), x, plot.bottom() + 3, white);
        const QString date = dateText(t);
        if (step < 86400) {
            texts.push_back({x - 12, plot.bottom() + 8, timeText(t, false), labelBlue});
            if (date != lastDate)
                texts.push_back({std::max(0, x - 12), plot.bottom() + 21, date, labelBlue});
        } else {
            texts.push_back({std::max(0, x - 20), plot.bottom() + 8, date, labelBlue});
        }
        lastDate = date;
    }
    // Axes: bottom, left and right; none on top.
    px.line(plot.left(), plot.bottom(), plot.right(), plot.bottom(), grey);
    px.line(plot.left(), plot.top(), plot.left(), plot.bottom(), grey);
    px.line(plot.right(), plot.top(), plot.right(), plot.bottom(), grey);
    texts.push_back({plot.right() + 18, 18, QStringLiteral("pH"), fromBgr(bgr::LightGrey)});

    // Curves: the target first, the measured pH over it, the valve over both.
    Pixels curves(image, plot.adjusted(0, 0, -1, 0));
    const auto drawCurve = [&](auto lo, auto hi, auto first, auto last, QRgb colour) {
        int previous = -1;
        for (int c = 0; c < int(columns.size()); ++c) {
            const Column& column = columns[static_cast<std::size_t>(c)];
            if (!column.data) continue;
            const int x = plot.left() + c;
            if (previous >= 0 && !column.breakBefore) {
                const Column& p = columns[static_cast<std::size_t>(previous)];
                curves.line(plot.left() + previous, layout.y(last(p)), x, layout.y(first(column)),
                            colour);
            }
            curves.vertical(x, layout.y(lo(column)), layout.y(hi(column)), colour);
            previous = c;
        }
    };
    drawCurve([](const Column& c) { return c.targetLo; },
              [](const Column& c) { return c.targetHi; },
              [](const Column& c) { return c.targetFirst; },
              [](const Column& c) { return c.targetLast; }, fromBgr(bgr::Red).rgb());
    drawCurve([](const Column& c) { return c.phLo; }, [](const Column& c) { return c.phHi; },
              [](const Column& c) { return c.phFirst; }, [](const Column& c) { return c.phLast; },
              fromBgr(bgr::Yellow).rgb());
    for (int c = 0; c < int(columns.size()); ++c)
        if (columns[static_cast<std::size_t>(c)].valveOpen)
            curves.vertical(plot.left() + c, plot.bottom() - ValveBarHeight, plot.bottom() - 1,
                            fromBgr(bgr::Orange).rgb());

    // Header: the pointed line, or the span shown.
    const QColor orange = fromBgr(bgr::LightOrange), red = fromBgr(bgr::Red);
    const QLocale locale;
    if (note.pointed) {
        const LogLine& l = *note.pointed;
        const int x = layout.x(l.time), y = layout.y(l.ph);
        curves.line(x - 3, y, x + 3, y, white);
        curves.line(x, y - 3, x, y + 3, white);
        texts.push_back({30, 3, QStringLiteral("Date:"), orange});
        texts.push_back({57, 3, dateText(l.time), orange});
        texts.push_back({150, 3, QStringLiteral("Time:"), orange});
        texts.push_back({177, 3, timeText(l.time, true), orange});
        texts.push_back({280, 3, QStringLiteral("Limit:"), red});
        texts.push_back({320, 3, device::formatHundredths(l.target, locale), red});
        texts.push_back({400, 3, QStringLiteral("pH:"), labelBlue});
        texts.push_back({430, 3, device::formatHundredths(l.ph, locale), labelBlue});
        texts.push_back({490, 3, QStringLiteral("Valve:"), fromBgr(bgr::Orange)});
        texts.push_back({530, 3, l.valveOpen ? QStringLiteral("open") : QStringLiteral("closed"),
                         fromBgr(bgr::Orange)});
        if (note.kh) {
            texts.push_back({600, 3, QStringLiteral("CO2:"), labelBlue});
            texts.push_back({635, 3,
                             alarms::formatCo2(alarms::co2MgPerLitre(*note.kh, l.ph), locale) +
                                 QStringLiteral(" mg/l"),
                             labelBlue});
        }
    } else {
        texts.push_back({30, 3, QStringLiteral("From:"), orange});
        texts.push_back(
            {65, 3, dateText(layout.span.from) + u' ' + timeText(layout.span.from, false), orange});
        texts.push_back({250, 3, QStringLiteral("To:"), orange});
        texts.push_back(
            {275, 3, dateText(layout.span.to) + u' ' + timeText(layout.span.to, false), orange});
    }
    printTexts(image, texts);
}

Layout drawHistory(QImage& image, const Summary& summary, Span span, const HeaderNote& note) {
    const QRect plot = layoutFor(image.size(), span, {}).plot;
    const auto columns = columnsFor(summary, span, plot.width() - 1);
    const Layout layout = layoutFor(image.size(), span, columns);
    drawHistory(image, layout, columns, note);
    return layout;
}

}  // namespace history
