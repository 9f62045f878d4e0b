#include "daemon/SyncSchedule.h"

#include <algorithm>

void SyncSchedule::fold(std::optional<Slot>& slot, TimePoint now, TimePoint due, std::chrono::milliseconds longest) {
    if (!slot)
        slot = Slot{due, std::max(due, now + longest)};
    else
        slot->due = std::max(slot->due, due);
}

void SyncSchedule::notify(TimePoint now, std::chrono::milliseconds wait) {
    const TimePoint due = now + wait;
    if (!pending_ || due <= pending_->latest)
        fold(pending_, now, due, longest_);
    else
        // The sync behind has no bound of its own: it only collects while the
        // pending one waits, which is itself bounded.
        fold(behind_, now, due, longest_);
}

void SyncSchedule::start(TimePoint now) {
    pending_.reset();
    if (behind_ && behind_->due > now) pending_ = behind_;
    behind_.reset();
}
