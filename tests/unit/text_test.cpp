// The text helpers the program uses: joining, blanks, and cutting a field out of a report.
#include "text/text.h"

#include <gtest/gtest.h>

namespace quelvarn {
namespace {

TEST(JoinTexts, PutsPartsOneAfterTheOther) {
    EXPECT_EQ(join_texts({}), "");
    EXPECT_EQ(join_texts({"a", "", "视频", "\\b"}), "a视频\\b");
}

TEST(StartsWith, ComparesBytesAtTheStart) {
    EXPECT_TRUE(starts_with("frame= 1", "frame="));
    EXPECT_TRUE(starts_with("abc", ""));
    EXPECT_FALSE(starts_with("fr", "frame="));
    EXPECT_FALSE(starts_with(" frame=", "frame="));
}

struct StripCase {
    const char* text;
    const char* expected;
};

TEST(StripBlanks, RemovesAsciiAndFullWidthBlanksAtBothEnds) {
    const StripCase cases[] = {
        {"  a b  ", "a b"},
        {"\ta ", "\ta"},
        {"a\r\n", "a\r\n"},
        {"   ", ""},
        {"", ""},
        {"\xE3\x80\x80"
         "a\xE3\x80\x80 ",
         "a"},
        {" \xE3\x80\x80 ", ""},
        // Half of a full-width blank is no blank.
        {"a\xE3\x80", "a\xE3\x80"},
        {"视 ", "视"},
    };
    for (const StripCase& c : cases) {
        EXPECT_EQ(strip_blanks(c.text), c.expected) << "text=" << c.text;
    }
}

struct BetweenCase {
    const char* source;
    const char* left;
    const char* right;
    std::size_t from;
    const char* expected;
};

TEST(TextBetween, CutsTheDurationFieldOutOfTheReport) {
    const BetweenCase cases[] = {
        {"  Duration: 00:01:02.50, start: 0.000000, bitrate: 1205 kb/s", "Duration: ", ",", 0,
         "00:01:02.50"},
        {"  Duration: N/A, bitrate: N/A", "Duration: ", ",", 0, "N/A"},
        {"Input #0, mov, from 'a.mp4':\n  Stream #0:0", "Duration: ", ",", 0, ""},
        {"  Duration: 00:00:10.00", "Duration: ", ",", 0, ""},  // no comma after it
        {"  Duration: 00:00:01.00, a\n  Duration: 00:00:02.00, b", "Duration: ", ",", 0,
         "00:00:01.00"},
        {"  Duration: 00:00:01.00, a\n  Duration: 00:00:02.00, b", "Duration: ", ",", 3,
         "00:00:02.00"},
        // The right marker counts only after the left one.
        {", Duration: 5, x", "Duration: ", ",", 0, "5"},
        {"abc", "c", "x", 0, ""},  // left marker ends at the end of the source
        {"ab,c", "", ",", 0, "ab"},
        {"a,,b", "a", ",", 0, ""},  // the right marker follows at once
        {"", "", ",", 0, ""},
        {"a=1", "=", "", 9, ""},  // from beyond the end
        {"key=\"视频\"", "key=\"", "\"", 0, "视频"},
    };
    for (const BetweenCase& c : cases) {
        EXPECT_EQ(text_between(c.source, c.left, c.right, c.from), c.expected)
            << "source=" << c.source;
    }
}

}  // namespace
}  // namespace quelvarn
