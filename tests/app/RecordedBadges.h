#pragma once

#include "app/shell/RootViewController.h"

#include <vector>

// Every value the app sets on its icon badge while this object lives, in
// the order set.
class RecordedBadges {
public:
    RecordedBadges() {
        RootViewController::setIconBadgeForTesting([this](int value) { values.push_back(value); });
    }
    ~RecordedBadges() { RootViewController::setIconBadgeForTesting(nullptr); }
    RecordedBadges(const RecordedBadges&) = delete;
    RecordedBadges& operator=(const RecordedBadges&) = delete;

    std::vector<int> values;
};
