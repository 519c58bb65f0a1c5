#include "LogSession.h"

#include <QFileDialog>
#include <QLocale>
#include <utility>

#include "Form2.h"
#include "LogFile.h"
#include "LogLine.h"

namespace textlog {

namespace {
// A name typed as the filter itself is no file; it counts as a cancel.
const QString FilterName = QStringLiteral("*.txt");
}  // namespace

QtSaveDialog::QtSaveDialog() : lastName_(FilterName) {}

std::optional<QString> QtSaveDialog::askFileName(QWidget* parent) {
    const QString chosen = QFileDialog::getSaveFileName(parent, QString(), lastName_, FilterName);
    if (chosen.isEmpty()) return std::nullopt;
    lastName_ = chosen;
    return chosen;
}

LogSession::LogSession(device::MeasurementHistory& history, SaveDialog& dialog, Hooks hooks)
    : history_(history), dialog_(dialog), hooks_(std::move(hooks)) {}

LogSession::~LogSession() {
    close();
}

bool LogSession::isLogging() const {
    return file_ && file_->isOpen();
}

void LogSession::saveLog() {
    const std::optional<QString> chosen = dialog_.askFileName(hooks_.dialogParent);
    if (!chosen || *chosen == FilterName) return;
    const QString path = *chosen;

    // The new file opens before the old one closes, so a failure leaves the running log as it
    // was. Reopening the file in use truncates it and starts it afresh.
    auto next = std::make_unique<LogFile>();
    if (!next->open(path)) {
        if (hooks_.reportError) {
            hooks_.reportError(LogFailure::Create,
                               QStringLiteral("Cannot create the log file \"%1\": %2")
                                   .arg(path, next->errorString()));
        }
        return;
    }
    logInto(std::move(next));
}

void LogSession::logInto(std::unique_ptr<LogFile> opened) {
    if (file_) file_->close();
    file_ = std::move(opened);
    file_->syncFailed = [this] { noteWrite(false); };
    writeFailureReported_ = false;
    const QString path = file_->fileName();

    history_.SampleCount = 0;
    if (hooks_.showTextLogWindow) hooks_.showTextLogWindow();
    if (hooks_.showLogPath) hooks_.showLogPath(path);
    history_.LogFileName = path;
    history_.LogToFile = true;

    // A file that goes on from an earlier run keeps its one header, so it still reads as one
    // table; the gap in the times shows the outage.
    if (file_->size() > 0) return;
    const bool written = file_->writeLine(fileHeaderLine());
    noteWrite(written);
}

void LogSession::logSample(const device::LogRecord& record) {
    if (!isLogging()) return;
    const LineStamp stamp = lineStamp(record, QLocale());
    const bool written = file_->writeLine(fileDataLine(record, stamp));
    // The window gets its line whatever became of the file's.
    if (hooks_.textLogWindow) {
        if (Form2* window = hooks_.textLogWindow()) window->appendLine(textLogLine(record, stamp));
        linesToShow_ = true;
    }
    noteWrite(written);
}

void LogSession::showLoggedLines() {
    if (!std::exchange(linesToShow_, false) || !hooks_.textLogWindow) return;
    if (Form2* window = hooks_.textLogWindow()) window->showAppendedLines();
}

void LogSession::noteWrite(bool written) {
    if (written) {
        writeFailureReported_ = false;
        return;
    }
    // One message per run of failures; a message box per frame would bury the user.
    if (writeFailureReported_) return;
    writeFailureReported_ = true;
    if (hooks_.reportError) {
        hooks_.reportError(LogFailure::Write,
                           QStringLiteral("Cannot write to the log file \"%1\": %2")
                               .arg(history_.LogFileName, file_->errorString()));
    }
}

void LogSession::close() {
    if (file_) file_->close();
    file_.reset();
    // Nothing may be logged into a closed file.
    history_.LogToFile = false;
}

}  // namespace textlog
