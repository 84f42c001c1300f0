#include "ui/conversion_command.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "support/probe_reports.h"
#include "text/paths.h"

namespace quelvarn {
namespace {

using ::testing::Contains;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr char kInput[] = "D:\\videos\\clip";
constexpr char kOutput[] = "D:\\Quelvarn\\分辨率\\clip.converting.mp4";

// The arguments every conversion starts with.
std::vector<Text> opening(std::initializer_list<const char*> maps) {
    std::vector<Text> arguments = {"-y", "-i", kInput};
    for (const char* map : maps) arguments.insert(arguments.end(), {"-map", map});
    arguments.insert(arguments.end(), {"-map_metadata", "0"});
    return arguments;
}

std::vector<Text> joined(std::initializer_list<std::vector<Text>> parts) {
    std::vector<Text> all;
    for (const std::vector<Text>& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

const std::vector<Text> kH264High = {"-c:v", "libx264", "-profile:v", "high"};
const std::vector<Text> kBt709Tags = {"-color_primaries", "bt709", "-color_trc", "bt709",
                                      "-colorspace",      "bt709"};
const std::vector<Text> kLimitedRange = {"-color_range", "tv"};
const std::vector<Text> kClosing = {"-movflags", "+faststart", "-f", "mp4", kOutput};
// Linear light from the input's transfer, hable into BT.709, then BT.709 limited range.
Text tone_mapping(std::string_view transfer) {
    return join_texts({"zscale=tin=", transfer,
                       ":pin=bt2020:min=bt2020nc:t=linear:npl=100,format=gbrpf32le,"
                       "zscale=p=bt709,tonemap=hable:desat=0,zscale=t=bt709:m=bt709:r=tv,"});
}

TEST(ConversionArguments, BuiltFromWhatTheProbeFound) {
    struct Case {
        const char* name;
        std::string_view report;
        int width;
        int height;
        std::vector<Text> arguments;
    };
    const Case cases[] = {
        // SDR keeps its colour tags; AAC is copied.
        {"8-bit H.264", fixtures::kSdrMp4Report, -1, 360,
         joined({opening({"0:0", "0:1"}),
                 {"-vf", "scale=w=-2:h=360:out_range=tv,format=yuv420p"},
                 kH264High,
                 kBt709Tags,
                 kLimitedRange,
                 {"-c:a:0", "copy"},
                 kClosing})},
        // 4:4:4 and 10-bit become 8-bit 4:2:0; untagged colours stay untagged. An odd size
        // becomes the even one below it.
        {"4:4:4 H.264", fixtures::kH264444Report, 640, -1,
         joined({opening({"0:0", "0:1"}),
                 {"-vf", "scale=w=640:h=-2:out_range=tv,format=yuv420p"},
                 kH264High,
                 kLimitedRange,
                 {"-c:a:0", "copy"},
                 kClosing})},
        {"10-bit HEVC", fixtures::kHevc10Report, 1281, 721,
         joined({opening({"0:0"}),
                 {"-vf", "scale=w=1280:h=720:out_range=tv,format=yuv420p"},
                 kH264High,
                 kBt709Tags,
                 kLimitedRange,
                 kClosing})},
        // HDR is tone-mapped after the scale (fewer pixels to map) and tagged BT.709.
        {"HDR PQ", fixtures::kHdrPqReport, -1, 240,
         joined({opening({"0:0"}),
                 {"-vf",
                  "scale=w=-2:h=240:out_range=tv," + tone_mapping("smpte2084") + "format=yuv420p"},
                 kH264High,
                 kBt709Tags,
                 kLimitedRange,
                 kClosing})},
        {"HDR HLG", fixtures::kHdrHlgReport, -1, 240,
         joined({opening({"0:0"}),
                 {"-vf", "scale=w=-2:h=240:out_range=tv," + tone_mapping("arib-std-b67") +
                             "format=yuv420p"},
                 kH264High,
                 kBt709Tags,
                 kLimitedRange,
                 kClosing})},
        // Text subtitles become mov_text.
        {"text subtitles", fixtures::kTextSubtitlesReport, -1, 120,
         joined({opening({"0:0", "0:1", "0:2", "0:3"}),
                 {"-vf", "scale=w=-2:h=120:out_range=tv,format=yuv420p"},
                 kH264High,
                 kLimitedRange,
                 {"-c:a:0", "copy", "-c:s", "mov_text"},
                 kClosing})},
        // Bitmap subtitles cannot go into MP4: left out.
        {"bitmap subtitles", fixtures::kBitmapSubtitlesReport, -1, 120,
         joined({opening({"0:0", "0:1"}),
                 {"-vf", "scale=w=-2:h=120:out_range=tv,format=yuv420p"},
                 kH264High,
                 kBt709Tags,
                 kLimitedRange,
                 {"-c:a:0", "copy"},
                 kClosing})},
        // Every track in order; what MP4 does not hold as it is becomes AAC.
        {"two audio tracks", fixtures::kTwoAudioReport, -1, 120,
         joined({opening({"0:0", "0:1", "0:2"}),
                 {"-vf", "scale=w=-2:h=120:out_range=tv,format=yuv420p"},
                 kH264High,
                 kLimitedRange,
                 {"-c:a:0", "aac", "-c:a:1", "aac"},
                 kClosing})},
        {"PCM", fixtures::kPcmReport, -1, 120,
         joined({opening({"0:0", "0:1"}),
                 {"-vf", "scale=w=-2:h=120:out_range=tv,format=yuv420p"},
                 kH264High,
                 kLimitedRange,
                 {"-c:a:0", "aac"},
                 kClosing})},
        // The cover picture is not the video; MP3 is copied.
        {"MP4 with a cover", fixtures::kMp4CoverReport, -1, 120,
         joined({opening({"0:0", "0:1"}),
                 {"-vf", "scale=w=-2:h=120:out_range=tv,format=yuv420p"},
                 kH264High,
                 kLimitedRange,
                 {"-c:a:0", "copy"},
                 kClosing})},
        // The converter turns the picture upright itself and drops the rotation tag.
        {"rotated", fixtures::kRotatedReport, -1, 120,
         joined({opening({"0:0", "0:1"}),
                 {"-vf", "scale=w=-2:h=120:out_range=tv,format=yuv420p"},
                 kH264High,
                 kBt709Tags,
                 kLimitedRange,
                 {"-c:a:0", "copy"},
                 kClosing})},
        // Full range is scaled to the limited range the output is tagged with; the matrix stays.
        {"Motion JPEG", fixtures::kMjpegReport, 320, 180,
         joined({opening({"0:0"}),
                 {"-vf", "scale=w=320:h=180:out_range=tv,format=yuv420p"},
                 kH264High,
                 {"-colorspace", "bt470bg"},
                 kLimitedRange,
                 kClosing})},
        // RGB is converted with the BT.709 matrix the output then names.
        {"RGB", fixtures::kRgbReport, -1, 120,
         joined({opening({"0:0"}),
                 {"-vf", "scale=w=-2:h=120:out_range=tv:out_color_matrix=bt709,format=yuv420p"},
                 kH264High,
                 {"-colorspace", "bt709"},
                 kLimitedRange,
                 kClosing})},
    };
    for (const Case& c : cases) {
        ConversionRequest request{kInput, kOutput, c.width, c.height};
        EXPECT_THAT(conversion_arguments(parse_probe_report(c.report), request),
                    ElementsAreArray(c.arguments))
            << c.name;
    }
}

TEST(ConversionArguments, NothingToConvertWithoutAMovingPicture) {
    for (std::string_view report : {fixtures::kMp3CoverReport, fixtures::kMissingFileReport}) {
        ProbeInfo probe = parse_probe_report(report);
        EXPECT_EQ(main_video_stream(probe), nullptr);
        EXPECT_THAT(conversion_arguments(probe, {kInput, kOutput, -1, 120}), IsEmpty());
    }
}

// The colour tags copied from an SDR source are the encoder's names for what the report says.
TEST(ConversionArguments, ColourTagsOfAnSdrSource) {
    struct Case {
        const char* pixel_field;
        std::vector<Text> tags;
    };
    const Case cases[] = {
        {"yuv420p(tv, smpte170m)",
         {"-color_primaries", "smpte170m", "-color_trc", "smpte170m", "-colorspace", "smpte170m"}},
        {"yuv420p(tv, bt470bg)",
         {"-color_primaries", "bt470bg", "-color_trc", "gamma28", "-colorspace", "bt470bg"}},
        {"yuv420p(tv, fcc)",
         {"-color_primaries", "bt470m", "-color_trc", "gamma22", "-colorspace", "fcc"}},
        {"yuv420p10le(tv, bt2020nc/bt2020/bt2020-10)",
         {"-color_primaries", "bt2020", "-color_trc", "bt2020-10", "-colorspace", "bt2020nc"}},
        {"yuv420p(tv, bt709/unknown/iec61966-2-1)",
         {"-color_trc", "iec61966-2-1", "-colorspace", "bt709"}},
        {"yuv420p(tv, unknown/bt709/unknown)", {"-color_primaries", "bt709"}},
        {"yuv420p(tv, bt709/reserved/bt709)", {"-color_trc", "bt709", "-colorspace", "bt709"}},
        {"yuv420p", {}},
    };
    for (const Case& c : cases) {
        Text report =
            join_texts({"Input #0, matroska,webm, from 'a.mkv':\n"
                        "    Stream #0:0: Video: h264 (High), ",
                        c.pixel_field, ", 1920x1080, 25 fps, 25 tbr, 1k tbn\n"});
        std::vector<Text> arguments =
            conversion_arguments(parse_probe_report(report), {kInput, kOutput, -1, 120});
        auto tags_begin = std::find(arguments.begin(), arguments.end(), "high") + 1;
        auto tags_end = std::find(arguments.begin(), arguments.end(), "-color_range");
        ASSERT_LE(tags_begin, tags_end) << c.pixel_field;
        EXPECT_THAT(std::vector<Text>(tags_begin, tags_end), ElementsAreArray(c.tags))
            << c.pixel_field;
    }
}

// The main video is a moving picture: the default one where several are, never a cover even
// when it comes first.
TEST(ConversionArguments, MainVideoIsTheDefaultMovingPicture) {
    struct Case {
        const char* streams;
        int main_index;
    };
    const Case cases[] = {
        {"    Stream #0:0: Video: mjpeg, yuvj420p(pc), 600x600, 90k tbr, 90k tbn, 90k tbc\n"
         "    Stream #0:1: Video: h264 (High), yuv420p, 1920x1080, 25 fps, 25 tbr, 1k tbn\n",
         1},
        {"    Stream #0:0: Video: h264 (High), yuv420p, 640x360, 25 fps, 25 tbr, 1k tbn\n"
         "    Stream #0:1: Video: h264 (High), yuv420p, 1920x1080, 25 fps, 25 tbr, 1k tbn "
         "(default)\n",
         1},
        {"    Stream #0:0: Video: h264 (High), yuv420p, 640x360, 25 fps, 25 tbr, 1k tbn\n"
         "    Stream #0:1: Video: h264 (High), yuv420p, 1920x1080, 25 fps, 25 tbr, 1k tbn\n",
         0},
        {"    Stream #0:0: Audio: aac (LC), 48000 Hz, stereo, fltp (default)\n"
         "    Stream #0:1: Video: png, rgb24(pc), 600x600, 90k tbr, 90k tbn (attached pic) "
         "(default)\n"
         "    Stream #0:2: Video: h264 (High), yuv420p, 1920x1080, 25 fps, 25 tbr, 1k tbn\n",
         2},
    };
    for (const Case& c : cases) {
        ProbeInfo probe =
            parse_probe_report(join_texts({"Input #0, matroska,webm, from 'a.mkv':\n", c.streams}));
        const ProbedStream* main = main_video_stream(probe);
        ASSERT_NE(main, nullptr) << c.streams;
        EXPECT_EQ(main->index, c.main_index) << c.streams;
        std::vector<Text> arguments = conversion_arguments(probe, {kInput, kOutput, -1, 120});
        ASSERT_GE(arguments.size(), 5u);
        EXPECT_EQ(arguments[4], join_texts({"0:", std::to_string(c.main_index)})) << c.streams;
        // No other picture goes along.
        for (const ProbedStream& other : probe.streams) {
            if (other.kind != StreamKind::video || other.index == c.main_index) continue;
            EXPECT_THAT(arguments, Not(Contains(join_texts({"0:", std::to_string(other.index)}))))
                << c.streams;
        }
    }
}

// Every argument is quoted: a path with blanks or quotes stays one argument.
TEST(CommandLineOf, QuotesEveryArgument) {
    std::vector<Text> arguments =
        conversion_arguments(parse_probe_report(fixtures::kSdrMp4Report),
                             {"D:\\my videos\\say \"hi\".mp4",
                              "D:\\Quelvarn\\分辨率\\say \"hi\".converting.mp4", -1, 360});
    Text line = command_line_of(arguments);
    Text expected;
    for (const Text& argument : arguments) expected += " " + quote_argument(argument);
    EXPECT_EQ(line, expected);
    EXPECT_EQ(line.rfind(" -y -i \"D:\\my videos\\say \\\"hi\\\".mp4\" -map 0:0 -map 0:1 ", 0), 0u);
    EXPECT_NE(line.find(" \"D:\\Quelvarn\\分辨率\\say \\\"hi\\\".converting.mp4\""), Text::npos);
    EXPECT_EQ(command_line_of({}), "");
}

}  // namespace
}  // namespace quelvarn
