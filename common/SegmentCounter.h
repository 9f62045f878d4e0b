#pragma once

#include <cstddef>
#include <string_view>

// How many network segments a message body costs. A body whose every UTF-16
// code unit belongs to the GSM 7-bit default alphabet (basic table without
// the escape code, plus the extension table without form feed) fits 160
// characters in a segment; any other body fits 70. Every segment of a long
// message has the same size, and an extension character counts once.
class SegmentCounter {
public:
    static constexpr int kGsmSegmentSize = 160;
    static constexpr int kUnicodeSegmentSize = 70;

    // The 74 code units of the set besides ASCII letters and digits, in the
    // order the system has always held them.
    static const std::u16string_view kGsmCharacters;

    // True when every code unit is in the 7-bit set; stops at the first one
    // that is not. The empty string is true.
    static bool isNormalSMS(std::u16string_view text);

    // Segments of a body already decoded to UTF-16: 0 code units cost 1.
    static int segmentsForText(std::u16string_view text);

    // Segments of a body as stored, in UTF-8 bytes: NULL (`bytes` null) costs
    // 0, zero bytes cost 1. A body that is not valid UTF-8 decodes to nothing
    // and costs 1.
    static int segmentsForUtf8(const char* bytes, std::size_t length);

    // Strict UTF-8 to UTF-16: overlong forms, surrogates, code points past
    // U+10FFFF and truncated sequences make the whole text invalid (false).
    static bool decodeUtf8(const char* bytes, std::size_t length, std::u16string& out);

private:
    static int segmentsForLength(std::size_t length, bool gsm);
};
