#include "common/OldSmsReader.h"

#include "common/SmsTables.h"

bool OldSmsReader::fits(const SmsTables& tables) const { return tables.isOldFamily(); }

// Every statement walks the message table itself in ROWID order, never an
// index followed by a sort: then rows come out as they are read, and a page
// damaged in the middle of the file ends the read there, after the rows
// before it, instead of failing it before the first row. NOT INDEXED still
// lets the walk start at a ROWID.
std::string OldSmsReader::readSql(const SmsTables& tables, bool withBodies, bool dated) const {
    std::string sql = "SELECT m.address, m.date, ";
    sql += withBodies ? tables.column("text") : "NULL";
    sql += ", m.flags, NULL, NULL, m.ROWID FROM message m NOT INDEXED WHERE m.ROWID > ?1";
    if (dated) sql += " AND ((m.date >= ?2 AND m.flags = 3) OR (m.date >= ?3 AND m.flags = 2))";
    return sql + " ORDER BY m.ROWID ASC";
}

std::string OldSmsReader::positionSelect(const SmsTables& tables) const {
    return "SELECT ROWID, NULL, " + std::string(tables.hasColumn("date") ? "date" : "NULL") + ", address, " +
           (tables.hasColumn("flags") ? "flags" : "NULL") + ", " + (tables.hasColumn("text") ? "text" : "NULL") +
           " FROM message ";
}

bool OldSmsReader::takeRest(SmsRow& row) {
    row.type = nullptr;
    if (this->row().columnIsNull(1)) {
        countUndated();
        return false;
    }
    row.date = this->row().columnInt(1);
    if (!takeCutText(row)) row.text = this->row().columnText(2, &row.textBytes);
    return true;
}
