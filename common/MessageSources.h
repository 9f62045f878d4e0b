#pragma once

#include <functional>
#include <memory>
#include <string>

class MessageSource;
class PhoneProfile;

// A kind of phone's message store: whether it fits a phone (its device root
// and system version, as the profile gives them) and how to make a source
// that reads it.
struct MessageSourceKind {
    std::string name;
    std::function<bool(const PhoneProfile&)> fits;
    std::function<std::unique_ptr<MessageSource>(const PhoneProfile&)> make;
};

// The kinds of message source a sync can read. The phone's own sms.db is
// built in; code outside common/ adds a kind of phone with add(), and the
// kinds added are asked first, the latest first, so a new kind can claim a
// device root that also has an sms.db. Safe to use from any thread.
class MessageSources {
public:
    // Adds a kind, in place of an added kind of the same name.
    static void add(MessageSourceKind kind);
    // Takes an added kind back; false when there was none of that name.
    static bool remove(const std::string& name);
    // The kind that fits the phone; a built-in sms.db kind fits every phone.
    static std::shared_ptr<const MessageSourceKind> find(const PhoneProfile& profile);
    // Whether the kind found is one code outside common/ added, which fits
    // by what the device root holds, rather than the built-in fallback.
    static bool isAdded(const MessageSourceKind& kind);
};
