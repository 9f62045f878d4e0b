#pragma once

#include <string>

// Backup passwords in the desktop's keyring (the freedesktop Secret Service,
// through libsecret), one per phone, found by the phone's UDID. Stored only
// when the user asks for it; looked up by the daemon to import the next
// encrypted backup of that phone on its own.
//
// A keyring that is absent, locked or refuses is an answer like any other
// (Unavailable, with the reason): nothing here prompts for the keyring's own
// password on a lookup, so a daemon without a desktop never waits on one.
class PasswordKeyring {
public:
    // The schema the items are stored under, named for the app.
    static constexpr const char* kSchemaName = "org.brindlex.Brindlex.BackupPassword";
    static constexpr const char* kUdidAttribute = "udid";

    enum class Status { Found, NotFound, Unavailable };

    struct Lookup {
        Status status = Status::Unavailable;
        std::string password;  // when Found; the caller clears it after use
        std::string reason;    // when Unavailable
    };

    // Stores `password` for the phone `udid`, replacing an earlier one.
    static bool store(const std::string& udid, const std::string& password, std::string* error);
    static Lookup lookup(const std::string& udid);
    // Removes the phone's password; true also when there was none.
    static bool clear(const std::string& udid, std::string* error);
};
