#pragma once

#include "AppHarness.h"

#include <functional>
#include <vector>

// Every value the harness's app sets on its icon badge while this object
// lives, in the order set; setter() records for an app of its own.
class RecordedBadges {
public:
    explicit RecordedBadges(AppHarness& app) : app_(app) { app_.setBadgeSink(setter()); }
    ~RecordedBadges() { app_.setBadgeSink(nullptr); }
    RecordedBadges(const RecordedBadges&) = delete;
    RecordedBadges& operator=(const RecordedBadges&) = delete;

    std::function<void(int)> setter() {
        return [this](int value) { values.push_back(value); };
    }

    std::vector<int> values;

private:
    AppHarness& app_;
};
