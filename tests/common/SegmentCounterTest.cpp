#include "common/SegmentCounter.h"

#include <gtest/gtest.h>

#include <string>

namespace {

int segments(const std::string& utf8) { return SegmentCounter::segmentsForUtf8(utf8.data(), utf8.size()); }

std::string repeat(const std::string& unit, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += unit;
    return out;
}

}  // namespace

TEST(SegmentCounter, TheListIsTheSeventyFourUnitsOfTheGsmAlphabetInTheirOrder) {
    // Written out here rather than read back from the code's own table, so
    // that a changed, swapped or missing character shows.
    const std::u16string expected =
        u"@\u20AC\u00A3$\u00A5\u00E8\u00E9\u00F9\u00EC\u00F2\u00C7\n\u00D8\u00F8\r\u00C5\u00E5\u0394_\u03A6\u0393"
        u"\u039B\u03A9\u03A0\u03A8\u03A3\u0398\u039E\u00C6\u00E6\u00DF\u00C9 !\"#\u00A4%&'()*+,-./:;<=>?\u00A1"
        u"\u00C4\u00D6\u00D1\u00DC\u00A7\u00BF\u00E4\u00F6\u00F1\u00FC\u00E0^{}\\[]~|";
    ASSERT_EQ(expected.size(), 74u);
    EXPECT_EQ(std::u16string(SegmentCounter::kGsmCharacters), expected);

    // Membership: letters, digits and exactly these 74 units.
    std::u16string accepted;
    for (int c = 0; c <= 0xFFFF; ++c) {
        const char16_t unit = static_cast<char16_t>(c);
        const bool letterOrDigit = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        const bool listed = expected.find(unit) != std::u16string::npos;
        EXPECT_EQ(SegmentCounter::isNormalSMS(std::u16string(1, unit)), letterOrDigit || listed)
            << "U+" << std::hex << c;
    }
}

TEST(SegmentCounter, AlphabetMembershipEdges) {
    EXPECT_TRUE(SegmentCounter::isNormalSMS(u""));
    EXPECT_TRUE(SegmentCounter::isNormalSMS(u"Hello World 0123456789"));
    EXPECT_TRUE(SegmentCounter::isNormalSMS(u"\u00C7a va {~} [x] \\ ^ | \u20AC"));
    EXPECT_FALSE(SegmentCounter::isNormalSMS(u"\u00E7a"));  // lower-case c cedilla is not in the set
    EXPECT_TRUE(SegmentCounter::isNormalSMS(u"line\nfeed\rreturn"));
    EXPECT_FALSE(SegmentCounter::isNormalSMS(u"tab\there"));
    EXPECT_FALSE(SegmentCounter::isNormalSMS(u"form\ffeed"));
    EXPECT_FALSE(SegmentCounter::isNormalSMS(u"`backtick"));
    EXPECT_FALSE(SegmentCounter::isNormalSMS(u"\U0001F600"));  // each surrogate half is outside
}

TEST(SegmentCounter, SegmentBoundariesForBothAlphabets) {
    EXPECT_EQ(segments(repeat("a", 1)), 1);
    EXPECT_EQ(segments(repeat("a", 160)), 1);
    EXPECT_EQ(segments(repeat("a", 161)), 2);
    EXPECT_EQ(segments(repeat("a", 320)), 2);
    EXPECT_EQ(segments(repeat("a", 321)), 3);
    // One character outside the set: 70 per segment, for every segment.
    EXPECT_EQ(segments("\xC3\xA7" + repeat("a", 69)), 1);
    EXPECT_EQ(segments("\xC3\xA7" + repeat("a", 70)), 2);
    EXPECT_EQ(segments("\xC3\xA7" + repeat("a", 139)), 2);
    EXPECT_EQ(segments("\xC3\xA7" + repeat("a", 140)), 3);
}

TEST(SegmentCounter, ExtensionCharactersCountOnceAndKeepTheGsmSize) {
    EXPECT_EQ(segments(repeat("\xE2\x82\xAC", 160)), 1);  // euro signs
    EXPECT_EQ(segments(repeat("{}", 80)), 1);
    EXPECT_EQ(segments(repeat("[]", 80) + "~"), 2);
}

TEST(SegmentCounter, EmojiCountsTwoCodeUnitsOutsideTheSet) {
    const std::string grin = "\xF0\x9F\x98\x80";
    EXPECT_EQ(segments(grin + repeat("a", 68)), 1);  // 70 units
    EXPECT_EQ(segments(grin + repeat("a", 69)), 2);  // 71 units
    std::u16string decoded;
    ASSERT_TRUE(SegmentCounter::decodeUtf8(grin.data(), grin.size(), decoded));
    EXPECT_EQ(decoded, u"\U0001F600");
}

TEST(SegmentCounter, NullEmptyAndUndecodableBodies) {
    EXPECT_EQ(SegmentCounter::segmentsForUtf8(nullptr, 0), 0);
    EXPECT_EQ(SegmentCounter::segmentsForUtf8("", 0), 1);
    EXPECT_EQ(SegmentCounter::segmentsForText(u""), 1);
    // Not valid UTF-8: the body decodes to nothing and costs one segment,
    // however long it is.
    for (const std::string& bad :
         {std::string("\xFF"), std::string("abc\xC3"), std::string("\xC0\xAF"), std::string("\xE0\x80\xAF"),
          std::string("\xED\xA0\x80"), std::string("\xF4\x90\x80\x80"), std::string("\x80 stray"),
          repeat("a", 400) + "\xC3"}) {
        EXPECT_EQ(segments(bad), 1) << bad.size();
        std::u16string decoded = u"left over";
        EXPECT_FALSE(SegmentCounter::decodeUtf8(bad.data(), bad.size(), decoded));
        EXPECT_TRUE(decoded.empty());
    }
    // The largest code point and a NUL byte are still valid text.
    EXPECT_EQ(segments("\xF4\x8F\xBF\xBF"), 1);
    EXPECT_EQ(segments(std::string("a\0b", 3)), 1);
}

TEST(SegmentCounter, TextAndBytePathsAgree) {
    const std::string samples[] = {"Hi there",
                                   "Gr\xC3\xBC\xC3\x9F"
                                   "e aus M\xC3\xBCnchen",
                                   repeat("\xCE\xB1\xCE\xB2", 40), repeat("x", 159) + "\xE2\x82\xAC",
                                   repeat("\xE4\xBD\xA0\xE5\xA5\xBD", 36)};
    for (const auto& sample : samples) {
        std::u16string decoded;
        ASSERT_TRUE(SegmentCounter::decodeUtf8(sample.data(), sample.size(), decoded));
        EXPECT_EQ(SegmentCounter::segmentsForText(decoded), segments(sample)) << sample;
    }
}
