#include "platform/PropertyListDepth.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace {

std::string tooDeep(int maxDepth) { return "nested deeper than " + std::to_string(maxDepth) + " levels"; }

// --- XML ---------------------------------------------------------------

bool isNameEnd(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/' || c == '>'; }

// The position just past `terminator` from `from` on, or npos.
std::size_t pastTerminator(std::string_view xml, std::size_t from, std::string_view terminator) {
    const std::size_t at = xml.find(terminator, from);
    return at == std::string_view::npos ? at : at + terminator.size();
}

// The position just past the '>' closing a tag that starts at `from`,
// skipping quoted attribute values; npos when it never closes.
std::size_t pastTagEnd(std::string_view xml, std::size_t from) {
    char quote = 0;
    for (std::size_t i = from; i < xml.size(); ++i) {
        const char c = xml[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i + 1;
        }
    }
    return std::string_view::npos;
}

// A declaration such as <!DOCTYPE plist [ <!ENTITY ...> ]>: its internal
// subset holds '>' of its own.
std::size_t pastDeclaration(std::string_view xml, std::size_t from) {
    char quote = 0;
    int brackets = 0;
    for (std::size_t i = from; i < xml.size(); ++i) {
        const char c = xml[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            ++brackets;
        } else if (c == ']') {
            --brackets;
        } else if (c == '>' && brackets <= 0) {
            return i + 1;
        }
    }
    return std::string_view::npos;
}

std::string_view tagName(std::string_view xml, std::size_t from) {
    std::size_t end = from;
    while (end < xml.size() && !isNameEnd(xml[end])) ++end;
    return xml.substr(from, end - from);
}

// --- binary ------------------------------------------------------------

constexpr std::size_t kHeaderBytes = 8;
constexpr std::size_t kTrailerBytes = 32;

std::uint64_t bigEndian(std::string_view bytes, std::size_t at, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

bool isContainer(unsigned char marker) {
    const unsigned type = marker >> 4;
    return type == 0xA || type == 0xB || type == 0xC || type == 0xD;  // array, ordered set, set, dictionary
}

class BinaryWalk {
public:
    explicit BinaryWalk(std::string_view bytes) : bytes_(bytes) {}

    std::optional<std::string> problem(int maxDepth) {
        if (!readTrailer()) return std::string("a binary property list with a damaged trailer or offset table");
        const auto top = objectOffset(top_);
        if (!top) return std::string("a binary property list whose top object lies outside it");
        if (!isContainer(marker(*top))) return std::nullopt;
        // The references of a tree fit in the file, one byte each at least;
        // a walk that follows more shares containers between parents, and
        // libplist would copy each of them once per parent.
        std::size_t budget = bytes_.size();
        std::vector<std::pair<std::uint64_t, int>> stack{{top_, 1}};  // object, its depth
        while (!stack.empty()) {
            const auto [object, depth] = stack.back();
            stack.pop_back();
            if (depth > maxDepth) return tooDeep(maxDepth);
            const auto references = referencesOf(object);
            if (!references) return std::string("a binary property list with a damaged array or dictionary");
            for (std::uint64_t i = 0; i < references->second; ++i) {
                if (budget-- == 0) return std::string("a binary property list that shares its containers too often");
                const std::uint64_t child = bigEndian(bytes_, references->first + i * refSize_, refSize_);
                const auto offset = objectOffset(child);
                if (!offset) return std::string("a binary property list with a reference outside it");
                if (isContainer(marker(*offset))) stack.emplace_back(child, depth + 1);
            }
        }
        return std::nullopt;
    }

private:
    bool readTrailer() {
        if (bytes_.size() < kHeaderBytes + kTrailerBytes) return false;
        const std::size_t trailer = bytes_.size() - kTrailerBytes;
        offsetSize_ = static_cast<unsigned char>(bytes_[trailer + 6]);
        refSize_ = static_cast<unsigned char>(bytes_[trailer + 7]);
        objects_ = bigEndian(bytes_, trailer + 8, 8);
        top_ = bigEndian(bytes_, trailer + 16, 8);
        table_ = bigEndian(bytes_, trailer + 24, 8);
        if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8) return false;
        if (objects_ == 0 || top_ >= objects_ || table_ < kHeaderBytes || table_ > trailer) return false;
        return objects_ <= (trailer - table_) / offsetSize_;
    }

    // Where the object starts; nothing when it lies outside the objects.
    std::optional<std::size_t> objectOffset(std::uint64_t object) const {
        if (object >= objects_) return std::nullopt;
        const std::uint64_t offset = bigEndian(bytes_, table_ + object * offsetSize_, offsetSize_);
        if (offset < kHeaderBytes || offset >= table_) return std::nullopt;
        return static_cast<std::size_t>(offset);
    }

    unsigned char marker(std::size_t offset) const { return static_cast<unsigned char>(bytes_[offset]); }

    // Where a container's references start and how many there are (keys
    // and values of a dictionary alike); nothing when they run past the
    // objects.
    std::optional<std::pair<std::size_t, std::uint64_t>> referencesOf(std::uint64_t object) const {
        const std::size_t offset = *objectOffset(object);
        const unsigned char head = marker(offset);
        std::uint64_t count = head & 0x0F;
        std::size_t start = offset + 1;
        if (count == 0x0F) {  // the count follows as an integer object
            if (start >= table_ || (marker(start) >> 4) != 0x1) return std::nullopt;
            const std::size_t width = std::size_t{1} << (marker(start) & 0x0F);
            if (width > 8 || start + 1 + width > table_) return std::nullopt;
            count = bigEndian(bytes_, start + 1, width);
            start += 1 + width;
        }
        if ((head >> 4) == 0xD) {
            if (count > UINT64_MAX / 2) return std::nullopt;
            count *= 2;
        }
        if (start > table_ || count > (table_ - start) / refSize_) return std::nullopt;
        return std::make_pair(start, count);
    }

    std::string_view bytes_;
    std::size_t offsetSize_ = 0;
    std::size_t refSize_ = 0;
    std::uint64_t objects_ = 0;
    std::uint64_t top_ = 0;
    std::uint64_t table_ = 0;
};

}  // namespace

std::optional<std::string> PropertyListDepth::problem(std::string_view bytes, int maxDepth) {
    if (bytes.substr(0, 8) == "bplist00") return binaryProblem(bytes, maxDepth);
    return xmlProblem(bytes, maxDepth);
}

std::optional<std::string> PropertyListDepth::xmlProblem(std::string_view xml, int maxDepth) {
    // The names of the open elements: an end tag closes only the element it
    // names, so a stray </x> cannot hide an open <array>.
    std::vector<std::string_view> open;
    std::size_t at = 0;
    while ((at = xml.find('<', at)) != std::string_view::npos) {
        const std::string_view rest = xml.substr(at);
        if (rest.substr(0, 4) == "<!--") {
            at = pastTerminator(xml, at + 4, "-->");
        } else if (rest.substr(0, 9) == "<![CDATA[") {
            at = pastTerminator(xml, at + 9, "]]>");
        } else if (rest.substr(0, 2) == "<?") {
            at = pastTerminator(xml, at + 2, "?>");
        } else if (rest.substr(0, 2) == "<!") {
            at = pastDeclaration(xml, at + 2);
        } else if (rest.substr(0, 2) == "</") {
            const std::string_view name = tagName(xml, at + 2);
            if (!open.empty() && open.back() == name) open.pop_back();
            at = pastTagEnd(xml, at + 2);
        } else {
            const std::string_view name = tagName(xml, at + 1);
            const std::size_t end = pastTagEnd(xml, at + 1);
            if (end != std::string_view::npos && xml[end - 2] != '/') {
                open.push_back(name);
                if (open.size() > static_cast<std::size_t>(maxDepth)) return tooDeep(maxDepth);
            }
            at = end;
        }
        // Whatever is left open runs to the end of the file: no element
        // starts after it.
        if (at == std::string_view::npos) break;
    }
    return std::nullopt;
}

std::optional<std::string> PropertyListDepth::binaryProblem(std::string_view bytes, int maxDepth) {
    return BinaryWalk(bytes).problem(maxDepth);
}
