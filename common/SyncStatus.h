#pragma once

// How a sync ended. The numbers are the ones the app shows the user after
// "error code", so they stay fixed.
enum class SyncStatus {
    Ok = 0,  // also when nothing was new, or the COMMIT failed
    CannotOpenSmsDatabase = 1,
    CannotOpenCounterDatabase = 2,
    CannotReadSmsDatabase = 3,       // sms.db is of none of the known layouts
    CannotWriteCounterDatabase = 4,  // the counter database lacks the table or a column
};

constexpr int codeOf(SyncStatus status) { return static_cast<int>(status); }
