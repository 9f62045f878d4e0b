#pragma once

#include <string>
#include <vector>

// Changes several files of the device root so that a reader sees each file
// either as it was or as it will be, never half written, and so that a
// failure anywhere leaves the root as it was.
//
// New contents are staged first: written to a temporary file beside the
// target and flushed to disk. Commit then renames each into place (an atomic
// replacement that a program holding the old file open does not notice),
// keeping a hard link to every file it replaces; should a later rename fail,
// those links are renamed back. Whatever is not committed when the object
// goes is undone: staged files are deleted and the folders it created are
// removed again.
//
// Paths are given under the root as named (DevicePaths gives them so) and
// used under the root with its links resolved; every one must lie inside it,
// so a link planted in the root cannot make the commit write elsewhere.
class DeviceRootTransaction {
public:
    explicit DeviceRootTransaction(std::string root);
    ~DeviceRootTransaction();
    DeviceRootTransaction(const DeviceRootTransaction&) = delete;
    DeviceRootTransaction& operator=(const DeviceRootTransaction&) = delete;

    // Creates the root when missing; false when it cannot be made or is no folder.
    bool begin(std::string* error);
    // Creates `directory` and its missing parents inside the root.
    bool makeDirectories(const std::string& directory, std::string* error);
    // Stages a copy of the regular file `source` as the new `target`.
    bool stageCopy(const std::string& source, const std::string& target, std::string* error);
    // Stages `bytes` as the new `target`.
    bool stageContents(const std::string& bytes, const std::string& target, std::string* error);
    // On commit, `target` (when there is one) goes; with `keepAs` set it is
    // moved there and stays, else it is deleted once the commit succeeded.
    bool stageRemoval(const std::string& target, const std::string& keepAs, std::string* error);

    // Puts every staged change in place, in the order staged; false, with
    // every change undone, when one fails.
    bool commit(std::string* error);

    const std::string& root() const { return root_; }

private:
    struct Change {
        std::string target;
        std::string staged;  // the new contents; empty for a removal
        std::string keepAs;  // a removal's lasting place; empty: delete
        std::string saved;   // the replaced file, until the commit is done
        bool applied = false;
    };

    // `path` under the resolved root.
    std::string place(const std::string& path) const;
    bool insideRoot(const std::string& path, std::string* error) const;
    std::string temporaryBeside(const std::string& target, const char* purpose);
    bool apply(Change& change, std::string* error);
    void undo(Change& change);
    void rollback();
    void finish();

    std::string givenRoot_;
    std::string root_;  // canonical once begun
    std::vector<Change> changes_;
    std::vector<std::string> createdDirectories_;  // outermost first
    bool committed_ = false;
    unsigned serial_ = 0;
};
