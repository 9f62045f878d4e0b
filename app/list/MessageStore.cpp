#include "app/list/MessageStore.h"

#include "common/SmsHelper.h"

namespace {

// Opens the counter database for each change, as every write of the app does.
class CounterDatabaseStore : public MessageStore {
public:
    bool deleteMessage(long long rowid) override { return SmsHelper::deleteRow(rowid); }
};

}  // namespace

MessageStore& MessageStore::counterDatabase() {
    static CounterDatabaseStore store;
    return store;
}
