#pragma once

// Puts the bundle's seeds in place when the data directory lacks them: the
// counter database of the current system version and the settings file. An
// existing file is never replaced, so a phone upgraded to 6.0 starts a new
// ledgerwick6.db and keeps the old ledgerwick.db beside it. The data
// directory itself is not created (installation does that); without it the
// copies simply fail, and failures are not reported.
class Seeding {
public:
    static void copyIfNeeded();

    // Copies `source` to `target` unless `target` exists. The copy is made
    // under a temporary name and linked into place, so an interrupted copy
    // never leaves a partial file that would block a later seeding, and two
    // processes seeding at once cannot overwrite each other.
    static bool copyFileIfMissing(const char* source, const char* target);
};
