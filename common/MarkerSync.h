#pragma once

#include "common/SyncStatus.h"

// The sync as both programs run it: read the two markers from the settings
// file, copy what is new, store the new markers. All of it happens under the
// data lock, so a sync of the app and one of the daemon never interleave and
// no message is copied twice.
class MarkerSync {
public:
    struct Outcome {
        bool ran = false;                    // false: no readable settings file, nothing done
        SyncStatus status = SyncStatus::Ok;  // the copy's status when it ran
    };

    // Without a readable settings file the markers could not be stored, and
    // every later sync would start again from 0 and copy everything once
    // more; so then nothing is copied and nothing written.
    static Outcome syncWithStoredMarkers();

    // Sets both markers to 0 (after the counter database was cleared), so
    // the next sync copies everything sms.db still holds. False when the
    // settings file could not be read or written.
    static bool resetMarkers();

    struct ClearOutcome {
        bool cleared = false;  // false: nothing was deleted
        Outcome sync;          // the resync, when cleared
    };

    // Clear DB as one step under one hold of the data lock: the markers go to
    // 0, the rows (with the database's marker copy) are deleted, and
    // everything sms.db still holds is copied again. A sync of the other
    // process can therefore never fall between the delete and the resync
    // and have its messages copied a second time. The markers are reset
    // first: should the process die after that, the rows are still there and
    // the marker copy in the database keeps the next sync from repeating
    // them; should it die after the delete, the next sync starts from 0.
    static ClearOutcome clearAndResync();
};
