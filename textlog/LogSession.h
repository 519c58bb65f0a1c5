#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "device/FrameSink.h"
#include "device/MeasurementHistory.h"

class QWidget;

namespace textlog {

class Form2;
class LogFile;

// Where "Save Log" asks for a file name. Tests answer without a dialog.
class SaveDialog {
public:
    virtual ~SaveDialog() = default;
    // The chosen path, or nothing when the user cancelled.
    virtual std::optional<QString> askFileName(QWidget* parent) = 0;
};

// The platform's save dialog, filter "*.txt", remembering the last name between uses. Its
// name is the filter itself until the user has chosen one.
class QtSaveDialog final : public SaveDialog {
public:
    QtSaveDialog();
    std::optional<QString> askFileName(QWidget* parent) override;

private:
    QString lastName_;
};

// Which part of file logging failed.
enum class LogFailure { Create, Write };

// File logging: "Save Log", each logged frame to the file and the text log window, and the
// file's close at exit.
class LogSession {
public:
    struct Hooks {
        std::function<Form2*()> textLogWindow;            // creates it hidden when missing
        std::function<void()> showTextLogWindow;          // shows it, main window in front
        std::function<void(const QString&)> showLogPath;  // Text2: text and visible
        std::function<void(LogFailure, const QString&)> reportError;  // tells the user
        QWidget* dialogParent = nullptr;
    };

    LogSession(device::MeasurementHistory& history, SaveDialog& dialog, Hooks hooks);
    ~LogSession();

    // The "Save Log" button. A cancel changes nothing. A file that cannot be created is
    // reported and leaves any running log untouched; otherwise an earlier log file is closed
    // and the new one starts with its header.
    void saveLog();
    // Logs from now on into a file already open, as "Save Log" does once its file is chosen:
    // the text log window shown, the path in Text2, an earlier log file closed. The header
    // goes only into an empty file.
    void logInto(std::unique_ptr<LogFile> opened);
    // One due frame: a line to the file and a line to the text log window. Does nothing while
    // no log file is open. A failed write is reported once until a write succeeds again.
    void logSample(const device::LogRecord& record);
    // After a batch of frames: the text log window shows the batch's lines now, in the same
    // wake-up, instead of at a refresh of its own a moment later. Nothing without new lines.
    void showLoggedLines();
    // At exit: closes the log file and stops logging.
    void close();

    bool isLogging() const;

private:
    device::MeasurementHistory& history_;
    SaveDialog& dialog_;
    Hooks hooks_;
    // Reports a failed write, once per run of failures.
    void noteWrite(bool written);

    std::unique_ptr<LogFile> file_;
    bool writeFailureReported_ = false;
    bool linesToShow_ = false;  // lines went to the text log window since showLoggedLines()
};

}  // namespace textlog
