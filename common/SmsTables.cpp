#include "common/SmsTables.h"

#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"

namespace {

std::set<std::string> columnsOf(const SqliteDatabase& sms, const char* table) {
    std::set<std::string> names;
    SqliteStatement columns;
    if (columns.prepare(sms, std::string("select name from pragma_table_info('") + table + "')"))
        while (columns.step() == SqliteStatement::Step::Row) names.insert(columns.columnString(0));
    return names;
}

}  // namespace

SmsTables SmsTables::read(const SqliteDatabase& sms) {
    SmsTables schema;
    SqliteStatement tables;
    if (tables.prepare(sms, "select name from sqlite_master where type = 'table'"))
        while (tables.step() == SqliteStatement::Step::Row) schema.tables.insert(tables.columnString(0));
    schema.messageColumns = columnsOf(sms, "message");
    if (schema.hasTable("handle")) schema.handleColumns = columnsOf(sms, "handle");
    return schema;
}
