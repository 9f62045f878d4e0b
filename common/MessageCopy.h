#pragma once

#include "common/PhoneProfile.h"

#include "common/SyncStatus.h"

#include <cstdint>
#include <vector>

// One sync: copies what is new in the phone's sms.db into the counter
// database, in one transaction with the mark of how far it got.
//
// Which messages are new is decided by the phone's own numbering. sms.db
// gives every message a ROWID that only grows, so the counter database
// keeps the last message the sync read (SourceMark) and the next sync reads
// the messages after it, whatever their dates. Before it trusts the mark it
// checks that the message under that ROWID is still the one it read; when it
// is not (a restored phone whose numbering went back, another phone's file),
// the file is read whole and each message is matched against the rows
// already counted, so none is lost and none counted twice. A counter
// database without a mark (fresh, cleared, or from before the mark) starts
// from the two date markers, as it always did, and has a mark from then on.
//
// The two date markers (newest date copied per direction, plus one) are
// still handed back for the settings file, where other readers look for them.
class MessageCopy {
public:
    // See CounterStore::copyRMessagesFrom. Into the counter database of
    // `profile`, from the message source it names.
    static SyncStatus run(const PhoneProfile& profile, std::int64_t rFrom, std::int64_t sFrom,
                          std::vector<std::int64_t>& returnValue);
    // The same for the phone under the device root now.
    static SyncStatus run(std::int64_t rFrom, std::int64_t sFrom, std::vector<std::int64_t>& returnValue);
};
