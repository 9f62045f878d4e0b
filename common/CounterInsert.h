#pragma once

#include "platform/SqliteSavepoint.h"
#include "platform/SqliteStatement.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

class SqliteDatabase;
struct SmsRow;

// Stores the rows a sync copies into the counter database, many to an
// insert statement: one statement step per row would open and close the
// table's and every index's cursors for each row, which is most of what a
// first sync of a large sms.db costs beyond SQLite's own copy loop.
//
// Rows wait in a buffer (copied, as the reader's texts live only until it
// moves on) until flush(), which stores all of them or, on a failure, none.
// A message with more rows or bytes than a buffer should hold (a group send
// to thousands, a text of megabytes) is stored in parts inside a savepoint,
// so it too is stored whole or not at all.
class CounterInsert {
public:
    static constexpr std::size_t kRowsPerStatement = 64;
    static constexpr std::size_t kBytesPerFlush = 4 * 1024 * 1024;
    // Rows of one message buffered before some of them are stored.
    static constexpr std::size_t kRowsPerPart = 64 * kRowsPerStatement;

    // `keepsService`: the counter database has the type column (from 6.0).
    CounterInsert(SqliteDatabase& counter, bool keepsService) : counter_(counter), keepsService_(keepsService) {}

    // False when the insert cannot be prepared (the counter database lacks
    // the table or a column).
    bool prepare();

    // Buffers one row, with its segment count, under the ROWID of its message.
    void add(const SmsRow& row);
    // Enough waits to be worth a flush at the next message.
    bool full() const { return used_ >= kRowsPerStatement || bytes_ >= kBytesPerFlush; }
    // More waits than the buffer should hold, even inside a message.
    bool overflowing() const { return bytes_ >= kBytesPerFlush || used_ >= kRowsPerPart; }

    // At the end of a message: stores every row that waits (and the parts of
    // the message stored before), or none of them. False when a statement
    // failed (see SqliteDatabase::lastError); then nothing since the last
    // flush stays. The buffer is empty afterwards either way.
    bool flush();
    // After a failed flush(): the last message that was still stored whole,
    // row by row, before the row that failed; nothing when none was.
    std::optional<std::int64_t> salvagedThrough() const { return salvagedThrough_; }
    // Inside a message: stores what waits for now, under a savepoint that
    // the message's flush() releases.
    bool flushPart();
    // Gives up the message being read: what waits, and what flushPart()
    // stored since the last flush().
    void abandonMessage(std::int64_t rowid);

    // The newest date stored per direction so far; INT64_MIN for none.
    std::int64_t newestReceived() const { return newestReceived_; }
    std::int64_t newestSent() const { return newestSent_; }

private:
    struct Row {
        std::string address;
        std::string text;
        std::string type;
        bool hasText = false;
        bool hasType = false;  // type is empty otherwise
        std::int64_t date = 0;
        int flags = 0;
        int segments = 0;
        std::int64_t message = 0;

        std::size_t bytes() const { return address.size() + (hasText ? text.size() : 0) + type.size() + 32; }
    };

    SqliteStatement* statementFor(std::size_t rows);
    bool insert(std::size_t first, std::size_t count);
    bool insertWaiting();
    void salvage(std::size_t count);
    void noteRow(const Row& row);
    bool openPart();
    void rollBackPart();
    void noteDates();

    SqliteDatabase& counter_;
    bool keepsService_;
    std::map<std::size_t, SqliteStatement> statements_;  // by rows per statement
    std::vector<Row> rows_;                              // the first used_ are buffered
    std::size_t used_ = 0;
    std::size_t bytes_ = 0;
    // Holds the parts stored since the last flush(), while there are any.
    std::optional<SqliteSavepoint> part_;
    std::optional<std::int64_t> salvagedThrough_;
    // The newest dates of the rows stored since the last flush(), and of all.
    std::int64_t partReceived_ = INT64_MIN;
    std::int64_t partSent_ = INT64_MIN;
    std::int64_t newestReceived_ = INT64_MIN;
    std::int64_t newestSent_ = INT64_MIN;
};
