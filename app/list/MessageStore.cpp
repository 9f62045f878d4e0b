#include "app/list/MessageStore.h"

#include "common/CounterStore.h"

namespace {

// Opens the counter database for each change, as every write of the app does.
class CounterDatabaseStore : public MessageStore {
public:
    bool deleteMessage(long long rowid) override { return CounterStore::forCurrentPhone().deleteRow(rowid); }
};

}  // namespace

MessageStore& MessageStore::counterDatabase() {
    static CounterDatabaseStore store;
    return store;
}
