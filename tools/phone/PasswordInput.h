#pragma once

#include "tools/phone/SecretBytes.h"

#include <functional>
#include <optional>
#include <string>

// Where import-backup reads a backup password from: never the command line
// or the environment, where other users' `ps` and /proc would show it.
class PasswordInput {
public:
    // Longer than any password anyone types; a bigger file is a mistake.
    static constexpr std::size_t kMaxBytes = 4096;

    // The first line of the file (the whole file when it has one line).
    static std::optional<SecretBytes> fromFile(const std::string& path, std::string* error);
    // The first line of the descriptor, read up to its end or a newline.
    static std::optional<SecretBytes> fromDescriptor(int fd, std::string* error);
    // Asks on the terminal of standard input with echo off, and puts the
    // terminal back as it was however this ends. Nothing when `stopRequested`
    // answers true (Ctrl-C while typing) or the input ends.
    static std::optional<SecretBytes> fromTerminal(const std::function<bool()>& stopRequested);

private:
    // Reads into `password` up to a newline, the end or kMaxBytes; false on
    // a read error or a stop.
    static bool readLine(int fd, SecretBytes& password, const std::function<bool()>& stopRequested, std::string* error);
};
