#pragma once

#include <chrono>
#include <optional>

// When the daemon syncs next. However many notifications arrive, it holds
// one pending sync with a due time (and at most one more behind it), so a
// flood of notifications costs neither memory nor a wait per notification.
//
// A notification at `now` that needs `wait` before the phone's files may be
// read is served by a sync that starts no earlier than now + wait. It folds
// into the pending sync, moving its due time later if need be, but never
// past `longest` after the pending sync's first notification: a steady
// stream cannot put the badge off for ever. One that would need the sync
// later than that goes to the sync behind it. Once a sync has started, what
// arrives during its work needs exactly one more sync after it.
class SyncSchedule {
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;

    explicit SyncSchedule(std::chrono::milliseconds longest) : longest_(longest) {}

    void notify(TimePoint now, std::chrono::milliseconds wait);
    bool pending() const { return pending_.has_value(); }
    // When the pending sync may start; only with pending().
    TimePoint due() const { return pending_->due; }
    // The pending sync starts at `now`: it covers every notification folded
    // into it, and those behind it whose wait is over by now (a sync that
    // starts late); the rest behind it make the next pending sync.
    void start(TimePoint now);
    // How many syncs are scheduled: 0, 1 or 2, whatever arrived.
    int scheduled() const { return (pending_ ? 1 : 0) + (behind_ ? 1 : 0); }

private:
    struct Slot {
        TimePoint due;
        TimePoint latest;  // the due time never moves past this
    };
    static void fold(std::optional<Slot>& slot, TimePoint now, TimePoint due, std::chrono::milliseconds longest);

    std::chrono::milliseconds longest_;
    std::optional<Slot> pending_;
    std::optional<Slot> behind_;
};
