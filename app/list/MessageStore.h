#pragma once

// What the message list asks of the counter store. The list is handed one
// and never reaches the counter database by itself, so a test can hand it
// a stand-in and the store's implementation can change in one place.
class MessageStore {
public:
    virtual ~MessageStore() = default;

    // Removes the counted message with this row number; false when the
    // counter database could not be changed.
    virtual bool deleteMessage(long long rowid) = 0;

    // The store over the device root's counter database, for the app's one
    // message list.
    static MessageStore& counterDatabase();
};
