#include "LogSession.h"

#include <QFileDialog>

namespace textlog {

// Placeholder until file logging is built.
std::optional<QString> QtSaveDialog::askFileName(QWidget*) { return std::nullopt; }

LogSession::LogSession(device::MeasurementHistory& history, SaveDialog& dialog, Hooks hooks)
    : history_(history), dialog_(dialog), hooks_(std::move(hooks)) {}

LogSession::~LogSession() { close(); }

void LogSession::saveLog() {}
void LogSession::logSample(const device::LogRecord&) {}
void LogSession::close() {}

}  // namespace textlog
