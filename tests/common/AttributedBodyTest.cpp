#include "common/AttributedBody.h"

#include "tools/fixtures/AttributedBodyEncoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// Runs the extractor on a heap copy of exactly `size` bytes, so a read past
// the end is an AddressSanitizer error rather than a read of spare capacity.
std::optional<std::string> extractExact(const unsigned char* data, std::size_t size) {
    auto copy = std::make_unique<unsigned char[]>(std::max<std::size_t>(size, 1));
    if (size > 0) std::memcpy(copy.get(), data, size);
    return AttributedBody::extractText(copy.get(), size);
}

std::optional<std::string> extract(const Bytes& blob) { return extractExact(blob.data(), blob.size()); }

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

// Where a byte sequence first occurs in the blob; npos when it does not.
std::size_t find(const Bytes& blob, const Bytes& pattern) {
    auto at = std::search(blob.begin(), blob.end(), pattern.begin(), pattern.end());
    return at == blob.end() ? std::string::npos : static_cast<std::size_t>(at - blob.begin());
}

const Bytes kStringType = {0x84, 0x01, 0x2B};

// The (up to) five bytes after the string type, where the length starts.
Bytes lengthBytes(const Bytes& blob) {
    const std::size_t start = find(blob, kStringType) + kStringType.size();
    const std::size_t count = std::min<std::size_t>(5, blob.size() - start);
    return Bytes(blob.begin() + static_cast<long>(start), blob.begin() + static_cast<long>(start + count));
}

// A message archived on a phone: NSAttributedString with an NSString, as
// dumps of real attributedBody columns show it, written out byte by byte
// independently of the encoder.
const Bytes kRealBlob = [] {
    Bytes blob = {0x04, 0x0B};
    for (char c : std::string_view("streamtyped")) blob.push_back(static_cast<unsigned char>(c));
    const Bytes rest = {0x81, 0xE8, 0x03, 0x84, 0x01, 0x40, 0x84, 0x84, 0x84, 0x12, 'N',  'S',  'A',  't',  't',  'r',
                        'i',  'b',  'u',  't',  'e',  'd',  'S',  't',  'r',  'i',  'n',  'g',  0x00, 0x84, 0x84, 0x08,
                        'N',  'S',  'O',  'b',  'j',  'e',  'c',  't',  0x00, 0x85, 0x92, 0x84, 0x84, 0x84, 0x08, 'N',
                        'S',  'S',  't',  'r',  'i',  'n',  'g',  0x01, 0x94, 0x84, 0x01, 0x2B, 0x0A, 'N',  'o',  't',
                        'e',  'r',  ' ',  't',  'e',  's',  't',  0x86, 0x84, 0x02, 'i',  'I',  0x01, 0x0A, 0x92, 0x84,
                        0x84, 0x84, 0x0C, 'N',  'S',  'D',  'i',  'c',  't',  'i',  'o',  'n',  'a',  'r',  'y',  0x00,
                        0x94, 0x84, 0x01, 'i',  0x01, 0x92, 0x84, 0x96, 0x96, 0x1D, '_',  '_',  'k',  'I',  'M',  'M',
                        'e',  's',  's',  'a',  'g',  'e',  'P',  'a',  'r',  't',  'A',  't',  't',  'r',  'i',  'b',
                        'u',  't',  'e',  'N',  'a',  'm',  'e',  0x86, 0x92, 0x84, 0x84, 0x84, 0x08, 'N',  'S',  'N',
                        'u',  'm',  'b',  'e',  'r',  0x00, 0x84, 0x84, 0x07, 'N',  'S',  'V',  'a',  'l',  'u',  'e',
                        0x00, 0x94, 0x84, 0x01, '*',  0x84, 0x99, 0x99, 0x00, 0x86, 0x86, 0x86};
    blob.insert(blob.end(), rest.begin(), rest.end());
    return blob;
}();

TEST(AttributedBodyTest, ReadsTheTextOfABlobAsThePhoneWritesIt) { EXPECT_EQ(extract(kRealBlob), "Noter test"); }

TEST(AttributedBodyTest, EncoderWritesTheMutableClassChainTheStringAndTheAttributeRun) {
    const Bytes blob = AttributedBodyEncoder::encode("See you at eight");
    const Bytes header = {0x04, 0x0B, 's', 't', 'r', 'e', 'a', 'm', 't', 'y', 'p', 'e', 'd', 0x81, 0xE8, 0x03};
    ASSERT_GT(blob.size(), header.size());
    EXPECT_TRUE(std::equal(header.begin(), header.end(), blob.begin()));
    // Class chains in order, the string right after its type, then the run.
    const std::size_t mutableAttributed = find(blob, bytesOf("\x19NSMutableAttributedString"));
    const std::size_t attributed = find(blob, bytesOf("\x12NSAttributedString"));
    const std::size_t object = find(blob, bytesOf("\x08NSObject"));
    const std::size_t mutableString = find(blob, bytesOf("\x0FNSMutableString\x01"));
    const std::size_t string = find(blob, bytesOf("\x08NSString\x01"));
    const std::size_t text = find(blob, bytesOf("\x84\x01\x2B\x10See you at eight\x86\x84\x02iI\x01\x10"));
    EXPECT_LT(mutableAttributed, attributed);
    EXPECT_LT(attributed, object);
    EXPECT_LT(object, mutableString);
    EXPECT_LT(mutableString, string);
    EXPECT_LT(string, text);
    EXPECT_NE(text, std::string::npos);
    EXPECT_NE(find(blob, bytesOf("__kIMMessagePartAttributeName")), std::string::npos);
    EXPECT_EQ(blob.back(), 0x86);
    EXPECT_EQ(extract(blob), "See you at eight");
}

TEST(AttributedBodyTest, MultiByteTextIsCountedInBytes) {
    // 10 mathematical bold letters and a space: 41 bytes, as in real blobs.
    const std::string bold =
        "\xF0\x9D\x96\x8D\xF0\x9D\x96\x8A\xF0\x9D\x96\x91\xF0\x9D\x96\x91\xF0\x9D\x96\x94 "
        "\xF0\x9D\x96\x9C\xF0\x9D\x96\x94\xF0\x9D\x96\x97\xF0\x9D\x96\x91\xF0\x9D\x96\x89";
    ASSERT_EQ(bold.size(), 41u);
    const std::string others[] = {"Grüße aus Köln 👋🏽 — 5 €", "日本語のテキスト"};
    for (const std::string& text : {bold, others[0], others[1]}) {
        const Bytes blob = AttributedBodyEncoder::encode(text);
        EXPECT_EQ(extract(blob), text);
        EXPECT_EQ(lengthBytes(blob).front(), text.size());
    }
}

TEST(AttributedBodyTest, LengthsAboveOneHundredTwentySevenTakeTheLongForm) {
    struct Case {
        std::size_t length;
        Bytes prefix;
    } cases[] = {
        {0, {0x00}},
        {127, {0x7F}},
        {128, {0x81, 0x80, 0x00}},
        {255, {0x81, 0xFF, 0x00}},
        {256, {0x81, 0x00, 0x01}},
        {70000, {0x82, 0x70, 0x11, 0x01, 0x00}},
    };
    for (const auto& c : cases) {
        std::string text(c.length, 'a');
        if (c.length > 3) text.replace(c.length - 3, 3, "€");  // ends in a multi-byte character
        const Bytes blob = AttributedBodyEncoder::encode(text);
        const Bytes prefix = lengthBytes(blob);
        EXPECT_TRUE(std::equal(c.prefix.begin(), c.prefix.end(), prefix.begin())) << c.length;
        EXPECT_EQ(extract(blob), text) << c.length;
    }
}

TEST(AttributedBodyTest, ASingleLengthByteAboveSevenBitsIsNotALength) {
    // 200 written the way no archiver does: as one byte, which the format
    // reads as -56. Neither that nor a tag byte is a string length.
    Bytes blob = AttributedBodyEncoder::encode(std::string(200, 'x'));
    const std::size_t length = find(blob, kStringType) + kStringType.size();
    ASSERT_EQ(blob[length], 0x81);
    blob.erase(blob.begin() + static_cast<long>(length) + 1, blob.begin() + static_cast<long>(length) + 3);
    for (unsigned char head : {0xC8, 0x80, 0x83, 0x84, 0x85, 0x86, 0x91, 0x92, 0xFF}) {
        blob[length] = head;
        EXPECT_EQ(extract(blob), std::nullopt) << int(head);
    }
}

TEST(AttributedBodyTest, ALengthPastTheBlobEndsTheTextAtTheEndOfTheString) {
    const Bytes longer = AttributedBodyEncoder::encodeDeclaring("Running late", 5000);
    EXPECT_EQ(extract(longer), "Running late");
    // With a long-form length too.
    EXPECT_EQ(extract(AttributedBodyEncoder::encodeDeclaring("ok", 0x7FFFFFFF)), "ok");
    EXPECT_EQ(extract(AttributedBodyEncoder::encodeDeclaring("ok", 0xFFFFFFFFu)), "ok");

    // Cut right after the text: no end marker, nothing to trust.
    Bytes cut = longer;
    cut.resize(find(cut, bytesOf("Running late")) + 12);
    EXPECT_EQ(extract(cut), std::nullopt);
    // A length that fits is taken as it is, marker or not.
    Bytes exact = AttributedBodyEncoder::encode("Running late");
    exact.resize(find(exact, bytesOf("Running late")) + 12);
    EXPECT_EQ(extract(exact), "Running late");
}

TEST(AttributedBodyTest, EveryTruncationGivesTheWholeTextOrNothing) {
    for (const std::string& text : {std::string("Hi 👋"), std::string(300, 'z')}) {
        const Bytes blob = AttributedBodyEncoder::encode(text);
        const std::size_t textEnd = find(blob, bytesOf(text)) + text.size();
        for (std::size_t size = 0; size <= blob.size(); ++size) {
            const auto result = extractExact(blob.data(), size);
            if (size >= textEnd)
                EXPECT_EQ(result, text) << size;
            else
                EXPECT_EQ(result, std::nullopt) << size;
        }
    }
    for (std::size_t size = 0; size <= kRealBlob.size(); ++size) {
        const auto result = extractExact(kRealBlob.data(), size);
        EXPECT_TRUE(!result || *result == "Noter test") << size;
    }
}

TEST(AttributedBodyTest, GarbageAndForeignDataGiveNothing) {
    EXPECT_EQ(AttributedBody::extractText(nullptr, 0), std::nullopt);
    EXPECT_EQ(extract({}), std::nullopt);
    EXPECT_EQ(extract(bytesOf("Just a text column")), std::nullopt);
    EXPECT_EQ(extract(bytesOf("bplist00\xD4\x01\x02\x03")), std::nullopt);

    Bytes bigEndian = kRealBlob;
    std::memcpy(bigEndian.data() + 2, "typedstream", 11);
    EXPECT_EQ(extract(bigEndian), std::nullopt);
    Bytes oldVersion = kRealBlob;
    oldVersion[0] = 0x03;
    EXPECT_EQ(extract(oldVersion), std::nullopt);

    // A string type with no NSString class before it is not the message.
    Bytes noClass = kRealBlob;
    const std::size_t name = find(noClass, bytesOf("NSString"));
    noClass[name + 2] = 'X';
    EXPECT_EQ(extract(noClass), std::nullopt);

    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<std::size_t> length(0, 120);
    const Bytes prefix(kRealBlob.begin(), kRealBlob.begin() + static_cast<long>(find(kRealBlob, kStringType) + 3));
    for (int round = 0; round < 3000; ++round) {
        Bytes blob = round % 2 ? prefix : Bytes(kRealBlob.begin(), kRealBlob.begin() + 13);
        const std::size_t extra = length(random);
        for (std::size_t i = 0; i < extra; ++i) blob.push_back(static_cast<unsigned char>(byte(random)));
        const auto result = extract(blob);
        if (result) {
            EXPECT_LE(result->size(), blob.size());
        }
    }
}

TEST(AttributedBodyTest, InvalidUtf8GivesNothingValidEdgesPass) {
    const std::string invalid[] = {
        "\xC0\xAF",          // overlong '/'
        "\xE0\x80\xAF",      // overlong, three bytes
        "\xF0\x80\x80\xAF",  // overlong, four bytes
        "\xED\xA0\x80",      // surrogate U+D800
        "\xED\xBF\xBF",      // surrogate U+DFFF
        "\xF4\x90\x80\x80",  // U+110000
        "\xF5\x80\x80\x80",  // no such lead byte
        "ok\x80",            // stray continuation
        "ok\xE2\x82",        // sequence cut off
        "\xE2\x28\xA1",      // continuation missing
        "\xFF",
    };
    for (const std::string& text : invalid)
        EXPECT_EQ(extract(AttributedBodyEncoder::encode(text)), std::nullopt) << text;

    const std::string valid[] = {
        "\x7F",         "\xC2\x80",     "\xDF\xBF",         "\xE0\xA0\x80",
        "\xED\x9F\xBF", "\xEE\x80\x80", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF",
    };
    for (const std::string& text : valid) EXPECT_EQ(extract(AttributedBodyEncoder::encode(text)), text) << text;
}

TEST(AttributedBodyTest, PlaceholdersAreStrippedAndNothingLeftIsNothing) {
    const std::string attachment = "\xEF\xBF\xBC";  // U+FFFC
    const std::string balloon = "\xEF\xBF\xBD";     // U+FFFD
    EXPECT_EQ(AttributedBody::withoutPlaceholders(""), std::nullopt);
    EXPECT_EQ(AttributedBody::withoutPlaceholders(attachment), std::nullopt);
    EXPECT_EQ(AttributedBody::withoutPlaceholders(attachment + balloon + attachment), std::nullopt);
    EXPECT_EQ(AttributedBody::withoutPlaceholders(attachment + "test 1" + attachment + "test 2 " + attachment),
              "test 1test 2 ");
    EXPECT_EQ(AttributedBody::withoutPlaceholders("Look " + balloon + "here"), "Look here");
    EXPECT_EQ(AttributedBody::withoutPlaceholders("Plain text"), "Plain text");
    // Other characters with the same lead byte stay: BOM, U+FFFE, U+FF01, a cut-off lead.
    const std::string kept =
        "\xEF\xBB\xBF"
        "a\xEF\xBF\xBE"
        "b\xEF\xBC\x81"
        "c\xEF\xBF";
    EXPECT_EQ(AttributedBody::withoutPlaceholders(kept), kept);

    // An attachment-only message: the blob holds just the placeholder.
    const auto text = extract(AttributedBodyEncoder::encode(attachment));
    ASSERT_EQ(text, attachment);
    EXPECT_EQ(AttributedBody::withoutPlaceholders(*text), std::nullopt);
}

}  // namespace
