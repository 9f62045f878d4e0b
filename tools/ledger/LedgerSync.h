#pragma once

#include <string>

// brindlex-ledger with no command: seeds the device's data directory if
// needed, runs one sync as the programs do, and prints what the counter
// database then holds, by direction and by month. A developer's window into
// the counter store.
class LedgerSync {
public:
    static int run();
    // What a user with no device root yet is told, by every command of the
    // ledger: how to bring their phone's messages in.
    static std::string noPhoneData();
};
