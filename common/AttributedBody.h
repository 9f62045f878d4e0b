#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Reads the message text out of the `attributedBody` column of a modern
// sms.db. The column holds an NSAttributedString archived by NSArchiver (a
// little-endian typedstream); newer phones leave `text` NULL and keep the body
// only there. This is not a typedstream parser: it finds the one string the
// archive starts with, which is all a counter needs, and gives up on anything
// else rather than guess.
class AttributedBody {
public:
    // The message text inside an attributedBody blob, as UTF-8; nullopt for
    // anything it cannot read (no typedstream header, no string, a length
    // that is not a byte count, text that is not valid UTF-8). Never reads
    // outside [data, data + size); the result is never longer than the blob.
    static std::optional<std::string> extractText(const unsigned char* data, std::size_t size);

    // `text` without the placeholders the phone puts in for an attachment
    // (U+FFFC) or an app balloon (U+FFFD); nullopt when nothing is left.
    // A text without placeholders costs one scan for their lead byte.
    static std::optional<std::string> withoutPlaceholders(std::string_view text);
};
