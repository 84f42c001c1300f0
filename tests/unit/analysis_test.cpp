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

TEST(ChunkAnalyser, UsesTheNewestTimeReportOfAPiece) {
    ChunkAnalyser analyser(kDuration);
    auto result = analyser.analyse(
        "frame=1 time=00:01:40.00 bitrate=1\rframe=2 time=00:02:30.00 bitrate=1\rframe=3 "
        "time=00:0");
    ASSERT_TRUE(result.progress);
    EXPECT_EQ(result.progress->elapsed_clock, "00:02:30");
    EXPECT_EQ(result.progress->elapsed_seconds, 150);
    EXPECT_EQ(result.progress->percent, 80.21);
    EXPECT_EQ(result.status, RunStatus::running);
}

// A clock beyond the probed duration (another clip's duration, a longer stream) or before its
// start never shows a percentage outside 0..100.
TEST(ChunkAnalyser, PercentageStaysBetweenZeroAndHundred) {
    struct Case {
        const char* piece;
        double percent;
    };
    const Case cases[] = {
        {"time=00:03:07.52 ", 100}, {"time=00:05:00.00 ", 100}, {"time=99:59:59.99 ", 100},
        {"time=-00:00:01.00 ", 0},  {"time=00:00:00.00 ", 0},
    };
    for (const Case& c : cases) {
        ChunkAnalyser analyser(kDuration);
        auto result = analyser.analyse(c.piece);
        ASSERT_TRUE(result.progress) << c.piece;
        EXPECT_EQ(result.progress->percent, c.percent) << c.piece;
    }
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

// A probe report of a clip whose metadata holds the words of the duration line.
constexpr std::string_view kProbeWithMetadata =
    "ffmpeg version 4.1 Copyright (c) 2000-2018 the FFmpeg developers\r\n"
    "Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'C:\\clips\\x.mp4':\r\n"
    "  Metadata:\r\n"
    "    title           :   Duration: 09:09:09.00, start: 0\r\n"
    "    comment         : first line\r\n"
    "                    :   Duration: 08:08:08.00, start: 0\r\n"
    "  Duration: 00:00:12.04, start: 0.000000, bitrate: 523 kb/s\r\n"
    "    Stream #0:0(und): Video: h264 (High) (avc1 / 0x31637661), yuv420p, 1280x720, 25 fps\r\n"
    "    Stream #0:1(und): Audio: aac (LC) (mp4a / 0x6134706D), 44100 Hz, mono, fltp\r\n"
    "At least one output file must be specified\r\n";

TEST(ProbeReport, DurationComesFromTheInputsOwnLine) {
    struct Case {
        std::string_view report;
        std::string_view duration;
    };
    const Case cases[] = {
        {kProbeWithMetadata, "00:00:12.04"},
        {"Input #0, wav, from 'a.wav':\n  Duration: 00:01:05.30, bitrate: 1411 kb/s\n",
         "00:01:05.30"},
        {"Input #0, mpegts, from 'a.ts':\n  Duration: N/A, start: 1.4, bitrate: N/A\n", "N/A"},
        // Only the first input's section counts, and nothing outside an input's section.
        {"  Duration: 00:00:01.00, x\nInput #0, a, from 'b':\n  Duration: 00:00:02.00, x\n"
         "Input #1, a, from 'c':\n  Duration: 00:00:03.00, x\n",
         "00:00:02.00"},
        {"Input #0, a, from 'b':\nOutput #0, mp4, to 'c':\n  Duration: 00:00:03.00, x\n", ""},
        {"C:\\x.mp4: No such file or directory\r\n", ""},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(probed_duration_text(c.report), c.duration) << c.report;
}

TEST(ProbeReport, VideoMeansAMovingPicture) {
    struct Case {
        std::string_view report;
        bool video;
    };
    const Case cases[] = {
        {kProbeWithMetadata, true},
        {"Input #0, mov,mp4,m4a, from 'sound.m4a':\n  Duration: 00:00:03.00, x\n"
         "    Stream #0:0(und): Audio: aac (LC), 44100 Hz, mono\n",
         false},
        // An album cover is a picture, not a video.
        {"Input #0, mp3, from 'song.mp3':\n  Duration: 00:00:03.00, x\n"
         "    Stream #0:0: Audio: mp3, 44100 Hz, stereo\n"
         "    Stream #0:1: Video: mjpeg, yuvj420p, 600x600, 90k tbr (attached pic)\n",
         false},
        {"Input #0, mov, from 'a.mov':\n    Stream #0:0: Audio: aac\n"
         "    Stream #0:1: Video: mjpeg, 600x600 (attached pic)\n"
         "    Stream #0:2: Video: h264, yuv420p, 320x180\n",
         true},
        // A metadata value that mentions a video stream is no stream.
        {"Input #0, mov, from 'a.m4a':\n  Metadata:\n    title : Stream #0:0: Video: h264\n"
         "    Stream #0:0: Audio: aac\n",
         false},
        {"C:\\x.mp4: Invalid data found when processing input\r\n", false},
        {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(probe_lists_video(c.report), c.video) << c.report;
}

struct ConversionReportCase {
    const char* name;
    std::string_view report;
    bool started;
    bool completed;
    bool failure_reported;
    std::string_view cause;
};

const ConversionReportCase kConversionReports[] = {
    {"complete",
     "Output #0, mp4, to 'x.partial':\r\n  Metadata:\r\n    title : global headers: fake\r\n"
     "Press [q] to stop, [?] for help\r\n"
     "frame=   10 fps=0.0 q=0.0 size=       0kB time=00:00:00.40 bitrate=N/A speed=   1x    "
     "frame=   50 fps=0.0 q=-1.0 Lsize=      66kB time=00:00:02.00 bitrate= 270.3kbits/s "
     "speed=3.1x    \r\n"
     "video:60kB audio:4kB subtitle:0kB other streams:0kB global headers:0kB muxing overhead: "
     "2.1%\r\n",
     true, true, false, ""},
    // Ended from outside: progress, then nothing. The summary's words in the output's metadata
    // (before the conversion started) do not count.
    {"ended from outside",
     "Output #0, mp4, to 'x.partial':\r\n    title : global headers:0kB\r\n"
     "Press [q] to stop, [?] for help\r\n"
     "frame=   10 fps=0.0 q=0.0 size=       0kB time=00:00:00.40 bitrate=N/A speed=   1x    ",
     true, false, false, ""},
    {"filter error",
     "Stream mapping:\r\n  Stream #0:0 -> #0:0 (h264 (native) -> h264 (libx264))\r\n"
     "Press [q] to stop, [?] for help\r\n"
     "[Parsed_scale_0 @ 0000000000f99700] [Eval @ 000000000021e260] Undefined constant or "
     "missing '(' in 'abc'\r\n    Last message repeated 1 times\r\n"
     "[Parsed_scale_0 @ 0000000000f99700] Failed to configure output pad on Parsed_scale_0\r\n"
     "Error reinitializing filters!\r\nConversion failed!\r\n",
     true, false, true, "Undefined constant or missing '(' in 'abc'"},
    {"failed before converting", "Input #0, mov,mp4\r\nD:\\tools\\x.partial: Permission denied\r\n",
     false, false, false, "D:\\tools\\x.partial: Permission denied"},
    {"progress then error",
     "Press [q] to stop, [?] for help\r\n"
     "frame=   10 fps=0.0 time=00:00:00.40 bitrate=N/A speed=   1x    "
     "Error while decoding stream #0:0: Invalid data found when processing input\r\n"
     "Conversion failed!\r\n",
     true, false, true,
     "Error while decoding stream #0:0: Invalid data found when processing input"},
    {"no line end at the end", "Press [q] to stop\r\nvideo:1kB global headers:0kB", true, true,
     false, ""},
    {"empty", "", false, false, false, ""},
};

void expect_report(const ConversionReport& report, const ConversionReportCase& c) {
    EXPECT_EQ(report.started(), c.started);
    EXPECT_EQ(report.completed(), c.completed);
    EXPECT_EQ(report.failure_reported(), c.failure_reported);
    EXPECT_EQ(report.failure_cause(), c.cause);
}

TEST(ConversionReport, StartCompletionAndCause) {
    for (const ConversionReportCase& c : kConversionReports) {
        SCOPED_TRACE(c.name);
        ConversionReport report;
        report.feed(c.report);
        expect_report(report, c);
    }
}

TEST(ConversionReport, ReportSplitAtAnyOffsetReadsTheSame) {
    for (const ConversionReportCase& c : kConversionReports) {
        for (std::size_t split = 0; split <= c.report.size(); ++split) {
            SCOPED_TRACE(std::string(c.name) + " split at " + std::to_string(split));
            ConversionReport report;
            report.feed(c.report.substr(0, split));
            report.feed(c.report.substr(split));
            expect_report(report, c);
        }
    }
}

// Hours of progress reports on one endless line, and a message line far longer than any
// converter writes: what is kept stays small and the cause is still found.
TEST(ConversionReport, LongRunsKeepOnlyWhatTheBoxNeeds) {
    ConversionReport report;
    report.feed("Press [q] to stop, [?] for help\r\n");
    const std::string progress =
        "frame= 1000 fps= 25 q=28.0 size=    1024kB time=00:00:40.00 bitrate= 209.7kbits/s "
        "speed=   1x    ";
    for (int i = 0; i < 200000; ++i) report.feed(progress);
    report.feed("Error while writing: No space left on device\r\nConversion failed!\r\n");
    EXPECT_EQ(report.failure_cause(), "Error while writing: No space left on device");
    EXPECT_TRUE(report.failure_reported());

    ConversionReport long_line;
    long_line.feed(std::string(1 << 20, 'x') + "\r\n");
    EXPECT_LE(long_line.failure_cause().size(), 4096u);
}

}  // namespace
}  // namespace quelvarn
