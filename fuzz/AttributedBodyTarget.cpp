// The attributedBody extractor on arbitrary blobs: whatever it returns is
// valid UTF-8 no longer than the blob, and removing the placeholders keeps
// it valid, shorter or equal, and free of them.

#include "common/AttributedBody.h"
#include "common/SegmentCounter.h"
#include "fuzz/FuzzCheck.h"

#include <cstdint>
#include <string>

namespace {

bool validUtf8(const std::string& text) {
    std::u16string ignored;
    return SegmentCounter::decodeUtf8(text.data(), text.size(), ignored);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto text = AttributedBody::extractText(data, size);
    if (!text) return 0;
    FUZZ_CHECK(validUtf8(*text), "the extracted text is valid UTF-8");
    FUZZ_CHECK(text->size() <= size, "the extracted text is no longer than the blob");
    const auto body = AttributedBody::withoutPlaceholders(*text);
    if (!body) return 0;
    FUZZ_CHECK(!body->empty(), "a body without placeholders is not empty");
    FUZZ_CHECK(validUtf8(*body), "the body is valid UTF-8");
    FUZZ_CHECK(body->size() <= text->size(), "removing placeholders never adds bytes");
    FUZZ_CHECK(body->find("\xEF\xBF\xBC") == std::string::npos, "no attachment placeholder is left");
    FUZZ_CHECK(body->find("\xEF\xBF\xBD") == std::string::npos, "no balloon placeholder is left");
    return 0;
}
