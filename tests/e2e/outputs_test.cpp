// Outputs that play everywhere: clips of the kinds people have (4:4:4 screen recordings, 10-bit
// and HDR phone video, subtitles, several audio tracks, a cover picture), made beforehand by
// tests/e2e/make-source-clips, dropped on the real program and converted by its embedded
// converter; the outputs read with the embedded prober and box by box.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "support/e2e.h"
#include "ui/controls.h"

namespace quelvarn::e2e {
namespace {

using ::testing::AnyOf;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

// The folder the clips were made in, named by QV_SOURCE_CLIPS as a Linux path: Wine's Z: drive.
std::wstring source_clip(const wchar_t* name) {
    const wchar_t* folder = _wgetenv(L"QV_SOURCE_CLIPS");
    std::wstring path = L"Z:" + std::wstring(folder ? folder : L"/missing-QV_SOURCE_CLIPS");
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path + L"\\" + name;
}

using Fields = std::map<std::string, std::string>;

// The prober's "-of compact" sections of one kind ("stream", "format", "packet"), each as its
// key=value fields.
std::vector<Fields> probed_sections(const std::wstring& path, const std::wstring& entries,
                                    const std::string& kind) {
    ProcessResult probed =
        run_process(kProber, L"-v error " + entries + L" -of compact " + quoted(path));
    EXPECT_TRUE(probed.finished && probed.exit_code == 0) << probed.output;
    std::vector<Fields> sections;
    size_t start = 0;
    while (start < probed.output.size()) {
        size_t end = probed.output.find('\n', start);
        if (end == std::string::npos) end = probed.output.size();
        std::string line = probed.output.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.compare(0, kind.size() + 1, kind + "|") != 0) continue;
        Fields fields;
        for (size_t at = kind.size() + 1; at < line.size();) {
            size_t bar = line.find('|', at);
            if (bar == std::string::npos) bar = line.size();
            std::string field = line.substr(at, bar - at);
            size_t equals = field.find('=');
            if (equals != std::string::npos)
                fields[field.substr(0, equals)] = field.substr(equals + 1);
            at = bar + 1;
        }
        sections.push_back(fields);
    }
    return sections;
}

std::vector<Fields> streams_of(const std::wstring& path) {
    return probed_sections(path,
                           L"-show_entries stream=codec_type,codec_name,profile,pix_fmt,width,"
                           L"height,color_space,color_transfer,color_primaries:stream_tags=rotate",
                           "stream");
}

// "codec_type codec_name" of every stream, in order.
std::vector<std::string> stream_kinds(const std::wstring& path) {
    std::vector<std::string> kinds;
    for (Fields& stream : streams_of(path)) {
        kinds.push_back(stream["codec_type"] + " " + stream["codec_name"]);
    }
    return kinds;
}

// The names of the file's top-level boxes, in order.
std::vector<std::string> top_level_boxes(const std::wstring& path) {
    std::string bytes = file_bytes(path);
    std::vector<std::string> names;
    auto read32 = [&bytes](size_t at) {
        std::uint64_t value = 0;
        for (size_t i = 0; i < 4; ++i)
            value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
        return value;
    };
    for (size_t at = 0; at + 8 <= bytes.size();) {
        std::uint64_t size = read32(at);
        names.push_back(bytes.substr(at + 4, 4));
        if (size == 1 && at + 16 <= bytes.size()) size = read32(at + 8) << 32 | read32(at + 12);
        if (size == 0) size = bytes.size() - at;
        if (size < 8) break;
        at += size;
    }
    return names;
}

class Outputs : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(program.window()) << "the main window did not appear";
        empty_folder(kOutputFolder);
    }

    // Drops the clip, types the size, presses the button and waits: the conversion succeeds
    // without a box, and its output starts with the index (moov before mdat).
    std::wstring convert(const wchar_t* clip, const wchar_t* width, const wchar_t* height) {
        std::wstring input = source_clip(clip);
        std::wstring name = clip;
        std::wstring output =
            std::wstring(kOutputFolder) + L"\\" + name.substr(0, name.rfind(L'.')) + L".mp4";
        program.set_text(controls::kWidthBox, width);
        program.set_text(controls::kHeightBox, height);
        int drops = program.trace_count("files ");
        EXPECT_EQ(program.drop({input}), DROPEFFECT_COPY);
        EXPECT_TRUE(program.wait_handled("files ", drops)) << "the probe did not finish";
        int presses = program.trace_count("clicked ");
        program.press();
        EXPECT_TRUE(program.wait_handled("clicked ", presses)) << "the conversion did not finish";

        EXPECT_EQ(program.text(controls::kProgressLabel), L"进度：100 %");
        EXPECT_THAT(program.boxes(), IsEmpty());
        program.close_boxes();
        EXPECT_TRUE(file_exists(output));
        std::vector<std::string> boxes = top_level_boxes(output);
        auto moov = std::find(boxes.begin(), boxes.end(), "moov");
        auto mdat = std::find(boxes.begin(), boxes.end(), "mdat");
        EXPECT_TRUE(moov != boxes.end() && mdat != boxes.end() && moov < mdat)
            << ::testing::PrintToString(boxes);
        return output;
    }

    RunningProgram program;
};

// Every player and phone plays H.264 up to High in 8-bit 4:2:0; HDR is tone-mapped and says
// BT.709, SDR keeps the tags it had.
TEST_F(Outputs, PictureIsEightBit420H264HighOrLowerWithItsColoursNamed) {
    struct Case {
        const wchar_t* clip;
        const char* colours;  // matrix/primaries/transfer of the output
    };
    const Case cases[] = {
        {L"h264-444.mp4", "unknown/unknown/unknown"},
        {L"hevc-10bit.mkv", "bt709/bt709/bt709"},
        {L"hdr-pq.mkv", "bt709/bt709/bt709"},
        {L"hdr-hlg.mkv", "bt709/bt709/bt709"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(narrow_utf8(c.clip));
        std::wstring output = convert(c.clip, L"-1", L"90");
        std::vector<Fields> streams = streams_of(output);
        ASSERT_FALSE(streams.empty());
        Fields& video = streams[0];
        EXPECT_EQ(video["codec_type"], "video");
        EXPECT_EQ(video["codec_name"], "h264");
        EXPECT_EQ(video["pix_fmt"], "yuv420p");
        EXPECT_THAT(video["profile"], AnyOf("High", "Main", "Baseline", "Constrained Baseline"));
        EXPECT_EQ(video["width"] + "x" + video["height"], "160x90");
        EXPECT_EQ(
            video["color_space"] + "/" + video["color_primaries"] + "/" + video["color_transfer"],
            c.colours);
    }
}

// Every audio track in order, text subtitles as mov_text; bitmap subtitles have no place in MP4
// and are left out without failing the conversion.
TEST_F(Outputs, AudioTracksAndTextSubtitlesAreKept) {
    struct Case {
        const wchar_t* clip;
        std::vector<std::string> streams;
    };
    const Case cases[] = {
        {L"two-audio.mkv", {"video h264", "audio aac", "audio aac"}},
        {L"text-subtitles.mkv",
         {"video h264", "audio aac", "subtitle mov_text", "subtitle mov_text"}},
        {L"bitmap-subtitles.mkv", {"video h264", "audio aac"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(narrow_utf8(c.clip));
        std::wstring output = convert(c.clip, L"-1", L"90");
        EXPECT_THAT(stream_kinds(output), ElementsAreArray(c.streams));
    }
}

// AAC goes into MP4 as it is: copied packet for packet, not encoded again.
TEST_F(Outputs, AacIsCopiedPacketForPacket) {
    std::wstring output = convert(L"aac.mp4", L"-1", L"90");
    const std::wstring entries =
        L"-select_streams a -show_data_hash md5 -show_entries "
        L"packet=pts,size,data_hash";
    std::vector<Fields> in = probed_sections(source_clip(L"aac.mp4"), entries, "packet");
    std::vector<Fields> out = probed_sections(output, entries, "packet");
    EXPECT_GT(in.size(), 10u);
    EXPECT_TRUE(in == out) << "the audio packets differ";
}

// The title and the creation time survive; a clip held upright stays upright, turned by the
// converter itself (its pixels, no rotation tag), so the typed size is what the viewer sees.
TEST_F(Outputs, TitleCreationTimeAndRotationSurvive) {
    std::wstring output = convert(L"aac.mp4", L"-1", L"90");
    std::vector<Fields> format =
        probed_sections(output, L"-show_entries format_tags=title,creation_time", "format");
    ASSERT_EQ(format.size(), 1u);
    EXPECT_EQ(format[0]["tag:title"], "Quelvarn clip");
    EXPECT_EQ(format[0]["tag:creation_time"], "2020-05-17T10:20:30.000000Z");

    output = convert(L"rotated.mp4", L"-1", L"96");
    std::vector<Fields> streams = streams_of(output);
    ASSERT_FALSE(streams.empty());
    EXPECT_EQ(streams[0]["width"] + "x" + streams[0]["height"], "54x96");
    EXPECT_EQ(streams[0].count("tag:rotate"), 0u);
}

// Sound with a cover picture has no picture to resize: one box says so, nothing is written.
TEST_F(Outputs, SoundWithACoverPictureIsRefusedWithABox) {
    int drops = program.trace_count("files ");
    ASSERT_EQ(program.drop({source_clip(L"cover.mp3")}), DROPEFFECT_COPY);
    ASSERT_TRUE(program.wait_handled("files ", drops)) << "the probe did not finish";
    int presses = program.trace_count("clicked ");
    program.press();
    ASSERT_TRUE(program.wait_handled("clicked ", presses)) << "the press did not finish";
    // This converter does not mark the cover as one: it is a still-image codec without a rate.
    EXPECT_THAT(program.boxes(), ElementsAre(L"信息：|该文件中没有视频画面，无法修改分辨率：" +
                                             source_clip(L"cover.mp3")));
    program.close_boxes();
    EXPECT_NE(program.text(controls::kProgressLabel), L"进度：100 %");
    EXPECT_THAT(folder_entries(kOutputFolder), IsEmpty());
}

}  // namespace
}  // namespace quelvarn::e2e
