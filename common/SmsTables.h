#pragma once

#include <set>
#include <string>

class SqliteDatabase;

// The tables of a phone's sms.db and the columns of its message and handle
// tables, read once per read; which layout a file is follows from them, not
// from the system version alone.
struct SmsTables {
    std::set<std::string> tables;
    std::set<std::string> messageColumns;
    std::set<std::string> handleColumns;

    static SmsTables read(const SqliteDatabase& sms);

    bool hasTable(const char* name) const { return tables.count(name) != 0; }
    bool hasColumn(const char* name) const { return messageColumns.count(name) != 0; }
    // The message column, or NULL for a file that lacks it.
    std::string column(const char* name) const { return hasColumn(name) ? std::string("m.") + name : "NULL"; }
    std::string handleColumn(const char* name) const {
        return handleColumns.count(name) != 0 ? std::string("h.") + name : "NULL";
    }
    // The message table before 6.0: address and flags on the message.
    bool isOldFamily() const {
        return hasTable("message") && hasColumn("address") && hasColumn("flags") && hasColumn("date");
    }
    // From 6.0: the address in a handle table.
    bool isHandleFamily() const {
        return hasTable("message") && hasTable("handle") && hasColumn("is_from_me") && hasColumn("handle_id") &&
               hasColumn("date") && handleColumns.count("id") != 0;
    }
    // The later members of the handle family (7 and on), recognised by the
    // columns they appended.
    bool hasLaterColumns() const { return hasColumn("item_type") || hasColumn("associated_message_type"); }
};
