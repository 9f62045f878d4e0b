// Property lists nested deeper than anything real: refused on their bytes,
// before libplist's recursive reader runs the stack out.

#include "platform/PropertyList.h"
#include "platform/ProgramLog.h"
#include "platform/PropertyListDepth.h"
#include "support/CapturedStderr.h"

#include <plist/plist.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr int kLimit = PropertyListDepth::kMaxDepth;

std::string repeated(const std::string& part, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += part;
    return text;
}

// A settings dictionary whose key "k" holds `arrays` arrays, each inside the
// one before: <plist> and <dict> open two elements more.
std::string nestedXml(int arrays, const std::string& open = "<array>", const std::string& close = "</array>") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\"><dict><key>k</key>" +
           repeated(open, arrays) + repeated(close, arrays) + "</dict></plist>\n";
}

void appendBigEndian(std::string& out, std::uint64_t value, int width) {
    for (int i = width - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A bplist00 file from its objects, each given by its marker byte and the
// objects it refers to; object 0 is the top. References and offsets take
// four bytes each.
struct BinaryObject {
    unsigned char marker;  // the type nibble; the count nibble is filled in
    std::vector<std::uint32_t> references;
    std::string payload;  // for a string: its bytes
};

std::string binaryList(const std::vector<BinaryObject>& objects) {
    std::string out = "bplist00";
    std::vector<std::uint64_t> offsets;
    for (const BinaryObject& object : objects) {
        offsets.push_back(out.size());
        const bool dictionary = object.marker == 0xD0;
        const std::size_t count =
            object.payload.empty() ? object.references.size() / (dictionary ? 2 : 1) : object.payload.size();
        if (count < 15) {
            out += static_cast<char>(object.marker | count);
        } else {
            out += static_cast<char>(object.marker | 0x0F);
            out += static_cast<char>(0x12);  // a four-byte integer
            appendBigEndian(out, count, 4);
        }
        out += object.payload;
        for (const std::uint32_t reference : object.references) appendBigEndian(out, reference, 4);
    }
    const std::uint64_t table = out.size();
    for (const std::uint64_t offset : offsets) appendBigEndian(out, offset, 4);
    out += std::string(6, '\0');
    out += static_cast<char>(4);  // offset size
    out += static_cast<char>(4);  // reference size
    appendBigEndian(out, objects.size(), 8);
    appendBigEndian(out, 0, 8);
    appendBigEndian(out, table, 8);
    return out;
}

// {"k": [[[...]]]} with `arrays` arrays.
std::string nestedBinary(int arrays) {
    std::vector<BinaryObject> objects{{0xD0, {1, 2}, {}}, {0x50, {}, "k"}};
    for (int i = 0; i < arrays; ++i) {
        const std::uint32_t self = static_cast<std::uint32_t>(objects.size());
        objects.push_back(
            {0xA0, i + 1 < arrays ? std::vector<std::uint32_t>{self + 1} : std::vector<std::uint32_t>{}, {}});
    }
    return binaryList(objects);
}

// libplist's own binary writer, for a dictionary nesting `dictionaries`
// dictionaries under the root.
std::string libplistBinary(int dictionaries) {
    plist_t root = plist_new_dict();
    plist_t inner = root;
    for (int i = 0; i < dictionaries; ++i) {
        plist_t next = plist_new_dict();
        plist_dict_set_item(inner, "d", next);
        inner = next;
    }
    plist_dict_set_item(inner, "smsquota", plist_new_uint(500));
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    std::string result(bytes, length);
    plist_to_bin_free(bytes);
    plist_free(root);
    return result;
}

}  // namespace

TEST(PropertyListDepth, XmlUpToTheLimitReadsOneLevelMoreIsRefused) {
    // <plist> and <dict> are two of the levels.
    EXPECT_FALSE(PropertyListDepth::xmlProblem(nestedXml(kLimit - 2)).has_value());
    ASSERT_TRUE(PropertyListDepth::xmlProblem(nestedXml(kLimit - 1)).has_value());
    EXPECT_EQ(*PropertyListDepth::xmlProblem(nestedXml(kLimit - 1)), "nested deeper than 64 levels");
    EXPECT_TRUE(PropertyList::fromXml(nestedXml(kLimit - 2)).has_value());
    EXPECT_FALSE(PropertyList::fromXml(nestedXml(kLimit - 1)).has_value());
}

TEST(PropertyListDepth, WhatOpensNoElementIsNotCounted) {
    const int many = 5 * kLimit;
    for (const std::string& filler :
         {repeated("<array/>", many), repeated("<array />", many), repeated("<!-- <array> -->", many),
          "<string><![CDATA[" + repeated("<array>", many) + "]]></string>", repeated("<?pi <array> ?>", many),
          std::string("<string a=\"<array>\" b='<dict>'>x</string>")}) {
        const std::string xml = "<plist version=\"1.0\"><dict><key>k</key>" + filler + "</dict></plist>";
        EXPECT_FALSE(PropertyListDepth::xmlProblem(xml).has_value()) << filler.substr(0, 40);
    }
    const std::string declared = "<!DOCTYPE plist [ <!ENTITY x \"<array>\"> <!ELEMENT plist ANY> ]>" + nestedXml(3);
    EXPECT_FALSE(PropertyListDepth::xmlProblem(declared).has_value());
}

TEST(PropertyListDepth, EndTagsCloseOnlyTheElementTheyName) {
    // A stray end tag must not hide the arrays still open.
    EXPECT_TRUE(PropertyListDepth::xmlProblem(nestedXml(kLimit, "<array></x>", "</array>")).has_value());
    EXPECT_TRUE(PropertyListDepth::xmlProblem(nestedXml(kLimit, "<array><!-- </array> -->", "</array>")).has_value());
    // Any element counts, known to libplist or not.
    EXPECT_TRUE(PropertyListDepth::xmlProblem(nestedXml(kLimit, "<x>", "</x>")).has_value());
    EXPECT_TRUE(PropertyListDepth::xmlProblem(nestedXml(kLimit, "<dict>", "</dict>")).has_value());
}

TEST(PropertyListDepth, DeepXmlIsRefusedWithOneLineNamingTheFile) {
    // 200,000 levels: libplist alone overflows the stack on these.
    const std::string xml = nestedXml(200000);
    std::optional<PropertyList> list;
    const std::string err = stderrOf([&] { list = PropertyList::fromXml(xml); });
    EXPECT_FALSE(list.has_value());
    EXPECT_EQ(err, ProgramLog::programName() + ": a property list: not read: nested deeper than 64 levels\n");
}

TEST(PropertyListDepth, BinaryUpToTheLimitReadsOneLevelMoreIsRefused) {
    // The root dictionary is one of the levels.
    EXPECT_FALSE(PropertyListDepth::binaryProblem(nestedBinary(kLimit - 1)).has_value());
    EXPECT_TRUE(PropertyListDepth::binaryProblem(nestedBinary(kLimit)).has_value());
    EXPECT_TRUE(PropertyList::fromXml(nestedBinary(kLimit - 1)).has_value());
    EXPECT_FALSE(PropertyList::fromXml(nestedBinary(kLimit)).has_value());
    std::optional<PropertyList> list;
    const std::string err = stderrOf([&] { list = PropertyList::fromXml(nestedBinary(200000)); });
    EXPECT_FALSE(list.has_value());
    EXPECT_EQ(lineCount(err), 1);
}

TEST(PropertyListDepth, LibplistsOwnBinaryFilesAreWalkedAsWritten) {
    EXPECT_FALSE(PropertyListDepth::problem(libplistBinary(10)).has_value());
    EXPECT_TRUE(PropertyList::fromXml(libplistBinary(10)).has_value());
    EXPECT_TRUE(PropertyListDepth::problem(libplistBinary(kLimit)).has_value());
    EXPECT_FALSE(PropertyList::fromXml(libplistBinary(kLimit)).has_value());
}

TEST(PropertyListDepth, BinaryCyclesAndSharedContainersAreRefused) {
    // An array holding itself is infinitely deep.
    EXPECT_TRUE(PropertyListDepth::binaryProblem(binaryList({{0xA0, {0}, {}}})).has_value());
    // Forty arrays, each holding the next one twice: shallow, but 2^40 paths.
    std::vector<BinaryObject> doubling;
    for (std::uint32_t i = 0; i < 40; ++i) doubling.push_back({0xA0, {i + 1, i + 1}, {}});
    doubling.push_back({0xA0, {}, {}});
    EXPECT_EQ(PropertyListDepth::binaryProblem(binaryList(doubling)),
              "a binary property list that shares its containers too often");
}

TEST(PropertyListDepth, DamagedBinaryListsAreRefused) {
    const std::string good = nestedBinary(3);
    ASSERT_FALSE(PropertyListDepth::binaryProblem(good).has_value());
    EXPECT_TRUE(PropertyListDepth::binaryProblem(good.substr(0, 20)).has_value());
    std::string badTop = good;
    badTop[badTop.size() - 9] = 99;  // the top object's number
    EXPECT_TRUE(PropertyListDepth::binaryProblem(badTop).has_value());
    // A reference past the last object.
    EXPECT_TRUE(PropertyListDepth::binaryProblem(binaryList({{0xA0, {7}, {}}})).has_value());
    // A count running past the objects.
    EXPECT_TRUE(PropertyListDepth::binaryProblem(binaryList({{0xA0, {}, std::string(3, '\0')}})).has_value());
}
