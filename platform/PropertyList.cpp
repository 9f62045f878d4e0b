#include "platform/PropertyList.h"
#include "platform/ProgramLog.h"

#include "platform/FileWrites.h"
#include "platform/PrivateFiles.h"
#include "platform/PropertyListDepth.h"
#include "platform/TerminalText.h"

#include <plist/plist.h>

#include <cerrno>
#include <cmath>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

plist_t asPlist(void* p) { return static_cast<plist_t>(p); }

// Settings files are a few kilobytes; anything much larger is not ours and
// is refused rather than read into memory.
constexpr std::size_t kMaxFileBytes = 16 * 1024 * 1024;

std::optional<std::int64_t> parseInteger(const std::string& text) {
    std::size_t begin = 0;
    while (begin < text.size() && (text[begin] == ' ' || text[begin] == '\t' || text[begin] == '\n')) ++begin;
    if (begin < text.size() && text[begin] == '+') ++begin;
    std::int64_t value = 0;
    const char* first = text.data() + begin;
    const char* last = text.data() + text.size();
    auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end == first) return std::nullopt;
    return value;
}

std::optional<double> parseDouble(const std::string& text) {
    std::size_t begin = 0;
    while (begin < text.size() && (text[begin] == ' ' || text[begin] == '\t' || text[begin] == '\n')) ++begin;
    if (begin < text.size() && text[begin] == '+') ++begin;
    double value = 0;
    const char* first = text.data() + begin;
    auto [end, ec] = std::from_chars(first, text.data() + text.size(), value, std::chars_format::general);
    // Settings hold real dates and counts; "nan" and "inf" are not among them.
    if (ec != std::errc() || end == first || !std::isfinite(value)) return std::nullopt;
    return value;
}

// Makes the rename itself durable, so a crash right after a write cannot
// bring back the previous file (and with it, older sync markers).
void syncDirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    FileWrites::syncDirectory(slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash)));
}

}  // namespace

PropertyList::PropertyList() : dict_(plist_new_dict()) {}

PropertyList::PropertyList(void* dict) : dict_(dict) {}

PropertyList::~PropertyList() {
    if (dict_) plist_free(asPlist(dict_));
}

PropertyList::PropertyList(PropertyList&& other) noexcept : dict_(other.dict_) { other.dict_ = nullptr; }

PropertyList& PropertyList::operator=(PropertyList&& other) noexcept {
    if (this != &other) {
        if (dict_) plist_free(asPlist(dict_));
        dict_ = other.dict_;
        other.dict_ = nullptr;
    }
    return *this;
}

std::optional<PropertyList> PropertyList::readFromFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes;
    char buffer[8192];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (bytes.size() > kMaxFileBytes) return std::nullopt;
    }
    if (in.bad()) return std::nullopt;
    return parse(bytes, path);
}

std::optional<PropertyList> PropertyList::fromXml(const std::string& xml) { return parse(xml, "a property list"); }

std::optional<PropertyList> PropertyList::parse(const std::string& xml, const std::string& origin) {
    if (xml.empty() || xml.size() > kMaxFileBytes) return std::nullopt;
    // libplist recurses once per level of nesting while reading, copying and
    // freeing: a deep enough file would overflow the stack.
    if (const auto problem = PropertyListDepth::problem(xml)) {
        ProgramLog::failure(origin, "not read: " + *problem);
        return std::nullopt;
    }
    const bool binary = xml.compare(0, 6, "bplist") == 0;
    // XML has no NUL character, but libplist's reader takes a raw one into a
    // key or string, and its accessors then abort or read past the end.
    if (!binary && xml.find('\0') != std::string::npos) return std::nullopt;
    plist_t root = nullptr;
    // plist_from_memory also accepts the binary form, which the phone's own
    // reader accepts as well.
    plist_from_memory(xml.data(), static_cast<uint32_t>(xml.size()), &root);
    if (root && binary) root = throughXml(root);
    if (!root) return std::nullopt;
    if (plist_get_node_type(root) != PLIST_DICT) {
        plist_free(root);
        return std::nullopt;
    }
    return PropertyList(withUniqueKeys(root));
}

void* PropertyList::throughXml(void* tree) {
    // libplist's binary reader takes keys and strings with a NUL byte inside,
    // and its accessors abort on them (they assert that the length is the C
    // string's) or copy past their end. Written as XML and read back, the
    // tree holds only what the XML reader accepts; XML that came out with a
    // NUL byte in it is refused.
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(asPlist(tree), &xml, &length);
    plist_free(asPlist(tree));
    plist_t root = nullptr;
    if (xml && std::memchr(xml, '\0', length) == nullptr) plist_from_xml(xml, length, &root);
    if (xml) plist_to_xml_free(xml);
    return root;
}

void* PropertyList::withUniqueKeys(void* dict) {
    // A binary property list can name a key twice; libplist keeps both, so
    // the dictionary would be written back with both and read back as
    // another one. Each key keeps the value a lookup finds.
    plist_t unique = plist_new_dict();
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(asPlist(dict), &iter);
    while (iter) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(asPlist(dict), iter, &key, &value);
        if (!value || !key) {
            std::free(key);
            break;
        }
        if (!plist_dict_get_item(unique, key))
            plist_dict_set_item(unique, key, plist_copy(plist_dict_get_item(asPlist(dict), key)));
        std::free(key);
    }
    std::free(iter);
    plist_free(asPlist(dict));
    return unique;
}

std::string PropertyList::toXml() const {
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(asPlist(dict_), &xml, &length);
    std::string result = xml ? std::string(xml, length) : std::string();
    if (xml) plist_to_xml_free(xml);
    return result;
}

bool PropertyList::writeToFile(const std::string& path) const {
    const std::string xml = toXml();
    if (xml.empty()) return false;

    std::string tmpl = path + ".XXXXXX";
    int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) return false;
    // The settings name the people the user writes to: the file is the
    // user's alone, whatever mode an earlier version left on it.
    ::fchmod(fd, PrivateFiles::kFileMode);
    bool ok = FileWrites::writeAll(fd, xml.data(), xml.size()) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(tmpl.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(tmpl.c_str());
        return false;
    }
    syncDirectoryOf(path);
    return true;
}

bool PropertyList::contains(const std::string& key) const {
    return plist_dict_get_item(asPlist(dict_), key.c_str()) != nullptr;
}

void PropertyList::remove(const std::string& key) {
    if (contains(key)) plist_dict_remove_item(asPlist(dict_), key.c_str());
}

std::size_t PropertyList::size() const { return plist_dict_get_size(asPlist(dict_)); }

std::vector<std::string> PropertyList::keys() const {
    std::vector<std::string> result;
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(asPlist(dict_), &iter);
    if (!iter) return result;
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(asPlist(dict_), iter, &key, &value);
        if (!value) {
            std::free(key);
            break;
        }
        if (key) result.emplace_back(key);
        std::free(key);
    }
    // libplist allocates the iterator with malloc and leaves freeing it to us.
    std::free(iter);
    return result;
}

std::int64_t PropertyList::integerValue(const std::string& key, std::int64_t fallback) const {
    plist_t node = plist_dict_get_item(asPlist(dict_), key.c_str());
    if (!node) return fallback;
    switch (plist_get_node_type(node)) {
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        // libplist keeps negative integers in two's complement.
        return static_cast<std::int64_t>(value);
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        if (!(value > static_cast<double>(INT64_MIN) && value < static_cast<double>(INT64_MAX))) return fallback;
        return static_cast<std::int64_t>(value);
    }
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return value ? 1 : 0;
    }
    case PLIST_STRING: {
        auto text = stringValue(key);
        if (!text) return fallback;
        if (auto value = parseInteger(*text)) return *value;
        // "12.5" reads as 12, as a string's integer value does on the phone.
        if (auto value = parseDouble(*text)) {
            if (*value > static_cast<double>(INT64_MIN) && *value < static_cast<double>(INT64_MAX))
                return static_cast<std::int64_t>(*value);
        }
        return fallback;
    }
    default: return fallback;
    }
}

double PropertyList::doubleValue(const std::string& key, double fallback) const {
    plist_t node = plist_dict_get_item(asPlist(dict_), key.c_str());
    if (!node) return fallback;
    switch (plist_get_node_type(node)) {
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return value;
    }
    case PLIST_UINT: return static_cast<double>(integerValue(key, 0));
    case PLIST_STRING: {
        auto text = stringValue(key);
        if (!text) return fallback;
        if (auto value = parseDouble(*text)) return *value;
        return fallback;
    }
    default: return fallback;
    }
}

std::optional<std::string> PropertyList::stringValue(const std::string& key) const {
    plist_t node = plist_dict_get_item(asPlist(dict_), key.c_str());
    if (!node) return std::nullopt;
    switch (plist_get_node_type(node)) {
    case PLIST_STRING: {
        char* value = nullptr;
        plist_get_string_val(node, &value);
        std::string result = value ? value : "";
        std::free(value);
        return result;
    }
    case PLIST_UINT: return std::to_string(integerValue(key, 0));
    case PLIST_REAL: {
        // Shortest text that reads back as the same double: a fixed start
        // date of 1686000000.5 must not turn into "1.686e+09".
        char buffer[64];
        auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, doubleValue(key, 0.0));
        if (ec != std::errc()) return std::nullopt;
        return std::string(buffer, end);
    }
    default: return std::nullopt;
    }
}

void PropertyList::setInteger(const std::string& key, std::int64_t value) {
    plist_dict_set_item(asPlist(dict_), key.c_str(), plist_new_uint(static_cast<uint64_t>(value)));
}

void PropertyList::setDouble(const std::string& key, double value) {
    plist_dict_set_item(asPlist(dict_), key.c_str(), plist_new_real(value));
}

std::optional<std::string> PropertyList::dataValue(const std::string& key) const {
    return dataOf(plist_dict_get_item(asPlist(dict_), key.c_str()));
}

std::optional<std::string> PropertyList::dataOf(void* node) {
    if (!node || plist_get_node_type(node) != PLIST_DATA) return std::nullopt;
    char* bytes = nullptr;
    uint64_t length = 0;
    plist_get_data_val(node, &bytes, &length);
    std::string result(bytes ? bytes : "", bytes ? static_cast<std::size_t>(length) : 0);
    std::free(bytes);
    return result;
}

void PropertyList::setData(const std::string& key, const std::string& bytes) {
    plist_dict_set_item(asPlist(dict_), key.c_str(), plist_new_data(bytes.data(), bytes.size()));
}

void PropertyList::setString(const std::string& key, const std::string& value) {
    plist_dict_set_item(asPlist(dict_), key.c_str(), plist_new_string(value.c_str()));
}
