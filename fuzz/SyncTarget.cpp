// The sync from a mutated sms.db into a fresh counter database. Built once
// per layout (BRINDLEX_FUZZ_SYSTEM_VERSION picks the phone: 5.1.1 for the
// schema before 6.0, 6.1.3 for iOS 6, 17.1 for a phone of today); the input is
// the whole sms.db file. Whatever the file holds, every stored row has an
// address, a direction of 2 or 3 and the segment count of its own body, and
// the markers handed back never run behind the ones passed in.

#include "common/PhoneProfile.h"
#include "common/Seeding.h"
#include "common/SegmentCounter.h"
#include "common/CounterStore.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/ScratchDeviceRoot.h"
#include "platform/DevicePaths.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"
#include "platform/SystemVersion.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string pristineCounter;

void freshCounterDatabase() {
    const std::string path = PhoneProfile::find().counterDatabase();
    std::error_code ignored;
    for (const char* sidecar : {"-wal", "-shm", "-journal"}) fs::remove(path + sidecar, ignored);
    fs::copy_file(pristineCounter, path, fs::copy_options::overwrite_existing, ignored);
    FUZZ_CHECK(!ignored, "a fresh counter database");
}

void checkStoredRows() {
    SqliteDatabase counter;
    SqliteStatement rows;
    FUZZ_CHECK(counter.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadOnly),
               "the counter database opens");
    FUZZ_CHECK(rows.prepare(counter, "SELECT address, flags, text, smscount FROM message"), "its rows can be read");
    while (rows.step() == SqliteStatement::Step::Row) {
        int addressBytes = 0;
        const char* address = rows.columnText(0, &addressBytes);
        FUZZ_CHECK(address != nullptr && addressBytes > 0, "no row without an address");
        const auto flags = rows.columnInt(1);
        FUZZ_CHECK(flags == 2 || flags == 3, "the direction is 2 or 3");
        int textBytes = 0;
        const char* text = rows.columnIsNull(2) ? nullptr : rows.columnText(2, &textBytes);
        FUZZ_CHECK(rows.columnInt(3) == SegmentCounter::segmentsForUtf8(text, static_cast<std::size_t>(textBytes)),
                   "the stored segment count is the body's");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const std::string& root = ScratchDeviceRoot::instance(BRINDLEX_FUZZ_SYSTEM_VERSION);
    Seeding::copyIfNeeded();
    pristineCounter = root + "/pristine-counter.db";
    std::error_code failure;
    fs::copy_file(PhoneProfile::find().counterDatabase(), pristineCounter, fs::copy_options::overwrite_existing,
                  failure);
    FUZZ_CHECK(!failure, "the bundle's seed is in place (build brindlex_bundle)");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ScratchDeviceRoot::writeFile(DevicePaths::smsDatabase(), data, size);
    freshCounterDatabase();
    std::vector<std::int64_t> markers;
    CounterStore::forCurrentPhone().copyRMessagesFrom(0, 0, markers);
    FUZZ_CHECK(markers.size() == 2, "two markers come back");
    FUZZ_CHECK(markers[0] >= -1 && markers[1] >= -1, "no marker runs behind the one passed in");
    checkStoredRows();
    return 0;
}
