#include "RepaintPacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <utility>

namespace soak {

RepaintPacer::RepaintPacer(QWidget* window) : QObject(window), window_(window) {
    interval_.setSingleShot(true);
    interval_.setInterval(IntervalMs);
    connect(&interval_, &QTimer::timeout, this, &RepaintPacer::release);
    window->installEventFilter(this);
}

// Qt asks a window to repaint what changed with one update request, and asks no more until
// that one has been served; a held request therefore gathers every later change as well.
// Exposure and explicit repaints take other roads and are never held.
bool RepaintPacer::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_ || event->type() != QEvent::UpdateRequest || releasing_) return false;
    if (interval_.isActive()) {
        pending_ = true;
        return true;
    }
    interval_.start();
    return false;
}

void RepaintPacer::release() {
    if (!std::exchange(pending_, false)) return;
    interval_.start();
    QEvent request(QEvent::UpdateRequest);
    releasing_ = true;
    QCoreApplication::sendEvent(window_, &request);
    releasing_ = false;
}

}  // namespace soak
