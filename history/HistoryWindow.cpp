#include "HistoryWindow.h"

#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "HistoryPlot.h"

namespace history {

namespace {
// How often the file is looked at for growth: the log gets a line every second or so.
constexpr int WatchMilliseconds = 2000;
}  // namespace

HistoryWindow::HistoryWindow(const QString& logPath, QWidget* parent, const AlarmView& alarms)
    : QWidget(parent), path_(logPath), alarms_(alarms) {
    setWindowTitle(QStringLiteral("Vellicor pH history - %1").arg(QFileInfo(logPath).fileName()));
    resize(1000, 560);
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    plot_ = new HistoryPlot(this);
    plot_->setKh(alarms.kh);
    const auto button = [&](const QString& text, const QString& tip, auto action) {
        auto* b = new QPushButton(text, this);
        b->setToolTip(tip);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QPushButton::clicked, plot_, action);
        bar->addWidget(b);
    };
    button(QStringLiteral("&Hour"), QStringLiteral("The last hour"),
           [this] { plot_->showLast(3600); });
    button(QStringLiteral("&Day"), QStringLiteral("The last day"),
           [this] { plot_->showLast(86400); });
    button(QStringLiteral("&Week"), QStringLiteral("The last week"),
           [this] { plot_->showLast(7 * 86400); });
    button(QStringLiteral("&All"), QStringLiteral("The whole file"),
           [this] { plot_->showWhole(); });
    note_ = new QLabel(this);
    bar->addWidget(note_, 1);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 1000);
    progress_->setMaximumWidth(240);
    bar->addWidget(progress_);
    layout->addLayout(bar);
    layout->addWidget(plot_, 1);
    auto* hint = new QLabel(
        QStringLiteral("Wheel: zoom. Drag: zoom to a span. Right-drag or arrow keys: move. "
                       "Point at the curve for a line's values."),
        this);
    layout->addWidget(hint);

    watch_ = new QTimer(this);
    watch_->setInterval(WatchMilliseconds);
    connect(watch_, &QTimer::timeout, this, &HistoryWindow::checkFile);
    note_->setText(QStringLiteral("Reading %1 ...").arg(QFileInfo(logPath).fileName()));
    startReading();
}

HistoryWindow::~HistoryWindow() {
    cancel_ = true;
    if (worker_) worker_->wait();
    // What was read on as the file grew is kept for the next time.
    if (summary_ && !savedSince_) saveCached(*summary_);
}

void HistoryWindow::startReading() {
    // Copied on the worker: a year's summary is some 20 MB.
    std::shared_ptr<const Summary> shown = summary_;
    const auto report = [this](std::optional<Summary> s, QString error) {
        QMetaObject::invokeMethod(
            this,
            [this, s = std::move(s), error]() mutable {
                worker_->wait();
                worker_.reset();
                summaryRead(std::move(s), error);
                if (!marker_) return;
                plot_->setAlarmMarks(marker_->marks());
                emit alarmMarksShown();
            },
            Qt::QueuedConnection);
    };
    // The curves before the marks, which take a second reading of the whole file.
    const auto showEarly = [this](Summary s) {
        QMetaObject::invokeMethod(
            this, [this, s = std::move(s)]() mutable { summaryRead(std::move(s), QString()); },
            Qt::QueuedConnection);
    };
    worker_.reset(QThread::create([this, path = path_, shown = std::move(shown), report,
                                   showEarly]() mutable {
        int permilleShown = -1;
        const Progress progress = [&](qint64 done, qint64 total) {
            const int permille = total > 0 ? static_cast<int>(done * 1000 / total) : 0;
            if (permille == permilleShown) return;
            permilleShown = permille;
            QMetaObject::invokeMethod(progress_, "setValue", Qt::QueuedConnection,
                                      Q_ARG(int, permille));
        };
        QString error;
        if (shown && sameFileGrown(*shown)) {
            Summary grown = *shown;
            shown.reset();
            grown.modified = QFileInfo(path).lastModified().toMSecsSinceEpoch();
            if (!readFile(grown, {}, &cancel_) || (marker_ && !marker_->readOn(grown, &cancel_)))
                return report(std::nullopt, QString());
            return report(std::move(grown), QString());
        }
        shown.reset();
        auto s = loadSummary(path, progress, &cancel_, &error);
        if (!s) return report(std::nullopt, error);
        marker_.emplace(alarms_.settings, s->usualInterval());
        const Summary forMarks = *s;  // a year's is some 20 MB
        showEarly(std::move(*s));
        marker_->readOn(forMarks, &cancel_);
        report(std::nullopt, QString());
    }));
    worker_->start();
}

void HistoryWindow::summaryRead(std::optional<Summary> summary, QString error) {
    progress_->hide();
    watch_->start();
    if (!summary) {
        if (!error.isEmpty()) {
            note_->setText(error);
            emit readingFailed(error);
        }
        return;
    }
    savedSince_ = summary_ == nullptr;
    summary_ = std::make_shared<const Summary>(std::move(*summary));
    if (summary_->lines > 0) plot_->setSummary(summary_);
    QString note;
    if (summary_->lines == 0) note = QStringLiteral("No line of a pH log in this file yet.");
    if (summary_->unreadable > 0)
        note = summary_->unreadable == 1
                   ? QStringLiteral("1 line could not be read and was left out.")
                   : QStringLiteral("%1 lines could not be read and were left out.")
                         .arg(summary_->unreadable);
    note_->setText(note);
    emit summaryShown();
}

void HistoryWindow::checkFile() {
    if (worker_) return;
    const QFileInfo info(path_);
    if (!info.exists()) return;
    if (summary_ && info.size() == summary_->fileSize &&
        info.lastModified().toMSecsSinceEpoch() == summary_->modified)
        return;
    if (!summary_ || info.size() < summary_->readTo) progress_->show();
    startReading();
}

std::optional<QString> askLogFile(QWidget* parent) {
    const QString path = QFileDialog::getOpenFileName(
        parent, QStringLiteral("Vellicor pH history: open a log file"), QString(),
        QStringLiteral("Log files (*.txt *.log);;All files (*)"));
    if (path.isEmpty()) return std::nullopt;
    return path;
}

}  // namespace history
