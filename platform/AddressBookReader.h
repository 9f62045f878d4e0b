#pragma once

#include "platform/AddressBookContact.h"

#include <string>
#include <vector>

// Reads every contact and its phone numbers out of an address-book database,
// read-only, in one read transaction so people and numbers come from the same
// version of the file.
class AddressBookReader {
public:
    enum class Outcome {
        Loaded,
        // Another connection held a lock for longer than the busy timeout.
        Busy,
        // Missing, unreadable, not a database, or without the expected tables.
        Failed,
    };

    struct Result {
        Outcome outcome = Outcome::Failed;
        std::vector<AddressBookContact> contacts;  // by record identifier; empty unless Loaded
    };

    static Result read(const std::string& path, int busyTimeoutMs);
};
