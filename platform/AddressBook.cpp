#include "platform/AddressBook.h"

#include "platform/AddressBookReader.h"
#include "platform/ContactIndex.h"
#include "platform/DevicePaths.h"

#include <phonenumbers/phonenumberutil.h>

#include <cstdlib>
#include <string_view>
#include <utility>

namespace {

constexpr const char* kFallbackRegion = "US";

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool isKnownRegion(const std::string& region) {
    try {
        return i18n::phonenumbers::PhoneNumberUtil::GetInstance()->GetCountryCodeForRegion(region) != 0;
    } catch (...) {
        return false;
    }
}

// The territory of a locale name language[_territory][.codeset][@modifier],
// when it is one the number parser knows.
std::optional<std::string> territoryOf(const char* locale) {
    if (!locale) return std::nullopt;
    const std::string_view name(locale);
    const std::size_t underscore = name.find('_');
    if (underscore == std::string_view::npos) return std::nullopt;
    std::string_view territory = name.substr(underscore + 1);
    territory = territory.substr(0, territory.find_first_of(".@"));
    if (territory.size() != 2 || !isAsciiLetter(territory[0]) || !isAsciiLetter(territory[1])) return std::nullopt;
    std::string region{asciiUpper(territory[0]), asciiUpper(territory[1])};
    if (!isKnownRegion(region)) return std::nullopt;
    return region;
}

}  // namespace

AddressBook& AddressBook::shared() {
    static AddressBook book{FollowDeviceRoot{}};
    return book;
}

AddressBook::AddressBook(std::string path, std::string defaultRegion)
    : followsDeviceRoot_(false), explicitPath_(std::move(path)), defaultRegion_(std::move(defaultRegion)),
      index_(std::make_unique<const ContactIndex>()) {}

AddressBook::AddressBook(FollowDeviceRoot)
    : followsDeviceRoot_(true), defaultRegion_(defaultRegionFromLocale()),
      index_(std::make_unique<const ContactIndex>()) {}

AddressBook::~AddressBook() = default;

std::string AddressBook::defaultRegionFromLocale() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (auto region = territoryOf(std::getenv(variable))) return *region;
    return kFallbackRegion;
}

void AddressBook::refreshIfChanged() {
    std::lock_guard lock(mutex_);
    FileState state = currentFileState();
    if (loadedState_ == state && !reloadPending_) return;
    load(std::move(state));
}

ContactRef AddressBook::findPersonMatchingPhoneNumber(const std::string& number) {
    std::lock_guard lock(mutex_);
    loadOnFirstUse();
    auto [entry, isNew] = matches_.try_emplace(number);
    if (isNew) entry->second = index_->match(number);
    return entry->second;
}

ContactRef AddressBook::personWithRecordID(int recordID) {
    std::lock_guard lock(mutex_);
    loadOnFirstUse();
    return index_->withRecordID(recordID);
}

std::vector<ContactRef> AddressBook::allPeopleSortedLastNameFirst() {
    std::lock_guard lock(mutex_);
    loadOnFirstUse();
    return index_->sortedLastNameFirst();
}

int AddressBook::personCount() {
    std::lock_guard lock(mutex_);
    loadOnFirstUse();
    return index_->size();
}

bool AddressBook::FileState::isRecent(std::chrono::system_clock::time_point now) const {
    return database.isRecent(now) || log.isRecent(now);
}

AddressBook::FileState AddressBook::currentFileState() const {
    FileState state;
    state.path = followsDeviceRoot_ ? DevicePaths::addressBook() : explicitPath_;
    state.database = FileIdentity::of(state.path);
    state.log = FileIdentity::of(state.path + "-wal");
    return state;
}

// A caller that never refreshed still gets the book as it is now rather than
// an empty one.
void AddressBook::loadOnFirstUse() {
    if (!loadedState_) load(currentFileState());
}

void AddressBook::load(FileState state) {
    const auto startedAt = std::chrono::system_clock::now();
    AddressBookReader::Result result;
    // A missing book is an empty one, and stays so without further reads
    // until the file appears.
    if (state.database.exists())
        result = AddressBookReader::read(state.path, kBusyTimeoutMs);
    else
        result.outcome = AddressBookReader::Outcome::Loaded;
    const bool loaded = result.outcome == AddressBookReader::Outcome::Loaded;
    const bool samePath = loadedState_ && loadedState_->path == state.path;
    reloadPending_ = !loaded || state.isRecent(startedAt);
    loadedState_ = std::move(state);
    // A lock held by the contacts editor is passing: the contacts read before
    // it are closer to the truth than none, until the retry on the next refresh.
    if (result.outcome == AddressBookReader::Outcome::Busy && samePath) return;
    index_ = loaded ? std::make_unique<const ContactIndex>(std::move(result.contacts), defaultRegion_)
                    : std::make_unique<const ContactIndex>();
    matches_.clear();
}
