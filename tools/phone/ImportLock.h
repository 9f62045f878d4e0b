#pragma once

#include "platform/DataLock.h"

#include <optional>
#include <string>
#include <vector>

// The device root's data lock (DataLock), held by an import from its first
// look at the root ("which phone does it hold?") to its last rename. Two
// imports then take turns, the second seeing what the first put in (and
// refusing another phone), and a sync never reads the markers before an
// import resets them and writes them back after.
//
// The lock file lives in the data directory, which a fresh root has not got
// yet, so the missing folders are made first. An import that does not go in
// takes them away again, the lock file first, before it lets go of the lock:
// whoever waited on that file sees it gone and starts afresh (DataLock
// checks the file it locked is still the one under the name). The order is
// the one recovery at start keeps: the data lock, then the root's own lock
// (DeviceRootJournal), never the other way round.
//
// Like DataLock, when the folders cannot be made or lead out of the root (a
// link), the import goes ahead unlocked and fails on its own terms.
class ImportLock {
public:
    ImportLock();
    ~ImportLock();
    ImportLock(const ImportLock&) = delete;
    ImportLock& operator=(const ImportLock&) = delete;

    bool isLocked() const { return lock_ && lock_->isLocked(); }
    // The import went in: the folders made for the lock stay.
    void keep() { kept_ = true; }

private:
    // Makes the data directory's missing folders, each recorded; false when
    // one cannot be made or the nearest existing one lies outside the root.
    bool makeDataDirectory();
    void removeWhatWasMade();

    std::vector<std::string> made_;  // outermost first
    std::optional<DataLock> lock_;
    bool kept_ = false;
};
