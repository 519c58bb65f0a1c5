#pragma once

#include <QDate>
#include <QString>
#include <optional>

// The history of a log file drawn into a PNG without any display: for a web page, a daily
// e-mail or a camera entity in Home Assistant.
namespace history {

constexpr int ExportWidth = 1200;
constexpr int ExportHeight = 600;

struct ExportRequest {
    QString logPath;
    QString pngPath;
    std::optional<QDate> from, to;  // whole days; the whole file where not given
};

// Nothing on success, else one line that says why not.
std::optional<QString> exportPng(const ExportRequest& request);

}  // namespace history
