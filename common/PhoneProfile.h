#pragma once

#include "common/CountVariant.h"

#include <memory>
#include <string>
#include <vector>

class MessageSource;
struct MessageSourceKind;

// What kind of phone the device root holds, found for one operation (a sync,
// a count, a report): its system version, the counter database that version
// keeps, which rows of it count, and the kind of message source its messages
// are read from. The version decides, afresh for each operation: a profile is
// found again from SystemVersion.plist every time, so a phone updated (or a
// backup of another version imported) between two operations is read as
// what it is now. Nothing here is cached across operations.
class PhoneProfile {
public:
    // The phone under the device root now.
    static PhoneProfile find();
    // The phone under the device root now, as a phone of `systemVersion`.
    static PhoneProfile forVersion(std::string systemVersion);

    const std::string& systemVersion() const { return systemVersion_; }
    // 6.0 and later: the handle family of sms.db, ledgerwick6.db, and only
    // rows of the service "SMS" count.
    bool isSixOrLater() const { return sixOrLater_; }
    // The counter database's file name, as in the bundle, and its path.
    const char* counterDatabaseName() const;
    std::string counterDatabase() const;
    CountVariant countVariant() const;
    // Every counter database a device root may hold, of any version.
    static std::vector<std::string> allCounterDatabases();
    // The counter database keeps each message's service.
    bool counterKeepsService() const { return sixOrLater_; }

    // The kind of message source that fits the phone (MessageSources), found
    // on the first call and kept for the profile's operation.
    std::shared_ptr<const MessageSourceKind> sourceKind() const;
    // A source of that kind, not yet opened.
    std::unique_ptr<MessageSource> makeSource() const;

private:
    explicit PhoneProfile(std::string systemVersion);

    std::string systemVersion_;
    bool sixOrLater_ = false;
    mutable std::shared_ptr<const MessageSourceKind> sourceKind_;
};
