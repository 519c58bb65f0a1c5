#include "WindowRegistry.h"

#include <algorithm>

namespace mainwindow {

void WindowRegistry::load(QWidget* window, bool discardOnClose) {
    if (discardOnClose) window->setAttribute(Qt::WA_DeleteOnClose);
    entries_.push_back({window, discardOnClose});
}

// Qt clears WA_DeleteOnClose the moment a close is accepted and deletes the window only
// later, so a window without it is already unloaded though the object still exists.
bool WindowRegistry::alive(const Entry& e) {
    return !e.window.isNull() &&
           (!e.discardOnClose || e.window->testAttribute(Qt::WA_DeleteOnClose));
}

void WindowRegistry::prune() const {
    std::erase_if(entries_, [](const Entry& e) { return !alive(e); });
}

int WindowRegistry::count() const {
    prune();
    return static_cast<int>(entries_.size());
}

QWidget* WindowRegistry::at(int index) const {
    prune();
    return entries_.at(static_cast<std::size_t>(index)).window;
}

bool WindowRegistry::isLoaded(const QWidget* window) const {
    prune();
    return window && std::any_of(entries_.begin(), entries_.end(),
                                 [&](const Entry& e) { return e.window == window; });
}

void WindowRegistry::unloadAll(const QWidget* closing) {
    int n = count();
    while (n > 0) {
        const std::size_t last = static_cast<std::size_t>(n - 1);
        const Entry entry = entries_[last];
        QWidget* window = entry.window;
        if (window != closing) {
            if (!window->close()) return;
            // Qt discards only windows that were visible when closed; a hidden one goes too.
            if (entry.discardOnClose && entry.window &&
                window->testAttribute(Qt::WA_DeleteOnClose)) {
                window->setAttribute(Qt::WA_DeleteOnClose, false);
                window->deleteLater();
            }
        }
        if (last < entries_.size() && entries_[last].window == window) {
            entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(last));
        }
        const int left = count();
        if (left == n) return;
        n = left;
    }
}

}  // namespace mainwindow
