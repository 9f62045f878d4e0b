#pragma once

#include "platform/AddressBookContact.h"
#include "platform/FileIdentity.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class ContactIndex;

// The phone's address book, read from its own SQLite file and never written.
// A load takes a snapshot of every contact and indexes their numbers; lookups
// answer from that snapshot and remember their answers until the next load.
// A file that is missing, unreadable, locked or not an address book reads as
// an empty book, and a failed load is tried again on the next refresh.
class AddressBook {
public:
    // The process-wide book for the current device root. Its path is looked
    // up afresh by refreshIfChanged(), so a changed BRINDLEX_DEVICE_ROOT is
    // followed.
    static AddressBook& shared();
    // A book over an explicit file and region (tests, benchmarks).
    AddressBook(std::string path, std::string defaultRegion);
    ~AddressBook();

    AddressBook(const AddressBook&) = delete;
    AddressBook& operator=(const AddressBook&) = delete;

    // Reloads when the file (or, for shared(), its path) changed since the
    // last load, or when the last load failed. Costs a stat or two when
    // nothing changed, so callers call it once at the start of an operation.
    void refreshIfChanged();

    // The contact whose phone numbers match `number`, or nothing. Answers are
    // remembered per address string until the next reload.
    ContactRef findPersonMatchingPhoneNumber(const std::string& number);
    ContactRef personWithRecordID(int recordID);
    // Every contact, by last name (or, without one, first name, then
    // organisation), then first name, then record identifier; letters
    // compare without regard to case.
    std::vector<ContactRef> allPeopleSortedLastNameFirst();
    int personCount();

    // The region assumed for numbers without a country code: the territory of
    // the first of LC_ALL, LC_MESSAGES and LANG that names one
    // ("de_DE.UTF-8" gives "DE"), or "US" when none does.
    static std::string defaultRegionFromLocale();

    // How long a load waits for a writer's lock before giving up until the
    // next refresh: counting must not stall behind the contacts editor.
    static constexpr int kBusyTimeoutMs = 200;

private:
    struct FollowDeviceRoot {};
    explicit AddressBook(FollowDeviceRoot);

    // The database and its write-ahead log: a committed change can sit in the
    // log without touching the database file.
    struct FileState {
        std::string path;
        FileIdentity database;
        FileIdentity log;
        bool operator==(const FileState&) const = default;
        bool isRecent(std::chrono::system_clock::time_point now) const;
    };
    FileState currentFileState() const;

    void refreshLocked();
    void loadOnFirstUse();
    void load(FileState state);

    const bool followsDeviceRoot_;
    const std::string explicitPath_;
    const std::string defaultRegion_;

    std::mutex mutex_;
    std::unique_ptr<const ContactIndex> index_;  // never null
    std::optional<FileState> loadedState_;       // nothing before the first load
    // Set when the last load failed or read a file too freshly modified for
    // its identity to reveal a change that follows: the next refresh reloads.
    bool reloadPending_ = false;
    std::unordered_map<std::string, ContactRef> matches_;
};
