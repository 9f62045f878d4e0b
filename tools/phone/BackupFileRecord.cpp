#include "tools/phone/BackupFileRecord.h"

#include "platform/PropertyList.h"
#include "platform/PropertyListDepth.h"

#include <plist/plist.h>

#include <cstdlib>
#include <memory>

namespace {

struct PlistFree {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using Plist = std::unique_ptr<void, PlistFree>;

// Follows UID references through `$objects`. Real archives reach a value in
// one step; the cap stops a loop of references in a crafted one.
plist_t resolve(plist_t objects, plist_t node) {
    for (int hops = 0; node && plist_get_node_type(node) == PLIST_UID; ++hops) {
        if (hops == 8) return nullptr;
        uint64_t index = 0;
        plist_get_uid_val(node, &index);
        if (index >= plist_array_get_size(objects)) return nullptr;
        node = plist_array_get_item(objects, static_cast<uint32_t>(index));
    }
    return node;
}

// The bytes of a data object: plain data, or an NSData / NSMutableData
// archived as a dictionary holding them under NS.data.
std::optional<std::string> dataOf(plist_t objects, plist_t node) {
    node = resolve(objects, node);
    if (node && plist_get_node_type(node) == PLIST_DICT) node = resolve(objects, plist_dict_get_item(node, "NS.data"));
    return PropertyList::dataOf(node);
}

std::optional<std::int64_t> integerOf(plist_t objects, plist_t node) {
    node = resolve(objects, node);
    if (!node || plist_get_node_type(node) != PLIST_UINT) return std::nullopt;
    uint64_t value = 0;
    plist_get_uint_val(node, &value);
    return static_cast<std::int64_t>(value);
}

}  // namespace

std::optional<BackupFileRecord> BackupFileRecord::parse(std::string_view bytes, std::string* error) {
    auto fail = [&](const std::string& message) -> std::optional<BackupFileRecord> {
        if (error) *error = message;
        return std::nullopt;
    };
    if (bytes.size() < 8 || bytes.substr(0, 8) != "bplist00") return fail("its record is no binary property list");
    if (const auto problem = PropertyListDepth::binaryProblem(bytes)) return fail("its record is " + *problem);
    plist_t raw = nullptr;
    plist_from_bin(bytes.data(), static_cast<uint32_t>(bytes.size()), &raw);
    const Plist archive(raw);
    if (!raw || plist_get_node_type(raw) != PLIST_DICT) return fail("its record is no archive");
    plist_t objects = plist_dict_get_item(raw, "$objects");
    plist_t top = plist_dict_get_item(raw, "$top");
    if (!objects || plist_get_node_type(objects) != PLIST_ARRAY || !top || plist_get_node_type(top) != PLIST_DICT)
        return fail("its record is no archive ($objects or $top missing)");
    plist_t file = resolve(objects, plist_dict_get_item(top, "root"));
    if (!file || plist_get_node_type(file) != PLIST_DICT) return fail("its record has no file object");

    BackupFileRecord record;
    if (plist_t key = plist_dict_get_item(file, "EncryptionKey")) {
        const auto data = dataOf(objects, key);
        if (!data) return fail("its record's EncryptionKey is no data");
        record.encryptionKey = *data;
    }
    if (plist_t value = plist_dict_get_item(file, "ProtectionClass"))
        record.protectionClass = integerOf(objects, value);
    if (plist_t value = plist_dict_get_item(file, "Size")) {
        const auto size = integerOf(objects, value);
        if (!size || *size < 0) return fail("its record's Size is no size");
        record.size = static_cast<std::uint64_t>(*size);
    }
    return record;
}
