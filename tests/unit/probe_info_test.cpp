#include "runner/probe_info.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "runner/analysis.h"
#include "support/probe_reports.h"

namespace quelvarn {
namespace {

using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

const char* kind_name(StreamKind kind) {
    switch (kind) {
        case StreamKind::video:
            return "video";
        case StreamKind::audio:
            return "audio";
        case StreamKind::subtitle:
            return "subtitle";
        case StreamKind::data:
            return "data";
        case StreamKind::attachment:
            return "attachment";
        case StreamKind::other:
            break;
    }
    return "other";
}

// One line per stream: "index kind codec", then for video "format range matrix/primaries/
// transfer" (- for unknown), then the flags.
std::vector<Text> described(const ProbeInfo& info) {
    std::vector<Text> lines;
    auto or_dash = [](const Text& text) { return text.empty() ? Text("-") : text; };
    for (const ProbedStream& s : info.streams) {
        Text line = join_texts({std::to_string(s.index), " ", kind_name(s.kind), " ", s.codec});
        if (s.kind == StreamKind::video) {
            line += join_texts({" ", or_dash(s.pixel_format), " ", or_dash(s.color_range), " ",
                                or_dash(s.color_matrix), "/", or_dash(s.color_primaries), "/",
                                or_dash(s.color_transfer)});
        }
        if (s.is_default) line += " default";
        if (s.attached_picture) line += " cover";
        lines.push_back(line);
    }
    return lines;
}

TEST(ParseProbeReport, StreamsInOrderWithCodecFormatColoursAndFlags) {
    struct Case {
        const char* name;
        std::string_view report;
        std::vector<Text> streams;
    };
    const Case cases[] = {
        {"8-bit H.264",
         fixtures::kSdrMp4Report,
         {"0 video h264 yuv420p tv bt709/bt709/bt709 default", "1 audio aac default"}},
        {"4:4:4 H.264",
         fixtures::kH264444Report,
         {"0 video h264 yuv444p - -/-/- default", "1 audio aac default"}},
        {"10-bit HEVC", fixtures::kHevc10Report, {"0 video hevc yuv420p10le tv bt709/bt709/bt709"}},
        {"HDR PQ",
         fixtures::kHdrPqReport,
         {"0 video hevc yuv420p10le tv bt2020nc/bt2020/smpte2084"}},
        {"HDR HLG",
         fixtures::kHdrHlgReport,
         {"0 video hevc yuv420p10le tv bt2020nc/bt2020/arib-std-b67"}},
        {"text subtitles",
         fixtures::kTextSubtitlesReport,
         {"0 video h264 yuv420p - -/-/-", "1 audio aac", "2 subtitle subrip default",
          "3 subtitle ass"}},
        {"bitmap subtitles",
         fixtures::kBitmapSubtitlesReport,
         {"0 video h264 yuv420p tv bt709/bt709/bt709 default", "1 audio aac default",
          "2 subtitle hdmv_pgs_subtitle default", "3 subtitle dvd_subtitle"}},
        {"two audio tracks",
         fixtures::kTwoAudioReport,
         {"0 video h264 yuv420p - -/-/-", "1 audio opus default", "2 audio flac"}},
        {"PCM",
         fixtures::kPcmReport,
         {"0 video h264 yuv420p - -/-/- default", "1 audio pcm_s16le default"}},
        // This converter prints no "(attached pic)": a still-image codec without a frame rate.
        {"MP3 with a cover",
         fixtures::kMp3CoverReport,
         {"0 audio mp3", "1 video png rgb24 pc -/-/- cover"}},
        {"MP4 with a cover",
         fixtures::kMp4CoverReport,
         {"0 video h264 yuv420p - -/-/- default", "1 audio aac default",
          "2 video png rgb24 pc -/-/- cover"}},
        {"rotated",
         fixtures::kRotatedReport,
         {"0 video h264 yuv420p tv bt709/bt709/bt709 default", "1 audio aac default"}},
        {"full range", fixtures::kFullRangeReport, {"0 video h264 yuvj420p pc -/-/- default"}},
        // A still-image codec with a frame rate moves.
        {"Motion JPEG", fixtures::kMjpegReport, {"0 video mjpeg yuvj420p pc bt470bg/-/-"}},
        {"RGB", fixtures::kRgbReport, {"0 video png rgb24 pc -/-/- default"}},
        {"missing file", fixtures::kMissingFileReport, {}},
        // The output's stream lines after "Stream mapping:" and "Output #0" are not the file's.
        {"conversion",
         fixtures::kConversionReport,
         {"0 video h264 yuv420p - -/-/-", "1 audio opus default", "2 audio flac"}},
    };
    for (const Case& c : cases) {
        EXPECT_THAT(described(parse_probe_report(c.report)), ElementsAreArray(c.streams)) << c.name;
    }
}

// The colour part of a stream line as this converter prints it: one name stands for all three
// when their numbers agree, and that number may have other names as primaries or transfer.
TEST(ParseProbeReport, ColourDetailsOfEveryForm) {
    struct Case {
        const char* pixel_field;
        const char* expected;  // "format range matrix/primaries/transfer"
    };
    const Case cases[] = {
        {"yuv420p", "yuv420p - -/-/-"},
        {"yuv420p(tv, bt709)", "yuv420p tv bt709/bt709/bt709"},
        {"yuv420p(tv, bt709, progressive)", "yuv420p tv bt709/bt709/bt709"},
        {"yuv420p(progressive)", "yuv420p - -/-/-"},
        {"yuv420p(top first)", "yuv420p - -/-/-"},
        {"yuv420p(smpte170m)", "yuv420p - smpte170m/smpte170m/smpte170m"},
        {"yuv420p(bt470bg)", "yuv420p - bt470bg/bt470bg/bt470bg"},
        {"yuv420p(fcc)", "yuv420p - fcc/bt470m/bt470m"},
        {"yuv420p(tv, bt709/unknown/unknown)", "yuv420p tv bt709/-/-"},
        {"yuv420p(tv, unknown/bt709/bt709)", "yuv420p tv -/bt709/bt709"},
        {"yuv420p(tv, reserved/reserved/reserved)", "yuv420p tv -/-/-"},
        {"yuv420p10le(pc, bt2020nc/bt2020/smpte2084, progressive)",
         "yuv420p10le pc bt2020nc/bt2020/smpte2084"},
        {"yuv444p12le(10 bpc, tv, bt709)", "yuv444p12le tv bt709/bt709/bt709"},
        {"gbrp(pc, GBR)", "gbrp pc gbr/-/-"},
    };
    for (const Case& c : cases) {
        Text report =
            join_texts({"Input #0, matroska,webm, from 'a.mkv':\n"
                        "    Stream #0:0: Video: hevc (Main 10), ",
                        c.pixel_field, ", 3840x2160 [SAR 1:1 DAR 16:9], 25 fps, 25 tbr, 1k tbn\n"});
        std::vector<Text> streams = described(parse_probe_report(report));
        ASSERT_EQ(streams.size(), 1u) << c.pixel_field;
        EXPECT_EQ(streams[0], join_texts({"0 video hevc ", c.expected})) << c.pixel_field;
    }
}

TEST(ParseProbeReport, StreamLinesOfEveryShape) {
    Text report =
        "Input #0, mpegts, from 'a.ts':\n"
        "  Duration: 00:00:10.00, start: 1.400000, bitrate: 15000 kb/s\n"
        "  Program 1\n"
        "    Stream #0:0[0x100]: Video: h264 (High) ([27][0][0][0] / 0x001B), yuv420p(tv, "
        "bt709), 1920x1080 [SAR 1:1 DAR 16:9], 25 fps, 25 tbr, 90k tbn, 50 tbc\n"
        "    Stream #0:1[0x101](eng): Audio: aac (LC) ([15][0][0][0] / 0x000F), 48000 Hz, stereo, "
        "fltp, 130 kb/s\n"
        "    Stream #0:2[0x102](fre): Subtitle: dvb_subtitle ([6][0][0][0] / 0x0006)\n"
        "    Stream #0:3: Video: mjpeg, yuvj420p(pc, bt470bg/unknown/unknown), 600x600 [SAR 1:1 "
        "DAR 1:1], 90k tbr, 90k tbn, 90k tbc (attached pic)\n"
        "    Stream #0:4: Attachment: ttf\n"
        "    Stream #0:5: Data: bin_data (text / 0x74786574)\n"
        "    Stream #0:12: Video: h264, none, 640x360, 25 fps, 25 tbr, 1k tbn\n";
    EXPECT_THAT(described(parse_probe_report(report)),
                ElementsAreArray(std::vector<Text>{
                    "0 video h264 yuv420p tv bt709/bt709/bt709", "1 audio aac",
                    "2 subtitle dvb_subtitle", "3 video mjpeg yuvj420p pc bt470bg/-/- cover",
                    "4 attachment ttf", "5 data bin_data", "12 video h264 - - -/-/-"}));
}

TEST(ParseProbeReport, DurationInSeconds) {
    struct Case {
        const char* line;
        std::optional<double> seconds;
    };
    const Case cases[] = {
        {"  Duration: 00:00:02.04, start: 0.025056, bitrate: 71 kb/s", 2.04},
        {"  Duration: 01:02:03.50, start: 0.000000, bitrate: 680 kb/s", 3723.5},
        {"  Duration: 1193:02:47.32, start: 0.000000, bitrate: N/A", 4294967.32},
        {"  Duration: N/A, start: 0.000000, bitrate: N/A", std::nullopt},
        {"  Duration: N/A, bitrate: N/A", std::nullopt},
    };
    for (const Case& c : cases) {
        Text report = join_texts({"Input #0, mp3, from 'a.mp3':\n", c.line, "\n"});
        std::optional<double> seconds = parse_probe_report(report).duration_seconds;
        ASSERT_EQ(seconds.has_value(), c.seconds.has_value()) << c.line;
        if (seconds) {
            EXPECT_NEAR(*seconds, *c.seconds, 1e-9) << c.line;
        }
    }
    EXPECT_FALSE(parse_probe_report(fixtures::kMissingFileReport).duration_seconds);
    // Only the input's duration counts: the banner and other inputs do not.
    EXPECT_FALSE(parse_probe_report("  Duration: 00:00:05.00, start: 0\n").duration_seconds);
}

// The report as the runner captures it from a Windows program: CR LF line ends turned into
// CR CR LF. It reads as the plain report does.
TEST(ParseProbeReport, LineEndsOfTheCapturedReport) {
    for (std::string_view report : {fixtures::kSdrMp4Report, fixtures::kTextSubtitlesReport}) {
        Text crlf;
        for (char c : report) crlf += c == '\n' ? Text("\r\n") : Text(1, c);
        Text captured = normalise_report(Bytes(crlf.begin(), crlf.end()));
        ASSERT_NE(captured.find("\r\r\n"), Text::npos);
        ProbeInfo plain = parse_probe_report(report);
        EXPECT_THAT(described(parse_probe_report(crlf)), ElementsAreArray(described(plain)));
        EXPECT_THAT(described(parse_probe_report(captured)), ElementsAreArray(described(plain)));
        EXPECT_EQ(parse_probe_report(captured).duration_seconds, plain.duration_seconds);
    }
    EXPECT_THAT(parse_probe_report("").streams, IsEmpty());
}

}  // namespace
}  // namespace quelvarn
