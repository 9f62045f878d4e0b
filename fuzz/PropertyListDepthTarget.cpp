// The depth check of property lists, from arbitrary bytes (XML or binary):
// a list it lets through is no deeper, as libplist reads it, than the limit
// it was given, so libplist never recurses further than the check allows.
// A small limit makes deep inputs easy to reach.

#include "fuzz/FuzzCheck.h"
#include "platform/PropertyList.h"
#include "platform/PropertyListDepth.h"

#include <plist/plist.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kFuzzLimit = 8;

// The containers on the longest path from the root, walked with a stack of
// our own.
int treeDepth(plist_t root) {
    int deepest = 0;
    std::vector<std::pair<plist_t, int>> stack{{root, 1}};
    while (!stack.empty()) {
        const auto [node, depth] = stack.back();
        stack.pop_back();
        const plist_type type = plist_get_node_type(node);
        if (type == PLIST_ARRAY) {
            deepest = std::max(deepest, depth);
            for (uint32_t i = 0; i < plist_array_get_size(node); ++i)
                stack.emplace_back(plist_array_get_item(node, i), depth + 1);
        } else if (type == PLIST_DICT) {
            deepest = std::max(deepest, depth);
            plist_dict_iter iter = nullptr;
            plist_dict_new_iter(node, &iter);
            for (;;) {
                // Keys are not asked for: libplist asserts on a binary key
                // with a NUL byte in it (the settings reader goes through
                // the XML form for that reason).
                plist_t value = nullptr;
                plist_dict_next_item(node, iter, nullptr, &value);
                if (!value) break;
                stack.emplace_back(value, depth + 1);
            }
            std::free(iter);
        }
    }
    return deepest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const bool binary = bytes.compare(0, 8, "bplist00") == 0;
    if (!PropertyListDepth::problem(bytes, kFuzzLimit) && !bytes.empty() &&
        (binary || bytes.find('\0') == std::string::npos)) {
        plist_t root = nullptr;
        plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
        if (root) {
            FUZZ_CHECK(treeDepth(root) <= kFuzzLimit, "libplist reads no deeper than the check allowed");
            plist_free(root);
        }
    }
    // The reader of the programs, with its own limit.
    PropertyList::fromXml(bytes);
    return 0;
}
