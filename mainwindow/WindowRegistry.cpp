#include "WindowRegistry.h"

#include <QEvent>
#include <algorithm>

namespace mainwindow {

void WindowRegistry::load(QWidget* window, bool discardOnClose) {
    if (discardOnClose) window->installEventFilter(this);
    windows_.emplace_back(window);
}

// The window's own close handler decides first; only a close it accepted unloads it. The
// window is then discarded whether it was on screen or hidden.
bool WindowRegistry::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Close) return false;
    watched->event(event);
    if (event->isAccepted()) {
        std::erase(windows_, watched);
        watched->deleteLater();
    }
    return true;
}

void WindowRegistry::prune() const {
    std::erase_if(windows_, [](const QPointer<QWidget>& w) { return w.isNull(); });
}

int WindowRegistry::count() const {
    prune();
    return static_cast<int>(windows_.size());
}

QWidget* WindowRegistry::at(int index) const {
    prune();
    return windows_.at(static_cast<std::size_t>(index));
}

bool WindowRegistry::isLoaded(const QWidget* window) const {
    prune();
    return window && std::find(windows_.begin(), windows_.end(), window) != windows_.end();
}

void WindowRegistry::unloadAll(const QWidget* closing) {
    while (count() > 0) {
        QWidget* window = windows_.back();
        if (window != closing && !window->close()) return;
        // A discarded window has already left the list; the rest leave it here.
        if (!windows_.empty() && windows_.back() == window) windows_.pop_back();
    }
}

}  // namespace mainwindow
