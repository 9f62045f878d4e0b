#include "tools/ledger/LedgerSync.h"
#include "platform/ProgramLog.h"

#include "common/MarkerSync.h"
#include "common/PhoneProfile.h"
#include "common/Seeding.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"
#include "platform/DevicePaths.h"
#include "platform/TerminalText.h"
#include "platform/cli/CommandLine.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

void printTotals(const SqliteDatabase& db, CountVariant variant) {
    const std::string sql = std::string("select flags, count(*), coalesce(sum(smscount), 0) from message ") +
                            (variant == CountVariant::SmsServiceOnly ? "where type = 'SMS' " : "") +
                            "group by flags order by flags";
    SqliteStatement totals;
    if (!totals.prepare(db, sql)) return;
    while (totals.step() == SqliteStatement::Step::Row) {
        const char* direction = totals.columnInt(0) == 2 ? "received" : "sent";
        std::printf("  %-9s %7lld messages %7lld segments\n", direction, static_cast<long long>(totals.columnInt(1)),
                    static_cast<long long>(totals.columnInt(2)));
    }
}

void printMonths(const SqliteDatabase& db, CountVariant variant) {
    const std::string sql = std::string(
                                "select strftime('%Y-%m', date, 'unixepoch', 'localtime') as month, "
                                "sum(case when flags = 2 then smscount else 0 end), "
                                "sum(case when flags = 3 then smscount else 0 end) from message ") +
                            (variant == CountVariant::SmsServiceOnly ? "where type = 'SMS' " : "") +
                            "group by month order by month";
    SqliteStatement months;
    if (!months.prepare(db, sql)) return;
    std::printf("  %-8s %9s %9s\n", "month", "received", "sent");
    while (months.step() == SqliteStatement::Step::Row)
        std::printf("  %-8s %9lld %9lld\n", TerminalText::safe(months.columnString(0)).c_str(),
                    static_cast<long long>(months.columnInt(1)), static_cast<long long>(months.columnInt(2)));
}

}  // namespace

std::string LedgerSync::noPhoneData() {
    return "no phone data at " + DevicePaths::root() +
           " yet: import a backup of your iPhone with 'brindlex-ledger import-backup FOLDER'";
}

int LedgerSync::run() {
    std::error_code missing;
    if (!std::filesystem::is_directory(DevicePaths::root(), missing)) return CommandLine::fail(noPhoneData());
    Seeding::copyIfNeeded();
    const MarkerSync::Outcome outcome = MarkerSync::syncWithStoredMarkers();
    if (!outcome.ran) {
        return CommandLine::fail("no settings file in " + DevicePaths::dataDirectory() + "; nothing synced");
    }
    if (outcome.status != SyncStatus::Ok) ProgramLog::print("sync failed with error code %d\n", codeOf(outcome.status));

    const PhoneProfile profile = PhoneProfile::find();
    const std::string path = profile.counterDatabase();
    SqliteDatabase db;
    if (!db.open(path, SqliteDatabase::Mode::ReadOnly)) {
        return CommandLine::fail("cannot open " + path);
    }
    std::printf("Counter database %s (system version %s)\n", TerminalText::safe(path).c_str(),
                TerminalText::safe(profile.systemVersion()).c_str());
    printTotals(db, profile.countVariant());
    printMonths(db, profile.countVariant());
    return outcome.status == SyncStatus::Ok ? 0 : 1;
}
