#include "tools/fixtures/TrafficGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

constexpr std::int64_t kFrom = 1338508800;  // 2012-06-01
constexpr std::int64_t kTo = 1370044800;    // 2013-06-01

TrafficOptions options(std::uint64_t seed = 7, double nonSmsShare = 0.0) {
    TrafficOptions result;
    result.seed = seed;
    result.fromDate = kFrom;
    result.toDate = kTo;
    result.nonSmsShare = nonSmsShare;
    return result;
}

// Code points of valid UTF-8; nothing when the bytes are not valid UTF-8.
std::optional<std::vector<char32_t>> decode(const std::string& text) {
    std::vector<char32_t> result;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int extra = lead < 0x80           ? 0
                          : (lead >> 5) == 0x6  ? 1
                          : (lead >> 4) == 0xE  ? 2
                          : (lead >> 3) == 0x1E ? 3
                                                : -1;
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= text.size()) return std::nullopt;
        char32_t point = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return std::nullopt;
            point = (point << 6) | (next & 0x3F);
        }
        result.push_back(point);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return result;
}

std::size_t utf16Length(const std::vector<char32_t>& points) {
    std::size_t length = 0;
    for (char32_t point : points) length += point > 0xFFFF ? 2 : 1;
    return length;
}

bool containsAny(const std::vector<char32_t>& points, std::initializer_list<char32_t> wanted) {
    return std::any_of(points.begin(), points.end(),
                       [&](char32_t p) { return std::find(wanted.begin(), wanted.end(), p) != wanted.end(); });
}

bool containsRange(const std::vector<char32_t>& points, char32_t first, char32_t last) {
    return std::any_of(points.begin(), points.end(), [&](char32_t p) { return p >= first && p <= last; });
}

TEST(TrafficGeneratorTest, SameSeedGivesSameTrafficOtherSeedOther) {
    auto first = TrafficGenerator(options(7)).generate(500);
    auto again = TrafficGenerator(options(7)).generate(500);
    auto other = TrafficGenerator(options(8)).generate(500);
    auto sameMessages = [](const std::vector<FixtureMessage>& a, const std::vector<FixtureMessage>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
            return x.address == y.address && x.text == y.text && x.unixDate == y.unixDate && x.sent == y.sent &&
                   x.service == y.service;
        });
    };
    EXPECT_TRUE(sameMessages(first, again));
    EXPECT_FALSE(sameMessages(first, other));
}

TEST(TrafficGeneratorTest, CorrespondentsAreDistinctInVariedFormats) {
    TrafficOptions wide = options();
    wide.correspondents = 300;
    auto numbers = TrafficGenerator(wide).correspondents();
    ASSERT_EQ(numbers.size(), 300u);
    // Distinct even after formatting is stripped: two formats of one number
    // would be one person to a reader.
    std::set<std::string> digits;
    for (const auto& number : numbers) {
        std::string bare;
        std::copy_if(number.begin(), number.end(), std::back_inserter(bare), ::isdigit);
        if (bare.size() == 11 && bare[0] == '1') bare.erase(0, 1);
        digits.insert(bare);
    }
    EXPECT_EQ(digits.size(), numbers.size());

    auto first30 = TrafficGenerator(options()).correspondents();
    auto has = [&](auto predicate) { return std::any_of(first30.begin(), first30.end(), predicate); };
    EXPECT_TRUE(has([](const std::string& n) { return n.rfind("+1 (", 0) == 0; }));
    EXPECT_TRUE(has(
        [](const std::string& n) { return n.size() == 10 && n.find_first_not_of("0123456789") == std::string::npos; }));
    EXPECT_TRUE(has([](const std::string& n) { return n.rfind("+44 ", 0) == 0; }));
    EXPECT_TRUE(has([](const std::string& n) { return n.size() == 5; }));  // a short code
}

TEST(TrafficGeneratorTest, DatesRiseEvenlyAcrossThePeriod) {
    auto messages = TrafficGenerator(options()).generate(2000);
    ASSERT_EQ(messages.size(), 2000u);
    for (std::size_t i = 1; i < messages.size(); ++i) ASSERT_LE(messages[i - 1].unixDate, messages[i].unixDate);
    EXPECT_GE(messages.front().unixDate, kFrom);
    EXPECT_LE(messages.back().unixDate, kTo);
    const std::int64_t slice = (kTo - kFrom) / 2000;
    EXPECT_LT(messages.front().unixDate - kFrom, 2 * slice);
    EXPECT_LT(kTo - messages.back().unixDate, 2 * slice);
    EXPECT_NEAR(static_cast<double>(messages[1000].unixDate), (kFrom + kTo) / 2.0, 3.0 * slice);
}

TEST(TrafficGeneratorTest, NextAloneSpreadsOverTheExpectedCount) {
    TrafficOptions stream = options();
    stream.expectedCount = 100;
    TrafficGenerator generator(stream);
    FixtureMessage last;
    for (int i = 0; i < 100; ++i) last = generator.next();
    EXPECT_GT(last.unixDate, kTo - (kTo - kFrom) / 50);
    // Past the expected count the dates stay at the end, never beyond.
    EXPECT_EQ(generator.next().unixDate, kTo);
}

TEST(TrafficGeneratorTest, BodiesHaveTheMixARealPhoneSees) {
    auto messages = TrafficGenerator(options()).generate(20000);
    int sent = 0, nulls = 0, empties = 0, multiSegment = 0, veryLong = 0, shortOnes = 0;
    int gsmExtended = 0, gsmAccents = 0, latinOutsideGsm = 0, greek = 0, cyrillic = 0, chinese = 0, astral = 0;
    for (const auto& message : messages) {
        sent += message.sent;
        EXPECT_EQ(message.service, "SMS");
        if (!message.text) {
            ++nulls;
            continue;
        }
        auto points = decode(*message.text);
        ASSERT_TRUE(points) << "not UTF-8: " << *message.text;
        const std::size_t length = utf16Length(*points);
        empties += length == 0;
        multiSegment += length > 160;
        veryLong += length > 700;
        shortOnes += length >= 10 && length <= 120;
        gsmExtended += containsAny(*points, {U'€', U'{', U'}', U'[', U']', U'~', U'^', U'\\', U'|'});
        gsmAccents += containsAny(*points, {U'é', U'è', U'ü', U'ñ', U'Ä'});
        latinOutsideGsm += containsAny(*points, {U'ç', U'á', U'í', U'ó', U'ú'});
        greek += containsRange(*points, U'α', U'ω');
        cyrillic += containsRange(*points, 0x400, 0x4FF);
        chinese += containsRange(*points, 0x4E00, 0x9FFF);
        astral += containsRange(*points, 0x10000, 0x10FFFF);
        EXPECT_EQ(points->end(), std::find(points->begin(), points->end(), U'\t'));
    }
    const double total = static_cast<double>(messages.size());
    EXPECT_NEAR(sent / total, 0.45, 0.04);
    EXPECT_GT(shortOnes / total, 0.8);
    for (int count : {nulls, empties, multiSegment, veryLong, gsmExtended, gsmAccents, latinOutsideGsm, greek, cyrillic,
                      chinese, astral})
        EXPECT_GT(count, 0);
    EXPECT_LT(nulls, empties);
    EXPECT_LT(veryLong, multiSegment);
    EXPECT_GT(multiSegment / total, 0.03);
}

TEST(TrafficGeneratorTest, OtherServiceTakesItsShareButNeverForShortCodes) {
    TrafficGenerator generator(options(7, 0.2));
    auto messages = generator.generate(10000);
    auto numbers = generator.correspondents();
    int other = 0;
    for (const auto& message : messages) {
        if (message.service == "SMS") continue;
        ++other;
        EXPECT_EQ(message.service, "iMessage");
        const auto found = std::find(numbers.begin(), numbers.end(), message.address);
        ASSERT_NE(found, numbers.end());
        EXPECT_FALSE(generator.isShortCode(static_cast<std::size_t>(found - numbers.begin()))) << message.address;
    }
    EXPECT_NEAR(other / 10000.0, 0.2, 0.05);
}

}  // namespace
