// The segment count on arbitrary bytes, checked against a count made here
// the slow, obvious way: decode, test each code unit against the alphabet,
// divide with rounding up.

#include "common/SegmentCounter.h"
#include "fuzz/FuzzCheck.h"

#include <cstdint>
#include <string>

namespace {

bool inAlphabet(char16_t unit) {
    if ((unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z') || (unit >= u'0' && unit <= u'9')) return true;
    return SegmentCounter::kGsmCharacters.find(unit) != std::u16string_view::npos;
}

int expectedSegments(const std::u16string& text) {
    bool gsm = true;
    for (const char16_t unit : text) gsm = gsm && inAlphabet(unit);
    const std::size_t size = gsm ? 160 : 70;
    if (text.empty()) return 1;
    return static_cast<int>((text.size() + size - 1) / size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    const int segments = SegmentCounter::segmentsForUtf8(bytes, size);
    std::u16string decoded;
    if (!SegmentCounter::decodeUtf8(bytes, size, decoded)) {
        FUZZ_CHECK(segments == 1, "a body that is not UTF-8 costs one segment");
        return 0;
    }
    FUZZ_CHECK(segments == expectedSegments(decoded), "segments as counted by hand");
    FUZZ_CHECK(segments == SegmentCounter::segmentsForText(decoded), "the UTF-8 and UTF-16 counts agree");
    FUZZ_CHECK(SegmentCounter::segmentsForUtf8(nullptr, 0) == 0, "no body costs nothing");
    // Every code unit of a valid decode is a character or half a pair; a
    // four-byte sequence gives two.
    FUZZ_CHECK(decoded.size() <= size, "decoding never makes more code units than bytes");
    return 0;
}
