#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <vector>

namespace mainwindow {

// The program's loaded windows in the order they were loaded, so that shutdown can unload
// the newest first and the main window last.
class WindowRegistry : public QObject {
public:
    // Records a newly created window. A secondary window is discarded when a close of it is
    // accepted, and the next use creates it afresh.
    void load(QWidget* window, bool discardOnClose = true);

    int count() const;
    QWidget* at(int index) const;
    bool isLoaded(const QWidget* window) const;

    // Unloads newest first and stops at a window that refuses to close. A window already on
    // its way out (the one whose close started the shutdown) is passed as `closing` and
    // left to finish by itself.
    void unloadAll(const QWidget* closing = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void prune() const;

    // A window deleted by anyone drops out by itself.
    mutable std::vector<QPointer<QWidget>> windows_;
};

}  // namespace mainwindow
