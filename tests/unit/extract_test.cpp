#include "text/extract.h"

#include <gtest/gtest.h>

namespace quelvarn {
namespace {

struct BetweenCase {
    const char* source;
    const char* left;
    const char* right;
    const char* expected;
};

TEST(TextBetween, CutsTheDurationFieldOutOfTheReport) {
    const BetweenCase cases[] = {
        {"  Duration: 00:01:02.50, start: 0.000000, bitrate: 1205 kb/s", "Duration: ", ",",
         "00:01:02.50"},
        {"  Duration: N/A, bitrate: N/A", "Duration: ", ",", "N/A"},
        {"Input #0, mov, from 'a.mp4':\n  Stream #0:0", "Duration: ", ",", ""},
        {"  Duration: 00:00:10.00", "Duration: ", ",", ""},  // no comma after it
        {"  Duration: 00:00:01.00, a\n  Duration: 00:00:02.00, b", "Duration: ", ",",
         "00:00:01.00"},
        // The right marker counts only after the left one.
        {", Duration: 5, x", "Duration: ", ",", "5"},
        {"abc", "c", "x", ""},  // left marker ends at the end of the source
        {"ab,c", "", ",", "ab"},
        {"ab,c", "a", "", ""},
        {"ab,c", "", "", ""},
        {"a,,b", "a", ",", ""},  // the right marker follows at once
        {"", "", ",", ""},
        // The placeholder stands for a double quote; it is never searched for itself.
        {"from 'x' to \"D:\\v\\a.mp4\":", "#引号", "#引号", "D:\\v\\a.mp4"},
        {"#引号abc#引号", "#引号", "#引号", ""},
        {"key=\"视频\"", "key=#引号", "#引号", "视频"},
    };
    for (const BetweenCase& c : cases) {
        EXPECT_EQ(text_between(c.source, c.left, c.right), c.expected) << "source=" << c.source;
    }
}

TEST(TextBetween, StartAndIgnoreCaseReachBothSearches) {
    const char* report = "Duration: 1, x\nDURATION: 2, y";
    EXPECT_EQ(text_between(report, "duration: ", ","), "");
    EXPECT_EQ(text_between(report, "duration: ", ",", 0, true), "1");
    EXPECT_EQ(text_between(report, "Duration: ", ",", 2, true), "2");
    EXPECT_EQ(text_between(report, "Duration: ", ",", 2, false), "");
    EXPECT_EQ(text_between("a=1X2x", "=", "x", 0, true), "1");
    // GBK: the 5C inside 9C 5C is no marker.
    EXPECT_EQ(text_between("\x9C\x5C"
                           "a\\b\\",
                           "\\", "\\", 0, false, CharRule::gbk),
              "b");
}

struct ExtractCase {
    const char* source;
    const char* left;
    const char* right;
    std::optional<bool> backward;
    std::optional<int> left_offset;
    std::optional<int> right_offset;
    CharRule rule;
    const char* expected;
};

TEST(ExtractText, TakesTheBaseNameAsTheResolutionChangeDoes) {
    const std::optional<int> none;
    const ExtractCase cases[] = {
        {"D:\\v\\a b.mp4", "\\", ".mp4", true, none, none, CharRule::utf8, "a b"},
        {"D:\\v\\clip.MP4", "\\", ".mp4", true, none, none, CharRule::utf8, ""},
        {"clip.mp4", "\\", ".mp4", true, none, none, CharRule::utf8, ""},
        {"E:\\a.mp4files\\clip.mp4", "\\", ".mp4", true, none, none, CharRule::utf8, "a"},
        {"D:\\v\\.mp4", "\\", ".mp4", true, none, none, CharRule::utf8, ""},
        {"D:\\v\\\x9C\x5C.mp4", "\\", ".mp4", true, none, none, CharRule::gbk, "\x9C\x5C"},
        {"D:\\v\\淺.mp4", "\\", ".mp4", true, none, none, CharRule::utf8, "淺"},
        {"D:\\视频\\片\\a.mp4", "\\", ".mp4", true, none, none, CharRule::utf8, "a"},
        {"", "\\", ".mp4", true, none, none, CharRule::utf8, ""},
    };
    for (const ExtractCase& c : cases) {
        EXPECT_EQ(extract_text(c.source, c.left, c.right, c.backward, c.left_offset, c.right_offset,
                               c.rule),
                  c.expected)
            << "source=" << c.source;
    }
}

TEST(ExtractText, MarkersModesAndOffsets) {
    const std::optional<int> none;
    const std::optional<bool> forward;
    const ExtractCase cases[] = {
        {"x[abc]y[d]", "[", "]", forward, none, none, CharRule::utf8, "abc"},
        {"x[abc]y[d]", "[", "]", forward, -1, none, CharRule::utf8, "[abc"},
        {"x[abc]y[d]", "[", "]", forward, none, 1, CharRule::utf8, "abc]"},
        {"x[abc]y[d]", "[", "]", false, none, none, CharRule::utf8, "abc"},  // given and false
        {"x[abc]y[d]", "[", "]", true, none, none, CharRule::utf8, "abc"},
        {"a[b]c[d]e", "[", "]", true, none, none, CharRule::utf8, "b"},
        {"x[abc]y[d]", "", "", forward, none, none, CharRule::utf8, "x[abc]y[d]"},
        {"x[abc]y[d]", "", "", true, none, none, CharRule::utf8, "x[abc]y[d]"},
        {"x[abc]y[d]", "", "]", forward, none, none, CharRule::utf8, "x[abc"},
        {"x[abc]y[d]", "y", "", forward, none, none, CharRule::utf8, "[d]"},
        // Forward: a right marker before the left one does not count.
        {"]x[abc", "[", "]", forward, none, none, CharRule::utf8, ""},
        {"x[abc", "[", "]", forward, none, none, CharRule::utf8, ""},
        {"abc", "x", "", forward, none, none, CharRule::utf8, ""},
        {"abc[", "[", "", forward, none, none, CharRule::utf8, ""},  // left marker at the very end
        // Backward with an empty right marker: after the last left marker.
        {"a\\b\\c", "\\", "", true, none, none, CharRule::utf8, "c"},
        {"a\\b\\c", "\\", "", forward, none, none, CharRule::utf8, "b\\c"},
        // The begin moved before the first byte is not clamped.
        {"[abc]", "[", "]", forward, -2, none, CharRule::utf8, ""},
        {"[abc]", "[", "]", forward, -1, none, CharRule::utf8, "[abc"},
        {"[abc]", "[", "]", forward, none, 5, CharRule::utf8, "abc]"},  // cut at the end
        {"[abc]", "[", "]", forward, 3, none, CharRule::utf8, ""},      // b - a <= 0
        {"[abc]", "[", "]", forward, 2, -1, CharRule::utf8, ""},
    };
    for (const ExtractCase& c : cases) {
        EXPECT_EQ(extract_text(c.source, c.left, c.right, c.backward, c.left_offset, c.right_offset,
                               c.rule),
                  c.expected)
            << "source=" << c.source << " left=" << c.left << " right=" << c.right;
    }
}

}  // namespace
}  // namespace quelvarn
