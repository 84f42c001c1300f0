#include <gtest/gtest.h>

#include <random>

#include "runner/analysis.h"

namespace quelvarn {
namespace {

// Every `from` replaced by `to`, left to right, without rescanning what was put in.
Text substitute_all(const Text& text, const Text& from, const Text& to) {
    Text out;
    std::size_t start = 0;
    for (std::size_t found; (found = text.find(from, start)) != Text::npos;
         start = found + from.size()) {
        out.append(text, start, found - start);
        out += to;
    }
    out.append(text, start);
    return out;
}

// The two replacements done the plain way, over the whole report at once.
Text normalise_by_substitution(const Bytes& bytes) {
    Text crlf = substitute_all(Text(bytes.begin(), bytes.end()), "\n", "\r\n");
    return substitute_all(crlf, " \r", " ");
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

TEST(PercentDone, RoundsToHundredthsOfAPercent) {
    struct Case {
        std::int32_t elapsed;
        std::int32_t duration;
        double percent;
    };
    const Case cases[] = {
        {100, 187, 53.48}, {187, 187, 100},  {0, 187, 0},   {1, 3, 33.33},
        {1, 8, 12.5},      {11, 10, 110},    {2, 3, 66.67}, {1, 7, 14.29},
        {1, 80000, 0},     {1, 20000, 0.01},  // half a hundredth rounds up
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(percent_done(c.elapsed, c.duration), c.percent)
            << c.elapsed << "/" << c.duration;
    }
}

TEST(StatusOf, FirstMarkerInTableOrderDecides) {
    struct Case {
        const char* text;
        RunStatus status;
    };
    const Case cases[] = {
        {"video:1kB global headers:0kB muxing overhead", RunStatus::done},
        {"x.mp4: Input/output error", RunStatus::input_output_error},
        {"x.mp4: No such file or directory", RunStatus::file_missing},
        {"frame= 10 time=00:00:01.00", RunStatus::running},
        {"", RunStatus::running},
        {"No such file or directory global headers:0kB", RunStatus::done},
        {"No such file or directory Input/output error", RunStatus::input_output_error},
        {"global headers:0kB Input/output error", RunStatus::done},
        // Case-sensitive.
        {"no such file or directory", RunStatus::running},
        {"GLOBAL HEADERS:0KB", RunStatus::running},
    };
    for (const Case& c : cases) EXPECT_EQ(status_of(c.text), c.status) << c.text;
}

constexpr std::int32_t kDuration = 187;  // 00:03:07.52

TEST(ChunkAnalyser, UsesTheFirstTimeReportOfAPiece) {
    ChunkAnalyser analyser(kDuration);
    auto result = analyser.analyse(
        "frame=1 time=00:01:40.00 bitrate=1\rframe=2 time=00:03:07.00 bitrate=1\r");
    ASSERT_TRUE(result.progress);
    EXPECT_EQ(result.progress->elapsed_clock, "00:01:40");
    EXPECT_EQ(result.progress->elapsed_seconds, 100);
    EXPECT_EQ(result.progress->percent, 53.48);
    EXPECT_EQ(result.status, RunStatus::running);
}

TEST(ChunkAnalyser, PieceWithoutTimeReportHasNoProgress) {
    ChunkAnalyser analyser(kDuration);
    auto result = analyser.analyse("Stream #0:0: Video: h264\r\n");
    EXPECT_FALSE(result.progress);
    EXPECT_EQ(result.status, RunStatus::running);
}

TEST(ChunkAnalyser, UnreadableClockCountsAsZero) {
    ChunkAnalyser analyser(kDuration);
    auto result = analyser.analyse("size=0kB time=N/A bitrate=N/A\r");
    ASSERT_TRUE(result.progress);
    EXPECT_EQ(result.progress->elapsed_clock, "N/A bitr");
    EXPECT_EQ(result.progress->percent, 0);
}

TEST(ChunkAnalyser, WithoutDurationOnlyTheClockIsKnown) {
    ChunkAnalyser analyser;
    auto result = analyser.analyse("frame=9 time=00:00:12.40 bitrate=1\r");
    ASSERT_TRUE(result.progress);
    EXPECT_EQ(result.progress->elapsed_clock, "00:00:12");
    EXPECT_FALSE(result.progress->percent);
}

// A report whose clock has not fully arrived waits for the piece that completes it, and is
// used once only.
TEST(ChunkAnalyser, IncompleteTimeReportIsUsedWhenComplete) {
    ChunkAnalyser analyser(kDuration);
    EXPECT_FALSE(analyser.analyse("frame=1 time=00:01:4").progress);
    auto completed = analyser.analyse("0.00 bitrate=1\r");
    ASSERT_TRUE(completed.progress);
    EXPECT_EQ(completed.progress->percent, 53.48);
    EXPECT_FALSE(analyser.analyse("more text without a report\r\n").progress);
}

// A marker split between two pieces is seen once, in the piece that completes it.
TEST(ChunkAnalyser, MarkerSplitAtAnyOffsetIsSeenOnce) {
    const std::string report = "video:1kB audio:0kB global headers:0kB muxing overhead\r\n";
    for (std::size_t split = 0; split <= report.size(); ++split) {
        ChunkAnalyser analyser;
        int done = 0;
        for (std::string_view piece :
             {std::string_view(report).substr(0, split), std::string_view(report).substr(split)}) {
            if (analyser.analyse(piece).status == RunStatus::done) ++done;
        }
        EXPECT_EQ(done, 1) << "split at " << split;
    }
}

}  // namespace
}  // namespace quelvarn
