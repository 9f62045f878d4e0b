#pragma once

#include <string>
#include <string_view>
#include <vector>

// Data access of the counter store. Every operation opens the databases it
// needs, works, and closes them again before it returns; nothing stays open
// between calls. The system version is asked afresh each time: it picks the
// counter database (ledgerwick.db or ledgerwick6.db), the sms.db schema and
// the statement variants.
class SmsHelper {
public:
    // Sync statuses.
    static constexpr int kSyncOk = 0;
    static constexpr int kSyncCannotOpenSmsDatabase = 1;
    static constexpr int kSyncCannotOpenCounterDatabase = 2;
    static constexpr int kSyncCannotReadSmsDatabase = 3;
    static constexpr int kSyncCannotWriteCounterDatabase = 4;

    // Copies the received messages dated rFrom or later and the sent messages
    // dated sFrom or later from sms.db into the counter database, with their
    // segment counts, in one transaction. Appends two numbers to
    // `returnValue`: for each direction (received, then sent) the newest date
    // copied, or the marker minus one when nothing was copied or the copy
    // was abandoned. Callers store each value plus one as the next marker,
    // which leaves a marker exactly where it was unless something newer was
    // copied. Returns 0, or 1 to 4 when a database could not be opened or a
    // statement could not be prepared (nothing copied then).
    //
    // A failed insert, a read error part-way through sms.db or a failed
    // COMMIT rolls the whole copy back and hands the markers back unchanged,
    // so the next sync tries the same messages again; the status is still 0.
    static int copyRMessagesFrom(int rFrom, int sFrom, std::vector<int>& returnValue);

    // Deletes one row of the counter database; true when the statement ran
    // to completion.
    static bool deleteRow(long long rowid);
    // Deletes every row of the counter database; sms.db is untouched.
    static bool clearDB();

    static bool isNormalSMS(std::u16string_view text);

private:
    static bool runMaintenance(const std::string& sql, long long rowid, bool bindRowid);
};
