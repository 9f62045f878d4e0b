#include "platform/PasswordKeyring.h"

#include <libsecret/secret.h>

#include <memory>

namespace {

const SecretSchema* schema() {
    static const SecretSchema kSchema = {
        PasswordKeyring::kSchemaName,
        SECRET_SCHEMA_NONE,
        {{PasswordKeyring::kUdidAttribute, SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
        0,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr};
    return &kSchema;
}

struct ErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};

struct ItemListFree {
    void operator()(GList* items) const { g_list_free_full(items, g_object_unref); }
};

struct ValueUnref {
    void operator()(SecretValue* value) const { secret_value_unref(value); }
};

struct TableUnref {
    void operator()(GHashTable* table) const { g_hash_table_unref(table); }
};

std::string reasonOf(GError* error, const char* fallback) {
    return error && error->message ? error->message : fallback;
}

void fail(std::string* error, std::string reason) {
    if (error) *error = std::move(reason);
}

}  // namespace

bool PasswordKeyring::store(const std::string& udid, const std::string& password, std::string* error) {
    GError* raw = nullptr;
    const std::string label = "Brindlex: iPhone backup password (" + udid + ")";
    // The default collection, as a desktop's own password dialogs use; the
    // Secret Service may ask the user to unlock it.
    const gboolean stored =
        secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT, label.c_str(), password.c_str(), nullptr, &raw,
                                   kUdidAttribute, udid.c_str(), nullptr);
    const ErrorPtr failure(raw);
    if (!stored) fail(error, "the keyring did not store the password: " + reasonOf(raw, "no reason given"));
    return stored;
}

PasswordKeyring::Lookup PasswordKeyring::lookup(const std::string& udid) {
    Lookup result;
    GError* raw = nullptr;
    const std::unique_ptr<SecretService, ObjectUnref> service(
        secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &raw));
    ErrorPtr failure(raw);
    if (!service) {
        result.reason = "no keyring: " + reasonOf(raw, "no Secret Service");
        return result;
    }
    const std::unique_ptr<GHashTable, TableUnref> attributes(
        g_hash_table_new_full(g_str_hash, g_str_equal, nullptr, nullptr));
    g_hash_table_insert(attributes.get(), const_cast<char*>(kUdidAttribute), const_cast<char*>(udid.c_str()));
    // Without SECRET_SEARCH_UNLOCK: a locked item is reported, not prompted for.
    raw = nullptr;
    const std::unique_ptr<GList, ItemListFree> items(secret_service_search_sync(
        service.get(), schema(), attributes.get(), SECRET_SEARCH_LOAD_SECRETS, nullptr, &raw));
    failure.reset(raw);
    if (raw) {
        result.reason = "the keyring cannot be searched: " + reasonOf(raw, "no reason given");
        return result;
    }
    for (GList* entry = items.get(); entry; entry = entry->next) {
        auto* item = static_cast<SecretItem*>(entry->data);
        const std::unique_ptr<SecretValue, ValueUnref> value(secret_item_get_secret(item));
        if (!value) {
            if (secret_item_get_locked(item)) result.reason = "the keyring is locked";
            continue;
        }
        const gchar* text = secret_value_get_text(value.get());
        if (!text) continue;
        result.status = Status::Found;
        result.password = text;
        return result;
    }
    result.status = result.reason.empty() ? Status::NotFound : Status::Unavailable;
    return result;
}

bool PasswordKeyring::clear(const std::string& udid, std::string* error) {
    GError* raw = nullptr;
    secret_password_clear_sync(schema(), nullptr, &raw, kUdidAttribute, udid.c_str(), nullptr);
    const ErrorPtr failure(raw);
    if (raw) fail(error, "the keyring did not remove the password: " + reasonOf(raw, "no reason given"));
    return raw == nullptr;
}
