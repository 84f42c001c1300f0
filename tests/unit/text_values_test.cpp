// Byte-counting cuts, comparisons, numbers and byte sequences.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "text/text.h"

namespace quelvarn {
namespace {

TEST(TextCuts, CountPlainBytesWithoutClampingTheStart) {
    EXPECT_EQ(text_slice("abcdef", 0, 3), "");
    EXPECT_EQ(text_slice("abcdef", -1, 3), "");
    EXPECT_EQ(text_slice("abcdef", 5, 10), "ef");
    EXPECT_EQ(text_slice("abcdef", 6, 1), "f");
    EXPECT_EQ(text_slice("abcdef", 7, 1), "");
    EXPECT_EQ(text_slice("abcdef", 2, 0), "");
    EXPECT_EQ(text_slice("abcdef", 2, -3), "");
    EXPECT_EQ(text_prefix("abc", 5), "abc");
    EXPECT_EQ(text_prefix("abc", 2), "ab");
    EXPECT_EQ(text_prefix("abc", 0), "");
    EXPECT_EQ(text_prefix("abc", -1), "");
    EXPECT_EQ(text_suffix("abc", 5), "abc");
    EXPECT_EQ(text_suffix("abc", 2), "bc");
    EXPECT_EQ(text_suffix("abc", -2), "");
    // Byte counts may cut a character in half.
    EXPECT_EQ(text_prefix("视", 1), "\xE8");
    EXPECT_EQ(byte_length("视"), 3);
    EXPECT_EQ(byte_length(""), 0);
}

TEST(TextCompare, ComparesUnsignedBytesAndLength) {
    EXPECT_EQ(text_compare("a", "b"), -1);
    EXPECT_EQ(text_compare("b", "a"), 1);
    EXPECT_EQ(text_compare("ab", "a"), 1);
    EXPECT_EQ(text_compare("a", "ab"), -1);
    EXPECT_EQ(text_compare("", ""), 0);
    EXPECT_EQ(text_compare("abc", "abc"), 0);
    EXPECT_EQ(text_compare("\x80", "a"), 1);  // bytes are unsigned
    EXPECT_EQ(text_compare("A", "a"), -1);    // case-sensitive
}

TEST(JoinTexts, PutsPartsOneAfterTheOther) {
    EXPECT_EQ(join_texts({"a", "", "视", "b"}), "a视b");
    EXPECT_EQ(join_texts({}), "");
}

struct FormatCase {
    double x;
    const char* expected;
};

TEST(FormatNumber, WritesLikePercentPoint13G) {
    const FormatCase cases[] = {
        {12.5, "12.5"},
        {100.0, "100"},
        {0.1235 * 100, "12.35"},
        {1.0 / 3, "0.3333333333333"},
        {53.48, "53.48"},
        {0, "0"},
        {-0.5, "-0.5"},
        {0.0001, "0.0001"},
        {0.00001, "1e-005"},  // the exponent has at least three digits on every runtime
        {1234567890123.0, "1234567890123"},
        {1e13, "1e+013"},
        {1.5e100, "1.5e+100"},
        {std::numeric_limits<double>::infinity(), "inf"},
        {-std::numeric_limits<double>::infinity(), "-inf"},
        {std::nan(""), "nan"},
    };
    for (const FormatCase& c : cases) {
        EXPECT_EQ(format_number(c.x), c.expected) << c.x;
    }
}

struct RoundCase {
    double x;
    int places;
    double expected;
};

TEST(RoundTo, RoundsHalvesAwayFromZero) {
    const RoundCase cases[] = {
        {0.12345, 4, 0.1235}, {0.53475935, 4, 0.5348},
        {0.00005, 4, 0.0001}, {2.5, 0, 3},
        {-2.5, 0, -3},        {2.4999, 0, 2},
        {1234.5, -2, 1200},   {1250, -2, 1300},
        {-1250, -2, -1300},   {0, 3, 0},
    };
    for (const RoundCase& c : cases) {
        EXPECT_DOUBLE_EQ(round_to(c.x, c.places), c.expected) << c.x << " " << c.places;
    }
    EXPECT_DOUBLE_EQ(round_to(7.6), 8);
    EXPECT_TRUE(std::isnan(round_to(std::nan(""), 2)));
    EXPECT_TRUE(std::signbit(round_to(-0.0, 2)));
    EXPECT_EQ(format_number(round_to(0.53475935, 4) * 100), "53.48");
}

TEST(RealToInt, TruncatesToSixtyFourBitsAndKeepsTheLowHalf) {
    EXPECT_EQ(real_to_int(2.9), 2);
    EXPECT_EQ(real_to_int(-2.9), -2);
    EXPECT_EQ(real_to_int(-0.5), 0);
    EXPECT_EQ(real_to_int(4294967296.0 + 5), 5);
    EXPECT_EQ(real_to_int(2147483648.0), -2147483647 - 1);
    EXPECT_EQ(real_to_int(-4294967297.0), -1);
    EXPECT_EQ(real_to_int(1e300), 0);
    EXPECT_EQ(real_to_int(std::nan("")), 0);
    EXPECT_EQ(raise_to(60.0, 2), 3600.0);
}

TEST(MakeSpaces, MakesAsciiBlanks) {
    EXPECT_EQ(make_spaces(3), "   ");
    EXPECT_EQ(make_spaces(0), "");
    EXPECT_EQ(make_spaces(-4), "");
    EXPECT_EQ(make_spaces(255).size(), 255u);
}

TEST(Bytes, PrefixZeroesAndText) {
    EXPECT_EQ(make_zero_bytes(3), (Bytes{0, 0, 0}));
    EXPECT_TRUE(make_zero_bytes(-1).empty());
    EXPECT_EQ(bytes_prefix(Bytes{1, 2, 3}, 2), (Bytes{1, 2}));
    EXPECT_EQ(bytes_prefix(Bytes{1, 2, 3}, 9), (Bytes{1, 2, 3}));
    EXPECT_TRUE(bytes_prefix(Bytes{1, 2, 3}, 0).empty());
    EXPECT_EQ(bytes_as_text(Bytes{0x61, 0x00, 0x62}), "a");
    EXPECT_EQ(bytes_as_text(Bytes{0xE8, 0xA7, 0x86}), "视");
    EXPECT_EQ(bytes_as_text(Bytes{}), "");
}

struct SubstituteBytesCase {
    Bytes b;
    Bytes old;
    Bytes replacement;
    int start;
    std::optional<int> count;
    Bytes expected;
};

TEST(SubstituteBytes, ReplacesExactBytesLeftToRight) {
    const SubstituteBytesCase cases[] = {
        {{0x0D, 0x0A}, {0x0A}, {0x0D, 0x0A}, 1, {}, {0x0D, 0x0D, 0x0A}},
        {{0x0A, 0x0A}, {0x0A}, {0x0D, 0x0A}, 1, {}, {0x0D, 0x0A, 0x0D, 0x0A}},
        {{0x0A, 0x0A}, {0x0A}, {0x0D, 0x0A}, 2, {}, {0x0A, 0x0D, 0x0A}},
        {{0x0A, 0x0A}, {0x0A}, {}, 1, 1, {0x0A}},
        {{0x0A, 0x0A}, {0x0A}, {0x00}, 1, 0, {0x0A, 0x0A}},
        {{0x9C, 0x5C, 0x5C}, {0x5C}, {0x2F}, 1, {}, {0x9C, 0x2F, 0x2F}},  // no character rule
        {{0x01}, {}, {0x02}, 1, {}, {0x01}},
        {{}, {0x01}, {0x02}, 1, {}, {}},
    };
    for (const SubstituteBytesCase& c : cases) {
        EXPECT_EQ(substitute_bytes(c.b, c.old, c.replacement, c.start, c.count), c.expected);
    }
}

}  // namespace
}  // namespace quelvarn
