// Searches and the operations that step through a text by characters, under both character
// rules: the GBK cases put a backslash byte (5C) inside a two-byte character (9C 5C); the UTF-8
// cases put CJK characters right beside backslashes.
#include <gtest/gtest.h>

#include "text/text.h"

namespace quelvarn {
namespace {

constexpr CharRule utf8 = CharRule::utf8;
constexpr CharRule gbk = CharRule::gbk;

struct LocateCase {
    const char* t;
    const char* s;
    int start;
    bool ignore_case;
    CharRule rule;
    int expected;
};

TEST(LocateText, FindsFirstMatchOnCharacterBoundaries) {
    const LocateCase cases[] = {
        {"abcabc", "c", 1, false, utf8, 3},
        {"abcabc", "c", 4, false, utf8, 6},
        {"abcabc", "c", 6, false, utf8, 6},
        {"abcabc", "c", 0, false, utf8, 3},
        {"abcabc", "c", -5, false, utf8, 3},
        {"abcabc", "c", 7, false, utf8, -1},  // start beyond the last byte
        {"abcabc", "x", 1, false, utf8, -1},
        {"abcabc", "", 1, false, utf8, 1},
        {"abcabc", "", 6, false, utf8, 1},
        {"", "", 1, false, utf8, -1},
        {"", "a", 1, false, utf8, -1},
        {"abc", "abcd", 1, false, utf8, -1},  // must lie inside t
        {"  Duration: 1", "duration: ", 1, true, utf8, 3},
        {"  Duration: 1", "duration: ", 1, false, utf8, -1},
        // GBK: the 5C inside 9C 5C is the second byte of a character, not a backslash.
        {"\x9C\x5C\\", "\\", 1, false, gbk, 3},
        {"a\x9C\x5C", "\\", 1, false, gbk, -1},
        {"\x9C\x5C\\", "\x5C\\", 1, false, gbk, -1},
        {"\x9C\x5C\\", "\\", 2, false, gbk, 3},  // a start inside a character moves on
        // Under the UTF-8 rule the same bytes are not one character: 9C is a stray byte.
        {"\x9C\x5C\\", "\\", 1, false, utf8, 2},
        // A GBK trail byte that is a letter is not folded.
        {"\x81\x41", "\x81\x61", 1, true, gbk, -1},
        {"\x81\x41x", "X", 1, true, gbk, 3},
        // UTF-8: CJK characters beside backslashes.
        {"视\\频\\a", "\\", 1, false, utf8, 4},
        {"视\\频\\a", "\\", 5, false, utf8, 8},
        {"视\\频\\a", "频", 1, false, utf8, 5},
        {"视a", "a", 2, false, utf8, 4},
        // A match may not begin inside a multi-byte character.
        {"视", "\xA7\x86", 1, false, utf8, -1},
        {"\xF0\x9F\x98\x80x", "x", 1, false, utf8, 5},
        // A broken sequence does not swallow the ASCII after it.
        {"\xE8"
         "a",
         "a", 1, false, utf8, 2},
    };
    for (const LocateCase& c : cases) {
        EXPECT_EQ(locate_text(c.t, c.s, c.start, c.ignore_case, c.rule), c.expected)
            << "t=" << c.t << " s=" << c.s << " start=" << c.start;
    }
}

struct BackwardCase {
    const char* t;
    const char* s;
    std::optional<int> start;
    CharRule rule;
    int expected;
};

TEST(LocateTextBackward, FindsLastMatchWhollyBeforeStart) {
    const BackwardCase cases[] = {
        {"a\\b\\c", "\\", {}, utf8, 4},
        {"a\\b\\c", "\\", 4, utf8, 2},
        {"a\\b\\c", "\\", 1, utf8, -1},
        {"a\\b\\c", "\\", 0, utf8, -1},
        {"a\\b\\c", "\\", 2, utf8, -1},
        {"a\\b\\c", "\\", 100, utf8, 4},
        {"a\\b\\c", "\\", 6, utf8, 4},
        {"abcabc", "bc", 6, utf8, 2},  // 5..6 does not lie wholly in the first 5 bytes
        {"abcabc", "bc", 7, utf8, 5},
        {"abc", "", {}, utf8, 1},
        {"abc", "", 1, utf8, -1},
        {"", "", {}, utf8, -1},
        {"abc", "x", {}, utf8, -1},
        {"D:\\v\\\x9C\x5C", "\\", {}, gbk, 5},
        {"\x9C\x5C", "\\", {}, gbk, -1},
        {"D:\\v\\\x9C\x5C", "\\", {}, utf8, 7},
        {"D:\\视\\频.mp4", "\\", 10, utf8, 7},
        {"D:\\视\\频.mp4", "\\", 6, utf8, 3},
    };
    for (const BackwardCase& c : cases) {
        EXPECT_EQ(locate_text_backward(c.t, c.s, c.start, false, c.rule), c.expected)
            << "t=" << c.t << " s=" << c.s << " start=" << c.start.value_or(0);
    }
    EXPECT_EQ(locate_text_backward("ABCabc", "b", {}, true), 5);
    EXPECT_EQ(locate_text_backward("ABCabc", "B", 5, true), 2);
}

struct SubstituteCase {
    const char* t;
    const char* old;
    const char* replacement;
    int start;
    std::optional<int> count;
    bool case_sensitive;
    CharRule rule;
    const char* expected;
};

TEST(SubstituteText, ReplacesLeftToRightWithoutRescanning) {
    const SubstituteCase cases[] = {
        {"aaa", "a", "b", 1, {}, true, utf8, "bbb"},
        {"aaa", "a", "b", 1, 2, true, utf8, "bba"},
        {"aaa", "a", "b", 1, 0, true, utf8, "aaa"},
        {"aaa", "a", "b", 2, {}, true, utf8, "abb"},
        {"aaa", "a", "b", 4, {}, true, utf8, "aaa"},
        {"aaaa", "aa", "a", 1, {}, true, utf8, "aa"},
        {"ab", "a", "aa", 1, {}, true, utf8, "aab"},  // inserted text is not scanned again
        {"abc", "b", "", 1, {}, true, utf8, "ac"},
        {"abc", "", "x", 1, {}, true, utf8, "abc"},
        {"", "a", "x", 1, {}, true, utf8, ""},
        {"AbA", "a", "x", 1, {}, false, utf8, "xbx"},
        {"AbA", "a", "x", 1, {}, true, utf8, "AbA"},
        {"#引号x#引号", "#引号", "\"", 1, {}, true, utf8, "\"x\""},
        {"\x9C\x5C\\", "\\", "/", 1, {}, true, gbk, "\x9C\x5C/"},
        {"\x9C\x5C\\", "\\", "/", 1, {}, true, utf8, "\x9C//"},
        {"视\\频\\", "\\", "/", 1, {}, true, utf8, "视/频/"},
    };
    for (const SubstituteCase& c : cases) {
        EXPECT_EQ(
            substitute_text(c.t, c.old, c.replacement, c.start, c.count, c.case_sensitive, c.rule),
            c.expected)
            << "t=" << c.t << " old=" << c.old;
    }
}

struct StripCase {
    const char* t;
    CharRule rule;
    const char* expected;
};

TEST(StripBlanks, RemovesAsciiAndFullWidthBlanksAtBothEnds) {
    const StripCase cases[] = {
        {"  a b  ", utf8, "a b"},
        {"\ta ", utf8, "\ta"},
        {"a\r\n", utf8, "a\r\n"},
        {"   ", utf8, ""},
        {"", utf8, ""},
        {"\xE3\x80\x80"
         "a\xE3\x80\x80 ",
         utf8, "a"},
        {"\xA1\xA1"
         "a\xA1\xA1",
         gbk, "a"},
        {" \xA1\xA1 ", gbk, ""},
        // A1 A1 is no blank under the UTF-8 rule.
        {"a\xA1\xA1", utf8, "a\xA1\xA1"},
        // A GBK lead byte left alone at the end is cut off; the blank before it stays.
        {" a \x80", gbk, "a "},
        {"a\x9C\x5C", gbk, "a\x9C\x5C"},
        {"视 ", utf8, "视"},
    };
    for (const StripCase& c : cases) {
        EXPECT_EQ(strip_blanks(c.t, c.rule), c.expected) << "t=" << c.t;
    }
}

struct SplitCase {
    const char* t;
    const char* separator;
    CharRule rule;
    std::vector<Text> expected;
};

TEST(SplitOn, CutsAtSeparatorsKeepingInnerEmptyPieces) {
    const SplitCase cases[] = {
        {"a::b", ":", utf8, {"a", "", "b"}},
        {"", ":", utf8, {}},
        {"a:", ":", utf8, {"a"}},
        {":a", ":", utf8, {"", "a"}},
        {"::", ":", utf8, {"", ""}},
        {"a:b", "", utf8, {"a:b"}},
        {"a--b--", "--", utf8, {"a", "b"}},
        {"\x9C\x5C\\x", "\\", gbk, {"\x9C\x5C", "x"}},
        {"视\\频", "\\", utf8, {"视", "频"}},
    };
    for (const SplitCase& c : cases) {
        EXPECT_EQ(split_on(c.t, c.separator, c.rule), c.expected) << "t=" << c.t;
    }
    EXPECT_EQ(split_on("a,b"), (std::vector<Text>{"a", "b"}));
    EXPECT_EQ(element_count(split_on("1:2:3", ":")), 3);
}

struct ParseCase {
    const char* t;
    CharRule rule;
    std::int32_t expected;
};

TEST(ParseInt, MapsFullWidthFormsThenReadsLikeAtol) {
    const ParseCase cases[] = {
        {"02.50", utf8, 2},
        {"N/A", utf8, 0},
        {"", utf8, 0},
        {" -7x", utf8, -7},
        {"+5", utf8, 5},
        {"\t\n\v\f\r 42", utf8, 42},
        {"- 5", utf8, 0},
        {"4294967297", utf8, 1},  // wraps modulo 2^32
        {"2147483648", utf8, -2147483647 - 1},
        {"\xA3\xB1\xA3\xB2", gbk, 12},
        {"\xA1\xA1\xA3\xAD\xA3\xB3", gbk, -3},  // full-width blank, minus, three
        {"\xA3\xB1\xA3\xB2", utf8, 0},          // GBK bytes mean nothing under UTF-8
        {"１２", utf8, 12},
        {"\xE3\x80\x80－５", utf8, -5},
        {"１2３", utf8, 123},
    };
    for (const ParseCase& c : cases) {
        EXPECT_EQ(parse_int(c.t, c.rule), c.expected) << "t=" << c.t;
    }
}

}  // namespace
}  // namespace quelvarn
