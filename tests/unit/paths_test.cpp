#include "text/paths.h"

#include <gtest/gtest.h>

#include <map>

namespace quelvarn {
namespace {

// Stands in for the system's short-name function: knows the short forms a test gives it and,
// like the system, hands one back only when it fits in the capacity with its terminating zero.
class FakeShortNames {
  public:
    explicit FakeShortNames(std::map<Text, Text> known) : known_(std::move(known)) {}

    ShortNameFunction function() {
        return [this](std::string_view path, int capacity) {
            calls.push_back({Text(path), capacity});
            auto found = known_.find(Text(path));
            if (found == known_.end()) return Text();
            if (static_cast<int>(found->second.size()) + 1 > capacity) return Text();
            return found->second;
        };
    }

    struct Call {
        Text path;
        int capacity;
    };
    std::vector<Call> calls;

  private:
    std::map<Text, Text> known_;
};

struct ShortPathCase {
    const char* path;
    std::map<Text, Text> short_forms;
    const char* expected;
    const char* asked;  // the text handed to the system; nullptr: no call at all
};

TEST(ShortPathIfSpaced, ShortensTheSpacedPartWhenItsShortFormFits) {
    const ShortPathCase cases[] = {
        {"D:\\v\\clip.mp4", {{"D:\\v\\clip.mp4", "D:\\v\\CLIP.MP4"}}, "D:\\v\\clip.mp4", nullptr},
        {"D:\\my videos\\clip.mp4",
         {{"D:\\my videos\\", "D:\\MYVIDE~1\\"}},
         "D:\\MYVIDE~1\\clip.mp4",
         "D:\\my videos\\"},
        {"D:\\v\\my holiday clip.mp4",
         {{"D:\\v\\my holiday clip.mp4", "D:\\v\\MYHOLI~1.MP4"}},
         "D:\\v\\MYHOLI~1.MP4",
         "D:\\v\\my holiday clip.mp4"},
        {"D:\\my videos\\a bc.mp4",
         {{"D:\\my videos\\a bc.mp4", "D:\\MYVIDE~1\\AB~1.MP4"}},
         "D:\\MYVIDE~1\\AB~1.MP4",
         "D:\\my videos\\a bc.mp4"},
        // The short form is one byte longer than the path: it does not fit.
        {"D:\\v\\a b.mp4",
         {{"D:\\v\\a b.mp4", "D:\\v\\AB~1.MP4"}},
         "D:\\v\\a b.mp4",
         "D:\\v\\a b.mp4"},
        {"D:\\a b\\c.mp4", {{"D:\\a b\\", "D:\\AB~1\\"}}, "D:\\a b\\c.mp4", "D:\\a b\\"},
        {"D:\\missing dir\\c.mp4", {}, "D:\\missing dir\\c.mp4", "D:\\missing dir\\"},
        {"a b.mp4", {{"a b.mp4", "AB.MP4"}}, "AB.MP4", "a b.mp4"},
        {"D:\\my videos\\",
         {{"D:\\my videos\\", "D:\\MYVIDE~1\\"}},
         "D:\\MYVIDE~1\\",
         "D:\\my videos\\"},
        // Only the full-width blank: no ASCII blank, so nothing to do.
        {"D:\\视频\xE3\x80\x80"
         "1\\a.mp4",
         {},
         "D:\\视频\xE3\x80\x80"
         "1\\a.mp4",
         nullptr},
        // Lengths are UTF-8 bytes: a 12-byte folder of 8 characters against a 10-byte short form.
        {"D:\\视频 1\\a.mp4",
         {{"D:\\视频 1\\", "D:\\8A9C~1\\"}},
         "D:\\8A9C~1\\a.mp4",
         "D:\\视频 1\\"},
    };
    for (const ShortPathCase& c : cases) {
        FakeShortNames fake(c.short_forms);
        EXPECT_EQ(short_path_if_spaced(c.path, fake.function()), c.expected) << "path=" << c.path;
        if (c.asked == nullptr) {
            EXPECT_TRUE(fake.calls.empty()) << "path=" << c.path;
        } else {
            ASSERT_EQ(fake.calls.size(), 1u) << "path=" << c.path;
            EXPECT_EQ(fake.calls[0].path, c.asked);
            EXPECT_EQ(fake.calls[0].capacity, static_cast<int>(std::string_view(c.asked).size()));
        }
    }
}

TEST(ShortPathIfSpaced, RefusesAnAnswerLongerThanTheCapacity) {
    // A short-name function that ignores the capacity must not make the path longer.
    ShortNameFunction careless = [](std::string_view, int) {
        return Text("D:\\A-MUCH-LONGER-SHORT-FORM\\");
    };
    EXPECT_EQ(short_path_if_spaced("D:\\a b\\c.mp4", careless), "D:\\a b\\c.mp4");
    ShortNameFunction blanks = [](std::string_view, int) { return Text("  "); };
    EXPECT_EQ(short_path_if_spaced("D:\\a bcd\\c.mp4", blanks), "D:\\a bcd\\c.mp4");
    EXPECT_EQ(short_path_if_spaced("D:\\a b\\c.mp4", ShortNameFunction()), "D:\\a b\\c.mp4");
}

TEST(ShortPathIfSpaced, LongPathsPassTheirWholeLengthAsCapacity) {
    Text folder = "D:\\" + Text(300, 'x') + " y\\";
    Text path = folder + "clip.mp4";
    FakeShortNames fake({{folder, "D:\\XXXXXX~1\\"}});
    EXPECT_EQ(short_path_if_spaced(path, fake.function()), "D:\\XXXXXX~1\\clip.mp4");
    ASSERT_EQ(fake.calls.size(), 1u);
    EXPECT_EQ(fake.calls[0].capacity, static_cast<int>(folder.size()));
}

struct ClockCase {
    const char* clock;
    std::int32_t seconds;
};

TEST(Utf16Length, CountsWhatTheSystemCounts) {
    EXPECT_EQ(utf16_length(""), 0u);
    EXPECT_EQ(utf16_length("C:\\a.mp4"), 8u);
    EXPECT_EQ(utf16_length("片段"), 2u);
    EXPECT_EQ(utf16_length("clip\xF0\x9F\x98\x80"), 6u);  // an emoji is a surrogate pair
}

// A path longer than the converter opens goes in its short form whether or not it holds a blank;
// without a short form short enough it is refused (empty).
TEST(ConverterPathForm, LongPathsTakeTheirShortForm) {
    const Text deep = "D:\\" + std::string(130, 'a') + "\\" + std::string(130, 'b') + "\\";
    const Text long_path = deep + "clip.mp4";
    const Text long_spaced = deep + "my clip.mp4";
    const Text just_fits = "D:\\" + std::string(kLongestConverterPath - 3, 'c');
    struct Case {
        Text path;
        std::map<Text, Text> short_forms;
        Text expected;
    };
    const Case cases[] = {
        {"D:\\v\\clip.mp4", {}, "D:\\v\\clip.mp4"},
        {just_fits, {}, just_fits},
        {long_path,
         {{long_path, "D:\\AAAAAA~1\\BBBBBB~1\\clip.mp4"}},
         "D:\\AAAAAA~1\\BBBBBB~1\\clip.mp4"},
        {long_spaced,
         {{long_spaced, "D:\\AAAAAA~1\\BBBBBB~1\\MYCLIP~1.MP4"}},
         "D:\\AAAAAA~1\\BBBBBB~1\\MYCLIP~1.MP4"},
        // The volume keeps no short names.
        {long_path, {}, ""},
        {just_fits + "d", {}, ""},
        // A short form that is still too long does not help.
        {long_path, {{long_path, "D:\\" + std::string(kLongestConverterPath, 'e')}}, ""},
    };
    for (const Case& c : cases) {
        FakeShortNames fake(c.short_forms);
        EXPECT_EQ(converter_path_form(c.path, fake.function()), c.expected) << c.path;
    }
}

TEST(ClockToSeconds, WeighsFieldsFromTheRight) {
    const ClockCase cases[] = {
        {"00:01:02.50", 62},
        {"01:00:00.00", 3600},
        {"1:02:03", 3723},
        {"02:30", 150},
        {"45", 45},
        {"00:00:05.99", 5},
        {"N/A", 0},
        {"", 0},
        {"::5", 5},
        {"5:", 5},
        {"1::", 60},
        {"1:00:00:00", 216000},
        {"99999999999:00:00", 2147483647},
    };
    for (const ClockCase& c : cases) {
        EXPECT_EQ(clock_to_seconds(c.clock), c.seconds) << "clock=" << c.clock;
    }
}

struct QuoteCase {
    const char* argument;
    const char* quoted;
};

TEST(QuoteArgument, FollowsTheRuntimeSplittingRules) {
    const QuoteCase cases[] = {
        {"plain", "plain"},
        {"D:\\v\\clip.mp4", "D:\\v\\clip.mp4"},  // backslashes without a quote stay single
        {"", "\"\""},
        {"a b", "\"a b\""},
        {"a\tb", "\"a\tb\""},
        {"a\nb", "\"a\nb\""},
        {"a\vb", "\"a\vb\""},
        {"a\"b", "\"a\\\"b\""},
        {"D:\\my videos\\", "\"D:\\my videos\\\\\""},
        {"a\\\"b", "\"a\\\\\\\"b\""},
        {"a\\\\ b", "\"a\\\\ b\""},  // inner backslashes before no quote stay
        {"-y", "-y"},
        {"视频 1.mp4", "\"视频 1.mp4\""},
    };
    for (const QuoteCase& c : cases) {
        EXPECT_EQ(quote_argument(c.argument), c.quoted) << "argument=" << c.argument;
    }
}

}  // namespace
}  // namespace quelvarn
