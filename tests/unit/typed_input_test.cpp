// The path box and the size boxes read as people fill them: pasted with quotes, padded with
// blanks, typed with a Chinese input method's full-width digits and minus signs.
#include "ui/typed_input.h"

#include <gtest/gtest.h>

namespace quelvarn {
namespace {

TEST(CleanedPath, BlanksAndOnePairOfQuotesGo) {
    struct Case {
        const char* typed;
        const char* path;
    };
    const Case cases[] = {
        {"C:\\in\\short.mp4", "C:\\in\\short.mp4"},
        // Explorer's "Copy as path".
        {"\"C:\\in\\short.mp4\"", "C:\\in\\short.mp4"},
        {"  C:\\in\\short.mp4 ", "C:\\in\\short.mp4"},
        {"\tC:\\in\\short.mp4\r\n", "C:\\in\\short.mp4"},
        {"\xE3\x80\x80"
         "C:\\in\\short.mp4"
         "\xE3\x80\x80",
         "C:\\in\\short.mp4"},
        {" \"C:\\my clips\\a b.mp4\" ", "C:\\my clips\\a b.mp4"},
        {"\" C:\\in\\short.mp4 \"", "C:\\in\\short.mp4"},
        // Blanks inside the path are part of it.
        {"C:\\my clips\\a b.mp4", "C:\\my clips\\a b.mp4"},
        // One pair only, and only a pair.
        {"\"\"C:\\x.mp4\"\"", "\"C:\\x.mp4\""},
        {"\"C:\\x.mp4", "\"C:\\x.mp4"},
        {"\"", "\""},
        {"\"\"", ""},
        {"   ", ""},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(cleaned_path(c.typed), c.path) << c.typed;
}

TEST(IsAbsolutePath, DriveOrServerOnly) {
    struct Case {
        const char* path;
        bool absolute;
    };
    const Case cases[] = {
        {"C:\\in\\short.mp4", true},
        {"d:/clips/a.mp4", true},
        {"\\\\server\\share\\a.mp4", true},
        {"short.mp4", false},
        {"in\\short.mp4", false},
        {"C:short.mp4", false},
        {"\\in\\short.mp4", false},
        {"..\\short.mp4", false},
        {"\\\\\\x", false},
        {"1:\\x.mp4", false},
        {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(is_absolute_path(c.path), c.absolute) << c.path;
}

TEST(ParseFrameSide, WholeNumbersAsPeopleTypeThem) {
    struct Case {
        const char* typed;
        std::optional<int> side;
    };
    const Case cases[] = {
        {"240", 240},
        {"-1", -1},
        {"-1 ", -1},
        {" 720\t", 720},
        {"\xE3\x80\x80"
         "480"
         "\xE3\x80\x80",
         480},
        // Full-width digits U+FF10..U+FF19 and minus U+FF0D; the minus sign U+2212.
        {"\xEF\xBC\x92\xEF\xBC\x94\xEF\xBC\x90", 240},
        {"\xEF\xBC\x91\xEF\xBC\x92\xEF\xBC\x98\xEF\xBC\x90", 1280},
        {"\xEF\xBC\x8D\xEF\xBC\x91", -1},
        {"\xEF\xBC\x8D"
         "1",
         -1},
        {"\xE2\x88\x92"
         "1",
         -1},
        // Odd sizes round down to the even size H.264 needs.
        {"241", 240},
        {"3", 2},
        {"2", 2},
        {"0720", 720},
        {"8192", 8192},
        {"8193", 8192},
        // Refused.
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"0", std::nullopt},
        {"1", std::nullopt},
        {"8194", std::nullopt},
        {"99999999999", std::nullopt},
        {"abc", std::nullopt},
        {"12a", std::nullopt},
        {"1 2", std::nullopt},
        {"-2", std::nullopt},
        {"-240", std::nullopt},
        {"-0", std::nullopt},
        {"--1", std::nullopt},
        {"-", std::nullopt},
        {"+240", std::nullopt},
        {"240.5", std::nullopt},
        {"640:ih", std::nullopt},
        {"\xEF\xBC\x8D\xEF\xBC\x92", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(parse_frame_side(c.typed), c.side) << c.typed;
}

}  // namespace
}  // namespace quelvarn
