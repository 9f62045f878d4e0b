#pragma once

#include "common/Direction.h"
#include "common/SourcePosition.h"
#include "common/SyncStatus.h"

#include <climits>
#include <cstdint>
#include <optional>
#include <string>

// One message as the counter database stores it. The pointers stay valid
// until the source moves on.
struct SmsRow {
    const char* address = nullptr;  // never null or empty
    int addressBytes = 0;
    std::int64_t date = 0;       // Unix seconds
    const char* text = nullptr;  // null for a NULL body
    int textBytes = 0;
    Direction flags = Direction::Received;
    const char* type = nullptr;  // the service name; null when unknown or not kept by the phone
    int typeBytes = 0;
    std::int64_t rowid = 0;  // the message's number in its source (a group send gives several rows of one)
};

// Where a read starts: after a ROWID, and, for a counter database that has
// no mark yet, also from two date markers (per direction, Unix seconds).
struct ReadFrom {
    std::int64_t afterRowid = INT64_MIN;       // every message
    std::optional<std::int64_t> receivedFrom;  // both or neither
    std::optional<std::int64_t> sentFrom;
};

// Where a sync reads a phone's messages from. A source numbers its messages
// the way sms.db does: a ROWID that only grows, several rows of one message
// (a group send) under one ROWID, and a position (SourcePosition) that names
// a message again after the file was replaced. The sync copies what the
// source hands out and keeps the mark of how far it got; everything else
// about the phone's files stays behind this interface.
class MessageSource {
public:
    enum class Next { Row, Done, Error };

    virtual ~MessageSource() = default;

    // What the messages call the source ("sms.db"), and where it is.
    virtual std::string name() const = 0;
    virtual std::string location() const = 0;

    // Opens the source's files: Ok, or CannotOpenSmsDatabase after writing
    // why to the log.
    virtual SyncStatus open() = 0;
    // Begins the one read that everything below sees, so the check of the
    // mark, the rows and the newest message all see the source at one
    // moment: Ok, or CannotReadSmsDatabase after writing why to the log.
    virtual SyncStatus beginRead() = 0;
    // Ends that read.
    virtual void endRead() = 0;

    // Starts reading from `from`, from the beginning again when called
    // again; false when the read cannot start.
    virtual bool start(const ReadFrom& from) = 0;
    // The next row to copy. Rows that cannot be copied (no address, no
    // direction, no date) are passed over; Error when the source could not
    // be read further.
    virtual Next next(SmsRow& row) = 0;
    // The ROWID of the last message every row of which has been handed out
    // or passed over; nothing before the first.
    virtual std::optional<std::int64_t> lastComplete() const = 0;
    // Rows passed over for want of a date, so far.
    virtual long long undatedRows() const = 0;
    // Why the read stopped at an Error.
    virtual std::string readError() const = 0;

    // The message now stored under `rowid`; nothing when there is none.
    virtual std::optional<SourcePosition> positionAt(std::int64_t rowid) const = 0;
    // The message with the highest ROWID; nothing when there is none.
    virtual std::optional<SourcePosition> newestPosition() const = 0;
    // The highest ROWID the phone ever gave a message (deleting messages
    // does not lower it).
    virtual std::int64_t highestRowidEverUsed() const = 0;
    // The highest ROWID below `rowid` that the source holds, whether or not
    // it is a text message.
    virtual std::optional<std::int64_t> newestRowidBelow(std::int64_t rowid) const = 0;
};
