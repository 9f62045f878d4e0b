#pragma once

#include "platform/DeviceRootJournal.h"

#include <functional>
#include <optional>
#include <sys/types.h>
#include <string>
#include <vector>

// Changes several files of the device root so that a reader sees each file
// either as it was or as it will be, never half written, and so that a
// failure anywhere, a stop request or a kill leaves the root as it was.
//
// New contents are staged first: written into the root's staging folder and
// flushed to disk. Commit then writes the journal (DeviceRootJournal) and
// renames each into place (an atomic replacement that a program holding the
// old file open does not notice), keeping a second name in the staging
// folder for every file it replaces; should a later rename fail, those are
// renamed back. Whatever is not committed when the object goes is undone,
// and the staging folder goes in every case. An import killed outright is
// finished or undone from the journal by the next program that starts.
//
// Paths are given under the root as named (DevicePaths gives them so) and
// used under the root with its links resolved; every one must lie inside it,
// so a link planted in the root cannot make the commit write elsewhere.
class DeviceRootTransaction {
public:
    // `stopRequested`, asked between chunks of a copy and between renames,
    // cancels the transaction when it returns true.
    explicit DeviceRootTransaction(std::string root, std::function<bool()> stopRequested = {});
    ~DeviceRootTransaction();
    DeviceRootTransaction(const DeviceRootTransaction&) = delete;
    DeviceRootTransaction& operator=(const DeviceRootTransaction&) = delete;

    static constexpr const char* kStopped = "interrupted";

    // Creates the root when missing and locks it, finishing or undoing an
    // import left over in it; false when it cannot be made or is no folder.
    bool begin(std::string* error);
    // Creates `directory` and its missing parents inside the root.
    bool makeDirectories(const std::string& directory, std::string* error);
    // Stages a copy of the regular file `source` as the new `target`; the
    // holes of a sparse source stay holes in the copy.
    bool stageCopy(const std::string& source, const std::string& target, std::string* error);
    // Stages the file `source`, which lies in the root (on the staging
    // folder's file system), as the new `target` by renaming it into the
    // staging folder: a file this process wrote for the import alone (a
    // decrypted copy) is not written a second time. From then on it is the
    // transaction's: it goes with the staging folder unless committed.
    bool stageMove(const std::string& source, const std::string& target, std::string* error);
    // Stages `bytes` as the new `target`.
    bool stageContents(const std::string& bytes, const std::string& target, std::string* error);
    // On commit, `target` (when there is one) goes; with `keepAs` set it is
    // moved there and stays, else it is deleted once the commit succeeded.
    bool stageRemoval(const std::string& target, const std::string& keepAs, std::string* error);
    // Where the staged new contents of `target` lie until the commit: the
    // new files of one folder keep their names relative to each other there,
    // so a staged database finds its staged -wal beside it.
    std::string stagedPath(const std::string& target) const;

    // Puts every staged change in place, in the order staged; false, with
    // every change undone, when one fails or a stop was requested.
    bool commit(std::string* error);

    const std::string& root() const { return root_; }

private:
    using Step = DeviceRootJournal::Step;

    // `path` under the resolved root.
    std::string place(const std::string& path) const;
    bool insideRoot(const std::string& path, std::string* error) const;
    std::string savedName(const char* purpose);
    bool stopped(std::string* error) const;
    bool copyFile(int from, int to) const;
    // Bytes `start` to `end` (-1: to the end of the file) at the same offsets.
    bool copyRange(int from, int to, off_t start, off_t end) const;
    bool apply(Step& step, std::string* error);
    void rollback();

    std::string givenRoot_;
    std::string root_;  // canonical once begun
    std::function<bool()> stopRequested_;
    std::optional<DeviceRootJournal> journal_;
    DeviceRootJournal::Phase phase_ = DeviceRootJournal::Phase::Staging;
    std::vector<Step> steps_;
    std::vector<std::string> createdRootFolders_;  // the root's own, outermost first
    bool stagingMade_ = false;
    bool committed_ = false;
    unsigned serial_ = 0;
};
