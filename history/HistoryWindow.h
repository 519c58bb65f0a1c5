#pragma once

#include <QString>
#include <QThread>
#include <QWidget>
#include <atomic>
#include <memory>
#include <optional>

#include "AlarmMarks.h"
#include "Summary.h"

class QLabel;
class QProgressBar;
class QTimer;

namespace history {

class HistoryPlot;

// A log file shown whole as a graph. The file is read on a worker thread, with a progress bar
// the first time; a file that grows (the one being logged into) is read on as it grows.
class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    explicit HistoryWindow(const QString& logPath, QWidget* parent = nullptr,
                           const AlarmView& alarms = {});
    ~HistoryWindow() override;

    HistoryPlot* plot() const { return plot_; }
    // Whether a reading of the file is under way.
    bool reading() const { return worker_ != nullptr; }

signals:
    void summaryShown();
    // The past alarms read from the file, after the curves.
    void alarmMarksShown();
    void readingFailed(const QString& why);

private:
    void startReading();
    void summaryRead(std::optional<Summary> summary, QString error);
    void checkFile();

    QString path_;
    HistoryPlot* plot_;
    QLabel* note_;
    QProgressBar* progress_;
    QTimer* watch_;
    std::shared_ptr<const Summary> summary_;
    bool savedSince_ = true;  // the cache holds what is shown
    const AlarmView alarms_;
    // Read on by the worker alongside the summary, looked at only once it has ended.
    std::optional<AlarmMarker> marker_;
    std::atomic_bool cancel_{false};
    // A QThread, not a thread Qt adopts when it is used there: on Windows Qt cleans an adopted
    // thread up from a watcher of its own, and under Wine the end of a reading crashed in it.
    std::unique_ptr<QThread> worker_;
};

// Asks for a log file to show; nothing if the user cancels.
std::optional<QString> askLogFile(QWidget* parent);

}  // namespace history
