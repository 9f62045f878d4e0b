#pragma once

#include <string>
#include <vector>

// The decrypted copies of an encrypted backup's files, while an import reads
// them: files of mode 0600 directly in the device root (the one place the
// user has given the phone's data; never /tmp), removed when the object goes
// - on success, on an error and, since a SIGINT or SIGTERM stops the import
// between chunks and unwinds it, on those too.
//
// A process killed outright cannot remove its files, so each name carries
// the pid, and the next import removes those of processes that are gone.
class DecryptedFiles {
public:
    static constexpr const char* kPrefix = ".decrypting-";

    explicit DecryptedFiles(std::string folder);
    ~DecryptedFiles();
    DecryptedFiles(const DecryptedFiles&) = delete;
    DecryptedFiles& operator=(const DecryptedFiles&) = delete;

    // A new empty file of mode 0600 whose name ends in `suffix`; empty,
    // with `error` set, when it cannot be made.
    std::string create(const std::string& suffix, std::string* error);
    // Removes the files of processes that no longer run.
    static void removeAbandoned(const std::string& folder);

private:
    std::string folder_;
    std::vector<std::string> files_;
};
