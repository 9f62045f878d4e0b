#pragma once

// An advisory lock (flock) on a lock file in the data directory, held for
// the life of the object. The app and the daemon each take it around
// "read markers, sync, write markers" and around every read-modify-write of
// the settings file, so the two processes neither copy a message twice nor
// undo each other's settings writes. An import holds it from its first look
// at the root to its last rename (ImportLock), and so does the recovery of
// an interrupted import at a program's start (DeviceRootJournal).
//
// The lock is re-entrant within a process: a settings update made while the
// same process already holds the lock for its sync does not wait for itself.
// When the lock file cannot be created (no data directory, read-only
// directory) the work goes ahead unlocked; it will fail on its own terms.
class DataLock {
public:
    DataLock();
    ~DataLock();
    DataLock(const DataLock&) = delete;
    DataLock& operator=(const DataLock&) = delete;

    bool isLocked() const { return locked_; }

private:
    bool locked_ = false;
};
