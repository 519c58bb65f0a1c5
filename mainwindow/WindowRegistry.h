#pragma once

#include <QPointer>
#include <QWidget>
#include <vector>

namespace mainwindow {

// The program's loaded windows in the order they were loaded, so that shutdown can unload
// the newest first and the main window last.
class WindowRegistry {
public:
    // Records a newly created window. A secondary window is discarded when closed, and the
    // next use creates it afresh.
    void load(QWidget* window, bool discardOnClose = true);

    int count() const;
    QWidget* at(int index) const;
    bool isLoaded(const QWidget* window) const;

    // Unloads newest first and stops at a window that refuses to close. A window already on
    // its way out (the one whose close started the shutdown) is passed as `closing` and
    // left to finish by itself.
    void unloadAll(const QWidget* closing = nullptr);

private:
    struct Entry {
        QPointer<QWidget> window;
        bool discardOnClose;
    };
    static bool alive(const Entry& e);
    void prune() const;

    mutable std::vector<Entry> entries_;
};

}  // namespace mainwindow
