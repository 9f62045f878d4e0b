#include "common/AttributedBody.h"

#include <cstdint>
#include <cstring>

namespace {

// Streamer version 4, then the 11-byte signature of a little-endian stream.
constexpr unsigned char kHeader[] = {0x04, 0x0B, 's', 't', 'r', 'e', 'a', 'm', 't', 'y', 'p', 'e', 'd'};
constexpr std::string_view kStringClass = "NSString";
// A new shared string of length 1 holding "+", the type of the UTF-8 bytes
// that follow.
constexpr std::string_view kUtf8StringType = "\x84\x01\x2B";
// End of the string object, then the type of the first attribute run.
constexpr std::string_view kEndOfString = "\x86\x84";

// Integer tags of the typedstream format. Single bytes from 0x80 to 0x91 are
// tags; from 0x92 a single byte is a negative value (-110..-1), which no
// string length is.
constexpr unsigned char kTagInt16 = 0x81;
constexpr unsigned char kTagInt32 = 0x82;
constexpr unsigned char kFirstTag = 0x80;

// The U+FFFC and U+FFFD placeholders share their first two UTF-8 bytes.
constexpr unsigned char kPlaceholderLead = 0xEF;
constexpr unsigned char kPlaceholderSecond = 0xBF;
constexpr unsigned char kObjectReplacementLast = 0xBC;  // U+FFFC, one per attachment
constexpr unsigned char kReplacementLast = 0xBD;        // U+FFFD, an app balloon

struct DeclaredLength {
    std::size_t value = 0;
    std::size_t textStart = 0;
};

std::uint32_t littleEndian(const unsigned char* bytes, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
    return value;
}

// The string length at `at`; nothing when the bytes end inside it or the
// byte there is a tag or a negative value.
std::optional<DeclaredLength> readLength(std::string_view blob, std::size_t at) {
    if (at >= blob.size()) return std::nullopt;
    const auto* bytes = reinterpret_cast<const unsigned char*>(blob.data());
    const unsigned char head = bytes[at];
    if (head < kFirstTag) return DeclaredLength{head, at + 1};
    const int width = head == kTagInt16 ? 2 : head == kTagInt32 ? 4 : 0;
    if (width == 0 || blob.size() - at - 1 < static_cast<std::size_t>(width)) return std::nullopt;
    return DeclaredLength{littleEndian(bytes + at + 1, width), at + 1 + width};
}

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        int extra = 0;
        unsigned char low = 0x80;  // allowed range of the second byte
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            if (lead == 0xE0) low = 0xA0;   // overlong below U+0800
            if (lead == 0xED) high = 0x9F;  // surrogates U+D800..U+DFFF
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            if (lead == 0xF0) low = 0x90;   // overlong below U+10000
            if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
        } else {
            return false;  // a stray continuation byte, C0, C1 or F5..FF
        }
        if (size - i <= static_cast<std::size_t>(extra)) return false;
        if (bytes[i + 1] < low || bytes[i + 1] > high) return false;
        for (int k = 2; k <= extra; ++k)
            if (!isContinuation(bytes[i + k])) return false;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

bool isPlaceholderAt(std::string_view text, std::size_t at) {
    if (text.size() - at < 3) return false;
    const auto second = static_cast<unsigned char>(text[at + 1]);
    const auto last = static_cast<unsigned char>(text[at + 2]);
    return second == kPlaceholderSecond && (last == kObjectReplacementLast || last == kReplacementLast);
}

}  // namespace

std::optional<std::string> AttributedBody::extractText(const unsigned char* data, std::size_t size) {
    if (data == nullptr || size < sizeof kHeader || std::memcmp(data, kHeader, sizeof kHeader) != 0)
        return std::nullopt;
    const std::string_view blob(reinterpret_cast<const char*>(data), size);

    const std::size_t className = blob.find(kStringClass, sizeof kHeader);
    if (className == std::string_view::npos) return std::nullopt;
    const std::size_t type = blob.find(kUtf8StringType, className + kStringClass.size());
    if (type == std::string_view::npos) return std::nullopt;

    const auto length = readLength(blob, type + kUtf8StringType.size());
    if (!length) return std::nullopt;
    std::string_view text;
    if (length->value <= size - length->textStart) {
        text = blob.substr(length->textStart, length->value);
    } else {
        // The length runs past the blob: real files hold such blobs, whose
        // text still ends where the string object does.
        const std::size_t end = blob.find(kEndOfString, length->textStart);
        if (end == std::string_view::npos) return std::nullopt;
        text = blob.substr(length->textStart, end - length->textStart);
    }
    if (!isValidUtf8(text)) return std::nullopt;
    return std::string(text);
}

std::optional<std::string> AttributedBody::withoutPlaceholders(std::string_view text) {
    const void* first = std::memchr(text.data(), kPlaceholderLead, text.size());
    if (first == nullptr) {
        if (text.empty()) return std::nullopt;
        return std::string(text);
    }
    std::string kept;
    kept.reserve(text.size());
    std::size_t from = 0;
    std::size_t at = static_cast<std::size_t>(static_cast<const char*>(first) - text.data());
    while (at != std::string_view::npos) {
        if (isPlaceholderAt(text, at)) {
            kept.append(text, from, at - from);
            from = at + 3;
            at = text.find(static_cast<char>(kPlaceholderLead), from);
        } else {
            at = text.find(static_cast<char>(kPlaceholderLead), at + 1);
        }
    }
    kept.append(text, from, std::string_view::npos);
    if (kept.empty()) return std::nullopt;
    return kept;
}
