#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

#include "device/FrameSink.h"
#include "device/MeasurementHistory.h"

class QWidget;

namespace textlog {

class Form2;

// Where "Save Log" asks for a file name. Tests answer without a dialog.
class SaveDialog {
public:
    virtual ~SaveDialog() = default;
    // The chosen path, or nothing when the user cancelled.
    virtual std::optional<QString> askFileName(QWidget* parent) = 0;
};

// The platform's save dialog, filter "*.txt", remembering the last name between uses.
class QtSaveDialog final : public SaveDialog {
public:
    std::optional<QString> askFileName(QWidget* parent) override;

private:
    QString lastName_;
};

// File logging: "Save Log", each logged frame to the file and the text log window, and the
// file's close at exit.
class LogSession {
public:
    struct Hooks {
        std::function<Form2*()> textLogWindow;            // creates it hidden when missing
        std::function<void()> showTextLogWindow;          // shows it, main window in front
        std::function<void(const QString&)> showLogPath;  // Text2: text and visible
        std::function<void(const QString&)> reportError;  // tells the user
        QWidget* dialogParent = nullptr;
    };

    LogSession(device::MeasurementHistory& history, SaveDialog& dialog, Hooks hooks);
    ~LogSession();

    void saveLog();                                   // the "Save Log" button
    void logSample(const device::LogRecord& record);  // one due frame, while logging
    void close();                                     // at exit

private:
    device::MeasurementHistory& history_;
    SaveDialog& dialog_;
    Hooks hooks_;
};

}  // namespace textlog
