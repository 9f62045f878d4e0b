#include "common/SegmentCounter.h"

#include <array>
#include <cstdint>
#include <string>

namespace {

// Membership of the 74 listed code units, one bit each over the whole UTF-16
// range, built once at compile time so the per-character test is a lookup
// rather than a scan of the list.
class GsmTable {
public:
    constexpr explicit GsmTable(std::u16string_view characters) {
        for (char16_t c : characters) bits_[c >> 6] |= std::uint64_t{1} << (c & 63);
    }
    constexpr bool contains(char16_t c) const { return (bits_[c >> 6] >> (c & 63)) & 1; }

private:
    std::array<std::uint64_t, 1024> bits_{};
};

constexpr std::u16string_view kListed =
    u"@\u20AC\u00A3$\u00A5\u00E8\u00E9\u00F9\u00EC\u00F2\u00C7\n\u00D8\u00F8\r\u00C5\u00E5\u0394_\u03A6\u0393"
    u"\u039B\u03A9\u03A0\u03A8\u03A3\u0398\u039E\u00C6\u00E6\u00DF\u00C9 !\"#\u00A4%&'()*+,-./:;<=>?\u00A1"
    u"\u00C4\u00D6\u00D1\u00DC\u00A7\u00BF\u00E4\u00F6\u00F1\u00FC\u00E0^{}\\[]~|";
static_assert(kListed.size() == 74);
constexpr GsmTable kTable(kListed);

inline bool isGsm(char16_t c) {
    // Letters and digits, the common case, by range before any table lookup.
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')) return true;
    return kTable.contains(c);
}

// Walks UTF-8 strictly, handing each UTF-16 code unit to `sink`. Returns false
// at the first malformed sequence.
template <typename Sink>
bool walkUtf8(const unsigned char* p, const unsigned char* end, Sink&& sink) {
    while (p < end) {
        const unsigned char lead = *p;
        if (lead < 0x80) {
            sink(static_cast<char16_t>(lead));
            ++p;
            continue;
        }
        std::uint32_t cp;
        int trail;
        std::uint32_t minimum;
        if (lead >= 0xC2 && lead <= 0xDF) {
            cp = lead & 0x1F, trail = 1, minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            cp = lead & 0x0F, trail = 2, minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            cp = lead & 0x07, trail = 3, minimum = 0x10000;
        } else {
            return false;  // stray continuation byte, C0/C1 overlong lead, or F5..FF
        }
        if (end - p <= trail) return false;
        for (int i = 1; i <= trail; ++i) {
            const unsigned char next = p[i];
            if ((next & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            sink(static_cast<char16_t>(0xD800 + (cp >> 10)));
            sink(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            sink(static_cast<char16_t>(cp));
        }
        p += trail + 1;
    }
    return true;
}

}  // namespace

const std::u16string_view SegmentCounter::kGsmCharacters = kListed;

bool SegmentCounter::isNormalSMS(std::u16string_view text) {
    for (char16_t c : text)
        if (!isGsm(c)) return false;
    return true;
}

int SegmentCounter::segmentsForLength(std::size_t length, bool gsm) {
    if (length == 0) return 1;
    const std::size_t size = gsm ? kGsmSegmentSize : kUnicodeSegmentSize;
    return static_cast<int>((length + size - 1) / size);
}

int SegmentCounter::segmentsForText(std::u16string_view text) {
    return segmentsForLength(text.size(), isNormalSMS(text));
}

int SegmentCounter::segmentsForUtf8(const char* bytes, std::size_t length) {
    if (bytes == nullptr) return 0;
    if (length == 0) return 1;
    // One pass: validate, count code units and test the alphabet together,
    // without building the decoded string.
    std::size_t units = 0;
    bool gsm = true;
    const auto* begin = reinterpret_cast<const unsigned char*>(bytes);
    const bool valid = walkUtf8(begin, begin + length, [&](char16_t c) {
        ++units;
        if (gsm && !isGsm(c)) gsm = false;
    });
    if (!valid) return 1;
    return segmentsForLength(units, gsm);
}

bool SegmentCounter::decodeUtf8(const char* bytes, std::size_t length, std::u16string& out) {
    out.clear();
    const auto* begin = reinterpret_cast<const unsigned char*>(bytes);
    if (walkUtf8(begin, begin + length, [&](char16_t c) { out.push_back(c); })) return true;
    out.clear();
    return false;
}
