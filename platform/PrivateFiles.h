#pragma once

#include <string>
#include <sys/types.h>

// The phone's messages are the user's alone: every folder the programs make
// under the device root is 0700 and every file 0600, whatever the umask,
// and no file is ever created through a link planted at its name.
class PrivateFiles {
public:
    static constexpr mode_t kFolderMode = 0700;
    static constexpr mode_t kFileMode = 0600;

    // mkdir with mode 0700 exactly; 0 when made, else -1 with mkdir's errno
    // (EEXIST for a name already there).
    static int makeDirectory(const std::string& folder);
    // Makes `path` and any missing folders above it, each new one 0700.
    // Folders that exist already are left as they are. False with the
    // reason in `error` when a folder cannot be made.
    static bool makeDirectories(const std::string& path, std::string* error = nullptr);
    // Creates a new file 0600 at `path` and opens it for writing (plus
    // `extraFlags`); fails (-1, errno set) when any name is there already,
    // a link included.
    static int createFile(const std::string& path, int extraFlags = 0);
    // Creates a new file 0600 named `prefix` followed by six random
    // characters, open for writing; the name chosen goes to `path`. -1 with
    // errno set on failure.
    static int createUniqueFile(const std::string& prefix, std::string* path);
    // Takes group and other access away from `folder` and everything in it,
    // never through a link. Best effort: what cannot be changed stays.
    static void tightenTree(const std::string& folder);
    // Why private files must not be kept in `folder`: it belongs to someone
    // else, or others may write in it. Empty when it is fit, or missing.
    // `followLink`: a link at `folder` itself is judged by what it points to.
    static std::string whyNotPrivate(const std::string& folder, bool followLink = true);
};
