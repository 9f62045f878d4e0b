#pragma once

#include <ctime>
#include <optional>
#include <set>
#include <string>

// What the quota alerts already said, kept in the data directory
// (quotaalerts.plist) so a restarted daemon does not repeat itself: the
// period the alerts belong to (by its start) and the thresholds already
// announced in it. A new period starts with none.
class QuotaAlertState {
public:
    QuotaAlertState() = default;
    QuotaAlertState(std::time_t periodStart, std::set<int> announced)
        : periodStart_(periodStart), announced_(std::move(announced)) {}

    // The state stored at `path`; an empty one when the file is missing or
    // unreadable.
    static QuotaAlertState load(const std::string& path);
    // Writes atomically; false when that failed.
    bool save(const std::string& path) const;

    // <data directory>/quotaalerts.plist
    static std::string defaultPath();

    // The thresholds announced for the period that starts at `periodStart`:
    // none when the stored ones belong to another period.
    std::set<int> announcedIn(std::time_t periodStart) const;

    std::optional<std::time_t> periodStart() const { return periodStart_; }
    const std::set<int>& announced() const { return announced_; }

private:
    std::optional<std::time_t> periodStart_;
    std::set<int> announced_;
};
