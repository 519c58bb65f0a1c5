#pragma once

#include <QPointer>
#include <QString>
#include <array>

class QMessageBox;
class QWidget;

namespace mainwindow {

// The kinds of failure the user is told about.
enum class MessageKind {
    ConnectFailed,
    LinkLost,
    LogFileCreate,
    LogFileWrite,
    MqttRefused,
    AlarmRaised,  // where the desktop has no tray to notify through
    AlarmCommandFailed
};

// One non-modal message window per kind of failure. A failure that comes again updates its
// window in place with the newest reason and how often it happened since the window was last
// closed, so a night of a flaky link leaves one window instead of a stack of them.
class MessageWindows {
public:
    explicit MessageWindows(QWidget* parent) : parent_(parent) {}
    ~MessageWindows();
    MessageWindows(const MessageWindows&) = delete;
    MessageWindows& operator=(const MessageWindows&) = delete;

    void report(MessageKind kind, const QString& reason);
    // Brings the kind's window, if it is open, up to date with a newer telling of the same
    // failure; it is not counted again.
    void update(MessageKind kind, const QString& reason);
    // The kind's window while it is open, otherwise null.
    QMessageBox* window(MessageKind kind) const;

private:
    void setText(MessageKind kind, const QString& reason);

    struct Entry {
        QPointer<QMessageBox> box;
        int count = 0;
    };
    static constexpr std::size_t KindCount = 7;

    QWidget* parent_;
    std::array<Entry, KindCount> entries_;
};

}  // namespace mainwindow
