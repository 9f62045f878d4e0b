#include "platform/ui/ShownForTesting.h"

std::optional<int> ShownForTesting::recordShown(const QString& title, const QString& message) {
    lastTitle_ = title;
    lastMessage_ = message;
    ++shown_;
    return presetAnswer_;
}

void ShownForTesting::resetShown() {
    lastTitle_.clear();
    lastMessage_.clear();
    shown_ = 0;
}
