#pragma once

#include <string>
#include <vector>

// What an import into the device root is doing, kept in the root itself so
// that an import cut short (killed, a crash, the power gone) is finished or
// rolled back by the next program that starts, before that program reads
// anything there.
//
// Everything temporary of an import lives in one folder of the root, the
// staging folder: the new files until they are renamed into place, second
// names of the files they replace, and the journal. The journal lists the
// folders the import creates (written before each is made) and, before the
// first rename, every rename it is about to make; it says which phase the
// import is in:
//
//   Staging   nothing is renamed yet: the folders it made go, the rest of
//             the staging folder with them.
//   Renaming  some renames may have happened: each is undone (a file whose
//             new contents still lie in the staging folder was not renamed),
//             last first, then the folders go.
//   Done      every rename happened: only the staging folder goes.
//
// Every step of the undo looks at what is on disk before it acts, so an
// undo that is itself cut short is simply run again. The journal is removed
// first when the staging folder goes, so a half-removed folder without one
// is leftover files and nothing more.
//
// The root is locked (flock on its folder) while an import runs and while a
// program recovers one, so a starting program never rolls back an import
// that is still running: it waits for it.
class DeviceRootJournal {
public:
    static constexpr const char* kStagingFolderName = ".brindlex-import";
    static constexpr const char* kJournalName = "journal";

    enum class Phase { Staging, Renaming, Done };
    enum class Kind { Directory, Replace, Move };

    // Paths are absolute, inside the root.
    struct Step {
        Kind kind = Kind::Replace;
        std::string target;    // the folder made, or the file replaced or moved
        std::string staged;    // Replace: the new contents in the staging folder
        std::string saved;     // Replace: a second name of the old file; Move: where it goes
        bool existed = false;  // Replace and Move: the target was there when renaming began
    };

    enum class Recovery { Nothing, RolledBack, Finished, Failed };

    // Locks the root `root` (canonical, existing), waiting for an import that
    // holds it; locked() is false when the root cannot be opened.
    explicit DeviceRootJournal(std::string root);
    ~DeviceRootJournal();
    DeviceRootJournal(const DeviceRootJournal&) = delete;
    DeviceRootJournal& operator=(const DeviceRootJournal&) = delete;

    bool locked() const { return lockFd_ >= 0; }
    const std::string& root() const { return root_; }
    std::string stagingFolder() const;

    // Recovers a leftover import, then makes an empty staging folder.
    bool open(std::string* error);
    // Replaces the journal, durably, by `phase` and `steps`.
    bool record(Phase phase, const std::vector<Step>& steps, std::string* error);
    // Undoes whatever of `steps` happened in `phase`, last first.
    static void rollBack(Phase phase, const std::vector<Step>& steps);
    // Removes the staging folder, the journal first.
    void discard();
    // Finishes or rolls back the import the staging folder holds, if any.
    Recovery recover(std::string* error);

    // For the start of every program: recovers the device root DevicePaths
    // names and says so in one line on standard error when there was an
    // import to finish or roll back.
    static Recovery recoverAtStart();

private:
    std::string journalFile() const;
    std::string serialize(Phase phase, const std::vector<Step>& steps) const;
    bool parse(const std::string& text, Phase& phase, std::vector<Step>& steps) const;
    // `path` relative to the root; empty when it is not inside it.
    std::string relative(const std::string& path) const;
    // The absolute path of a relative one read back; empty when it climbs out.
    std::string absolute(const std::string& path) const;

    std::string root_;
    int lockFd_ = -1;
};
