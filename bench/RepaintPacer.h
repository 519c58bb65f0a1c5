#pragma once

#include <QObject>
#include <QTimer>

class QWidget;

namespace soak {

// Lets a window's changes reach the screen at most once per interval, for the floor program,
// which shows each frame as it comes (the program takes its frames in batches at this pace
// and needs none). Every change is still made when it comes (texts set, pictures drawn); only
// the window's repaint and its copy to the screen wait, so a run of frames costs one repaint
// showing the latest of them. The first change after a quiet interval goes out at once; a
// held one at most one interval later.
class RepaintPacer final : public QObject {
public:
    // Ten pictures a second, the text log's own refresh: more than anyone reads off a number,
    // and the device's usual pace is far slower, so its frames go out at once.
    static constexpr int IntervalMs = 100;

    // Paces the top-level window it is made for, and lives as long as that window.
    explicit RepaintPacer(QWidget* window);

    // A repaint waits for the interval to end.
    bool holding() const { return pending_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void release();

    QWidget* const window_;
    QTimer interval_;
    bool pending_ = false;
    bool releasing_ = false;
};

}  // namespace soak
