#include "platform/TerminalText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

}  // namespace

TEST(TerminalText, ControlCharactersAreReplaced) {
    EXPECT_EQ(TerminalText::safe("Anna\x1b[2J\x1b]0;owned\x07"),
              "Anna" + kReplacement + "[2J" + kReplacement + "]0;owned" + kReplacement);
    EXPECT_EQ(TerminalText::safe("a\tb\nc\rd"), "a" + kReplacement + "b" + kReplacement + "c" + kReplacement + "d");
    EXPECT_EQ(TerminalText::safe(std::string("\0\x7f", 2)), kReplacement + kReplacement);
    // C1 controls, CSI (U+009B) among them, written as UTF-8.
    EXPECT_EQ(TerminalText::safe("x\xC2\x9B"
                                 "2Jy\xC2\x85"),
              "x" + kReplacement + "2Jy" + kReplacement);
}

TEST(TerminalText, PrintableTextStaysAsItWas) {
    for (const std::string text : {"", "Anna Becker", "+1 (415) 555-0101", "Zoë Müller", "王小明", "Emoji 😀",
                                   "\xC2\xA0nbsp", "/tmp/a b/c.plist"})
        EXPECT_EQ(TerminalText::safe(text), text);
}

TEST(TerminalText, BytesThatAreNoUtf8AreReplaced) {
    EXPECT_EQ(TerminalText::safe("a\xFF"
                                 "b"),
              "a" + kReplacement + "b");
    EXPECT_EQ(TerminalText::safe("\xC0\x9B"), kReplacement + kReplacement);                     // overlong ESC
    EXPECT_EQ(TerminalText::safe("\xED\xA0\x80"), kReplacement + kReplacement + kReplacement);  // a surrogate
    EXPECT_EQ(TerminalText::safe("\xF4\x90\x80\x80"), kReplacement + kReplacement + kReplacement + kReplacement);
    EXPECT_EQ(TerminalText::safe("end\xE2\x82"), "end" + kReplacement + kReplacement);  // cut short
}
