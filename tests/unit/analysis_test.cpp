#include <gtest/gtest.h>

#include <random>

#include "app/globals.h"
#include "runner/analysis.h"
#include "support/fake_platform.h"
#include "ui/controls.h"

namespace quelvarn {
namespace {

using fakes::bytes_of;
using fakes::FakePlatform;

// The two replacements done the plain way, over the whole report at once.
Text normalise_by_substitution(const Bytes& bytes) {
    Bytes crlf = substitute_bytes(bytes, {0x0A}, {0x0D, 0x0A});
    Bytes done = substitute_bytes(crlf, {0x20, 0x0D}, {0x20});
    return Text(done.begin(), done.end());
}

Text normalise_in_two_reads(const Bytes& bytes, std::size_t split) {
    Text out;
    ReportNormaliser normaliser;
    normaliser.feed(bytes.data(), split, out);
    normaliser.feed(bytes.data() + split, bytes.size() - split, out);
    return out;
}

TEST(Normalise, LineEndsAndBlankReturns) {
    struct Case {
        Bytes in;
        Bytes out;
    };
    const Case cases[] = {
        {{0x61, 0x0D, 0x0A, 0x62, 0x0A}, {0x61, 0x0D, 0x0D, 0x0A, 0x62, 0x0D, 0x0A}},
        {{0x78, 0x20, 0x20, 0x20, 0x0D}, {0x78, 0x20, 0x20, 0x20}},
        {{0x78, 0x0D}, {0x78, 0x0D}},
        // The CR made for a LF after a blank goes too.
        {{0x78, 0x20, 0x0A}, {0x78, 0x20, 0x0A}},
        // No rescan: the second CR is not taken by the blank that took the first.
        {{0x20, 0x0D, 0x0D}, {0x20, 0x0D}},
        {{0x20, 0x20, 0x0D, 0x0A}, {0x20, 0x20, 0x0D, 0x0A}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        Text expected(c.out.begin(), c.out.end());
        EXPECT_EQ(normalise_report(c.in), expected) << ::testing::PrintToString(c.in);
        EXPECT_EQ(normalise_by_substitution(c.in), expected) << ::testing::PrintToString(c.in);
    }
}

// Random reports over the bytes that matter, each split at every offset, against the two
// replacements done over the whole report.
TEST(Normalise, AnySplitGivesTheWholeReportsResult) {
    std::mt19937 random(7);
    const std::uint8_t alphabet[] = {'a', ' ', '\r', '\n'};
    for (int round = 0; round < 300; ++round) {
        Bytes report(random() % 12);
        for (std::uint8_t& b : report) b = alphabet[random() % 4];
        Text whole = normalise_by_substitution(report);
        ASSERT_EQ(normalise_report(report), whole) << ::testing::PrintToString(report);
        for (std::size_t split = 0; split <= report.size(); ++split) {
            ASSERT_EQ(normalise_in_two_reads(report, split), whole)
                << ::testing::PrintToString(report) << " split at " << split;
        }
    }
}

TEST(PercentText, RoundsToHundredthsOfAPercent) {
    struct Case {
        std::int32_t elapsed;
        std::int32_t duration;
        const char* text;
    };
    const Case cases[] = {
        {100, 187, "53.48"}, {187, 187, "100"}, {0, 187, "0"},   {1, 3, "33.33"},
        {1, 8, "12.5"},      {11, 10, "110"},   {2, 3, "66.67"}, {1, 7, "14.29"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(percent_text(c.elapsed, c.duration), c.text) << c.elapsed << "/" << c.duration;
    }
}

TEST(StatusOf, FirstMarkerInTableOrderDecides) {
    struct Case {
        const char* text;
        std::string_view status;
    };
    const Case cases[] = {
        {"video:1kB global headers:0kB muxing overhead", kStatusDone},
        {"x.mp4: Input/output error", kStatusInputOutputError},
        {"x.mp4: No such file or directory", kStatusFileMissing},
        {"frame= 10 time=00:00:01.00", kStatusRunning},
        {"", kStatusRunning},
        {"No such file or directory global headers:0kB", kStatusDone},
        {"No such file or directory Input/output error", kStatusInputOutputError},
        {"global headers:0kB Input/output error", kStatusDone},
        // Case-sensitive.
        {"no such file or directory", kStatusRunning},
        {"GLOBAL HEADERS:0KB", kStatusRunning},
    };
    for (const Case& c : cases) EXPECT_EQ(status_of(c.text), c.status) << c.text;
}

class ChunkAnalyserTest : public ::testing::Test {
  protected:
    void SetUp() override {
        progress_time_text.clear();
        progress_percent_text.clear();
        fake.window.texts[Text(controls::kDurationStore)] = "00:03:07.52";
        fake.window.texts[Text(controls::kProgressLabel)] = "进度：";
    }
    Text label() const { return fake.window.text(controls::kProgressLabel); }

    FakePlatform fake;
    ChunkAnalyser analyser;
};

TEST_F(ChunkAnalyserTest, UsesTheFirstTimeReportOfAPiece) {
    analyser.analyse("frame=1 time=00:01:40.00 bitrate=1\rframe=2 time=00:03:07.00 bitrate=1\r");
    EXPECT_EQ(label(), "进度：53.48 %");
    EXPECT_EQ(progress_time_text, "00:01:40");
    EXPECT_EQ(progress_percent_text, "53.48");
}

TEST_F(ChunkAnalyserTest, PieceWithoutTimeReportChangesNothing) {
    progress_time_text = "00:00:09";
    progress_percent_text = "4.81";
    EXPECT_EQ(analyser.analyse("Stream #0:0: Video: h264\r\n"), kStatusRunning);
    EXPECT_EQ(label(), "进度：");
    EXPECT_EQ(progress_time_text, "00:00:09");
    EXPECT_EQ(progress_percent_text, "4.81");
}

TEST_F(ChunkAnalyserTest, UnreadableClockCountsAsZero) {
    analyser.analyse("size=0kB time=N/A bitrate=N/A\r");
    EXPECT_EQ(progress_time_text, "N/A bitr");
    EXPECT_EQ(label(), "进度：0 %");
}

TEST_F(ChunkAnalyserTest, WithoutDurationShowsTheClock) {
    for (const char* duration : {"标签", ""}) {
        fake.window.texts[Text(controls::kDurationStore)] = duration;
        progress_percent_text = "7";
        analyser.analyse("frame=9 time=00:00:12.40 bitrate=1\r");
        EXPECT_EQ(label(), "进度：00:00:12") << duration;
        EXPECT_EQ(progress_percent_text, "7");
        analyser.analyse("frame=9 time=00:00:00.00 bitrate=1\r");
        EXPECT_EQ(label(), "进度：00:00:00") << duration;
    }
}

// A report whose clock has not fully arrived waits for the piece that completes it, and is
// used once only.
TEST_F(ChunkAnalyserTest, IncompleteTimeReportIsUsedWhenComplete) {
    analyser.analyse("frame=1 time=00:01:4");
    EXPECT_EQ(label(), "进度：");
    analyser.analyse("0.00 bitrate=1\r");
    EXPECT_EQ(label(), "进度：53.48 %");
    fake.window.texts[Text(controls::kProgressLabel)] = "changed";
    analyser.analyse("more text without a report\r\n");
    EXPECT_EQ(label(), "changed");
}

TEST(LastLine, LastLineWithMoreThanBlanks) {
    struct Case {
        std::vector<const char*> pieces;
        const char* last;
    };
    const std::vector<Case> cases = {
        {{}, ""},
        {{"one\r\r\ntwo\r\r\n"}, "two"},
        {{"one\r\n  \r\n\r\n"}, "one"},
        {{"one\r\ntw", "o"}, "two"},
        {{"x.mp4: No such file or directory\r\r\n", "   "}, "x.mp4: No such file or directory"},
        {{"frame=1\rframe=2\r"}, "frame=2"},
    };
    for (const Case& c : cases) {
        LastLineTracker tracker;
        for (const char* piece : c.pieces) tracker.feed(piece);
        EXPECT_EQ(tracker.last_line(), c.last);
    }
}

}  // namespace
}  // namespace quelvarn
