#include "Export.h"

#include <QDateTime>
#include <QImage>
#include <QTimeZone>

#include "HistoryDrawing.h"

namespace history {

namespace {
// Midnight where the history is shown: the days are the wall clock's.
qint64 dayStart(const QDate& d) {
    return d.startOfDay(QTimeZone::systemTimeZone()).toSecsSinceEpoch();
}
}  // namespace

std::optional<QString> exportPng(const ExportRequest& request) {
    QString error;
    const auto summary = loadSummary(request.logPath, {}, nullptr, &error);
    if (!summary) return error;
    if (summary->lines == 0)
        return QStringLiteral("%1: no line of a pH log in it").arg(request.logPath);
    Span span = wholeSpan(*summary);
    if (request.from) span.from = dayStart(*request.from);
    if (request.to) span.to = dayStart(request.to->addDays(1));
    if (span.to <= span.from) return QStringLiteral("--from is after --to");
    QImage image(ExportWidth, ExportHeight, QImage::Format_RGB32);
    drawHistory(image, *summary, span);
    if (!image.save(request.pngPath, "PNG"))
        return QStringLiteral("%1: cannot be written").arg(request.pngPath);
    return std::nullopt;
}

}  // namespace history
