#pragma once

// The sync as both programs run it: read the two markers from the settings
// file, copy what is new, store the new markers. All of it happens under the
// data lock, so a sync of the app and one of the daemon never interleave and
// no message is copied twice.
class MarkerSync {
public:
    struct Outcome {
        bool ran = false;  // false: no readable settings file, nothing done
        int status = 0;    // the copy's status when it ran
    };

    // Without a readable settings file the markers could not be stored, and
    // every later sync would start again from 0 and copy everything once
    // more; so then nothing is copied and nothing written.
    static Outcome syncWithStoredMarkers();

    // Sets both markers to 0 (after the counter database was cleared), so
    // the next sync copies everything sms.db still holds. False when the
    // settings file could not be read or written.
    static bool resetMarkers();
};
