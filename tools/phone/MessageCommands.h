#pragma once

#include <string>
#include <vector>

// The commands that play the phone's messaging: `receive NUMBER TEXT` and
// `send NUMBER TEXT` store the message in sms.db, dated now, in the file's
// own schema, and then post the telephony notification, as the phone does.
// Without a session bus the message stays stored and the command fails,
// since nothing listening was told.
class MessageCommands {
public:
    static int receive(const std::vector<std::string>& arguments);
    static int send(const std::vector<std::string>& arguments);

private:
    static int storeAndNotify(const std::vector<std::string>& arguments, bool sent);
    // The platform ROWID of the stored message; -1 after saying why not.
    static long long store(const std::string& number, const std::string& text, bool sent);
};
