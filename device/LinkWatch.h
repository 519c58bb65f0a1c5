#pragma once

#include <QDateTime>
#include <QString>
#include <deque>
#include <optional>

namespace device {

// The serial link as the user sees it.
enum class LinkState {
    Closed,    // never opened, or closed by Disconnect or Exit
    Opening,   // an opening asked for by the user is under way
    Open,      //
    Retrying,  // lost, or not there yet at start-up: trying again by itself
};

// One stretch without the link: from its loss (or a start-up before the port was there) to
// the moment the port opened again.
struct Outage {
    QDateTime lost;
    QDateTime back;  // null while the outage lasts
    int tries = 0;
    QString reason;          // why the link went
    QString tryError;        // why the latest try failed
    bool fromStart = false;  // the port was not there when the program started
};

// The story of a link that is kept open by itself: the outage under way, how often and when
// it is tried again, and the last outages for a user who comes back after a night away.
class LinkWatch {
public:
    static constexpr int FirstRetryMs = 1000;
    // Bluetooth pages a device for several seconds at every try; twice a minute finds a
    // regulator back in range soon enough without keeping the radio busy all night.
    static constexpr int RetryCapMs = 30000;
    static constexpr std::size_t KeptOutages = 10;

    // The wait before the next try when `triesSoFar` tries of this outage have failed:
    // doubling from the first delay up to the cap.
    static int retryDelayMs(int triesSoFar, int firstMs = FirstRetryMs, int capMs = RetryCapMs);

    void begin(const QDateTime& at, const QString& reason, bool fromStart = false);
    void failedTry(const QString& reason);
    void setNextTry(const QDateTime& at) { nextTry_ = at; }
    // The port opened again: the outage ends and joins the past ones.
    void restored(const QDateTime& at);
    // The reopened link fell again before a single byte came: it was never really back, so
    // the last outage goes on instead of a new one starting.
    void resume(const QString& reason);
    // Disconnect or Connect ends the watch; an outage under way is dropped unfinished.
    void stop();

    const std::optional<Outage>& current() const { return current_; }
    // Newest first.
    const std::deque<Outage>& past() const { return past_; }
    QDateTime nextTry() const { return nextTry_; }

private:
    std::optional<Outage> current_;
    std::deque<Outage> past_;
    QDateTime nextTry_;
};

// The link's state in the words a publisher uses: "connected", "lost" (just now, before the
// first try again), "trying again" or "disconnected".
QString linkStateName(LinkState state, const LinkWatch& watch);

}  // namespace device
