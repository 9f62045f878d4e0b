#include "common/MessageSources.h"

#include "common/PhoneProfile.h"
#include "common/SmsDatabaseSource.h"
#include "platform/DevicePaths.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

struct Registry {
    std::mutex mutex;
    std::vector<std::shared_ptr<const MessageSourceKind>> added;  // the latest last
};

Registry& registry() {
    static Registry shared;
    return shared;
}

std::unique_ptr<MessageSource> smsDatabase(const PhoneProfile& profile) {
    return std::make_unique<SmsDatabaseSource>(DevicePaths::smsDatabase(), profile.systemVersion());
}

// The version decides the family: before 6.0 the message table alone, from
// 6.0 the handle family, whose members the file's columns tell apart.
const std::shared_ptr<const MessageSourceKind>& builtIn(bool sixOrLater) {
    static const auto handleFamily = std::make_shared<const MessageSourceKind>(MessageSourceKind{
        "sms.db from 6.0", [](const PhoneProfile& profile) { return profile.isSixOrLater(); }, smsDatabase});
    static const auto oldFamily = std::make_shared<const MessageSourceKind>(MessageSourceKind{
        "sms.db before 6.0", [](const PhoneProfile& profile) { return !profile.isSixOrLater(); }, smsDatabase});
    return sixOrLater ? handleFamily : oldFamily;
}

}  // namespace

void MessageSources::add(MessageSourceKind kind) {
    auto shared = std::make_shared<const MessageSourceKind>(std::move(kind));
    std::lock_guard lock(registry().mutex);
    auto& added = registry().added;
    std::erase_if(added, [&](const auto& other) { return other->name == shared->name; });
    added.push_back(std::move(shared));
}

bool MessageSources::remove(const std::string& name) {
    std::lock_guard lock(registry().mutex);
    return std::erase_if(registry().added, [&](const auto& kind) { return kind->name == name; }) != 0;
}

std::shared_ptr<const MessageSourceKind> MessageSources::find(const PhoneProfile& profile) {
    std::vector<std::shared_ptr<const MessageSourceKind>> added;
    {
        std::lock_guard lock(registry().mutex);
        added = registry().added;
    }
    // A detector may read files; it runs outside the lock.
    for (auto kind = added.rbegin(); kind != added.rend(); ++kind)
        if ((*kind)->fits && (*kind)->fits(profile)) return *kind;
    return builtIn(profile.isSixOrLater());
}

bool MessageSources::isAdded(const MessageSourceKind& kind) {
    std::lock_guard lock(registry().mutex);
    const auto& added = registry().added;
    return std::any_of(added.begin(), added.end(), [&](const auto& other) { return other.get() == &kind; });
}
