// The drop and convert handlers over the fake platform: the exact command lines, the output
// name, what the user sees on failure, and that nothing is lost or started twice.
#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "support/fake_platform.h"
#include "ui/controls.h"
#include "ui/progress_view.h"
#include "ui/typed_input.h"

namespace quelvarn {
namespace {

using fakes::bytes_of;
using fakes::ChildScript;
using fakes::FakePlatform;

constexpr std::string_view kConverter = "C:\\ffmpeg\\ffmpeg.exe";

// The command line built for the clip `probed` stands for (H.264, no sound, untagged colours);
// `source` as the command line gives it.
Text clip_command_line(std::string_view source, std::string_view scale,
                       std::string_view temporary) {
    return join_texts({" -y -i ", source, " -map 0:0 -map_metadata 0 -vf ", scale,
                       ":out_range=tv,format=yuv420p -c:v libx264 -profile:v high -color_range tv "
                       "-movflags +faststart -f mp4 ",
                       temporary});
}

class HandlerTest : public ::testing::Test {
  public:
    HandlerTest() {
        session.converter_path = Text(kConverter);
        session.converter = std::make_unique<VerifiedTool>(Text(kConverter), nullptr);
        fake.files.add_folder("C:\\ffmpeg");
        fake.files.add_file(kConverter);
        fake.files.add_folder("D:\\tools");
        fake.files.program_folder_text = "D:\\tools";
        fake.window.texts[Text(controls::kWidthBox)] = "-1";
        fake.window.texts[Text(controls::kHeightBox)] = "1920";
        fake.window.texts[Text(controls::kDurationStore)] = "标签";
        // While a conversion runs, the converter writes its output to the temporary name.
        fake.window.on_drain = [this] {
            if (!session.pending_output.empty() && fake.files.file(session.pending_output)) {
                fake.files.add_file(session.pending_output, bytes_of(converter_output));
            }
        };
    }

    void on_change_resolution_clicked() { main_window.on_change_resolution_clicked(); }
    void on_file_dropped(std::vector<Text> paths) { main_window.on_file_dropped(paths); }
    void type(std::string_view control, std::string_view text) {
        fake.window.texts[Text(control)] = Text(text);
    }
    // A converter run that ends with `exit_code` after writing `report`.
    void script_run(std::string_view report, std::uint32_t exit_code = 0) {
        ChildScript script;
        script.pieces.push_back({bytes_of(report), 0});
        script.exit_code = exit_code;
        fake.processes.scripts.push_back(script);
    }
    // A probe that finds a clip with a moving picture.
    void script_probe(std::string_view duration = "00:01:05.30") {
        script_run(join_texts({"Input #0, mov,mp4, from 'x':\n  Duration: ", duration,
                               ", start: 0.000000, bitrate: 1 kb/s\n"
                               "    Stream #0:0(und): Video: h264 (High), yuv420p, 320x180\n"
                               "At least one output file must be specified\n"}),
                   1);
    }
    // A conversion that completes: the converter's start, a progress report and its summary.
    void script_complete_run() { script_run(kCompleteReport); }
    // The path counts as dropped and probed already: an H.264 clip without sound, of the
    // duration given (none when empty).
    void probed(std::string_view path, std::string_view duration = {}) {
        session.probed_path = Text(path);
        Text duration_line =
            duration.empty() ? Text() : join_texts({"  Duration: ", duration, ", start: 0\n"});
        session.probe = parse_probe_report(join_texts(
            {"Input #0, mov,mp4, from 'x':\n", duration_line,
             "    Stream #0:0(und): Video: h264 (High), yuv420p, 320x180, 25 fps, 25 tbr\n"}));
    }
    // The temporary name of the next conversion.
    Text next_temporary(std::string_view folder = "D:\\tools\\分辨率") const {
        return join_texts(
            {folder, "\\~quelvarn-777-", std::to_string(session.temporaries_made + 1), ".partial"});
    }
    std::vector<Text> labels() const {
        std::vector<Text> all;
        for (const auto& [control, text] : fake.window.writes) {
            if (control == controls::kProgressLabel) all.push_back(text);
        }
        return all;
    }

    static constexpr std::string_view kCompleteReport =
        "Press [q] to stop, [?] for help\n"
        "frame=    5 fps=0.0 q=0.0 size=       0kB time=00:00:01.00 bitrate=N/A speed=   1x    \r"
        "frame=   50 fps=0.0 q=-1.0 Lsize=      66kB time=00:00:02.00 bitrate= 1kbits/s speed=3x   "
        " \n"
        "video:60kB audio:4kB subtitle:0kB other streams:0kB global headers:0kB muxing overhead: "
        "2%\n";

    FakePlatform fake;
    Session session;
    MainWindow main_window{session};
    Text converter_output = "video";
};

TEST_F(HandlerTest, ConversionCommandLines) {
    struct Case {
        const char* program_folder;
        const char* input;
        const char* width;
        const char* height;
        const char* source;  // as the command line gives it
        const char* scale;
        const char* output;
    };
    const Case cases[] = {
        {"D:\\tools", "E:\\videos\\clip.mp4", "-1", "1920", "E:\\videos\\clip.mp4",
         "scale=w=-2:h=1920", "D:\\tools\\分辨率\\clip.mp4"},
        {"D:\\tools", "E:\\my videos\\clip.mp4", "720", "-1", "E:\\MYVIDE~1\\clip.mp4",
         "scale=w=720:h=-2", "D:\\tools\\分辨率\\clip.mp4"},
        {"D:\\tools", "E:\\videos\\holiday trip.mp4", "-1", "1920", "E:\\videos\\HOLIDA~1.MP4",
         "scale=w=-2:h=1920", "D:\\tools\\分辨率\\holiday trip.mp4"},
        {"D:\\tools", "E:\\videos\\Clip.MP4", "-1", "1920", "E:\\videos\\Clip.MP4",
         "scale=w=-2:h=1920", "D:\\tools\\分辨率\\Clip.mp4"},
        {"D:\\tools", "E:\\videos\\clip.mkv", "640", "360", "E:\\videos\\clip.mkv",
         "scale=w=640:h=360", "D:\\tools\\分辨率\\clip.mp4"},
        {"D:\\tools", "E:\\a.mp4files\\clip.mp4", "-1", "1920", "E:\\a.mp4files\\clip.mp4",
         "scale=w=-2:h=1920", "D:\\tools\\分辨率\\clip.mp4"},
        // Sizes as people type them: blanks, full-width digits and minus, odd numbers.
        {"D:\\tools", "E:\\videos\\clip.mp4", "-1 ", "\xEF\xBC\x92\xEF\xBC\x94\xEF\xBC\x90",
         "E:\\videos\\clip.mp4", "scale=w=-2:h=240", "D:\\tools\\分辨率\\clip.mp4"},
        {"D:\\tools", "E:\\videos\\clip.mp4", "\xEF\xBC\x8D\xEF\xBC\x91",
         "\xE3\x80\x80"
         "241 ",
         "E:\\videos\\clip.mp4", "scale=w=-2:h=240", "D:\\tools\\分辨率\\clip.mp4"},
        {"D:\\tools", "E:\\videos\\clip.mp4", "427", "-1", "E:\\videos\\clip.mp4",
         "scale=w=426:h=-2", "D:\\tools\\分辨率\\clip.mp4"},
        // Paths as people paste them: quoted, padded.
        {"D:\\tools", "\"E:\\videos\\clip.mp4\"", "-1", "1920", "E:\\videos\\clip.mp4",
         "scale=w=-2:h=1920", "D:\\tools\\分辨率\\clip.mp4"},
        {"D:\\tools", "  E:\\videos\\clip.mp4 \xE3\x80\x80", "-1", "1920", "E:\\videos\\clip.mp4",
         "scale=w=-2:h=1920", "D:\\tools\\分辨率\\clip.mp4"},
        {"D:", "E:\\videos\\clip.mp4", "-1", "1920", "E:\\videos\\clip.mp4", "scale=w=-2:h=1920",
         "D:\\分辨率\\clip.mp4"},
        // No short name from the system: the path keeps its blank and is quoted.
        {"D:\\tools", "E:\\no short\\片 段.mp4", "-1", "1920", "\"E:\\no short\\片 段.mp4\"",
         "scale=w=-2:h=1920", "D:\\tools\\分辨率\\片 段.mp4"},
    };
    fake.files.add_folder("D:");
    fake.files.add_folder("E:\\videos");
    fake.files.add_folder("E:\\my videos");
    fake.files.add_folder("E:\\no short");
    fake.files.short_names["E:\\my videos\\"] = "E:\\MYVIDE~1\\";
    fake.files.short_names["E:\\videos\\holiday trip.mp4"] = "E:\\videos\\HOLIDA~1.MP4";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        fake.files.program_folder_text = c.program_folder;
        type(controls::kPathBox, c.input);
        type(controls::kWidthBox, c.width);
        type(controls::kHeightBox, c.height);
        Text input = cleaned_path(c.input);
        fake.files.add_file(input);
        probed(input);
        Text folder = Text(c.output).substr(0, Text(c.output).rfind('\\'));
        Text temporary = next_temporary(folder);
        script_complete_run();

        on_change_resolution_clicked();

        const auto& child = fake.processes.last();
        EXPECT_EQ(child.program_path, kConverter);
        EXPECT_EQ(child.command_line, clip_command_line(c.source, c.scale, temporary));
        EXPECT_EQ(fake.files.file(c.output), bytes_of("video"));
        EXPECT_FALSE(fake.files.file(temporary));
        EXPECT_TRUE(fake.window.messages.empty());
        EXPECT_EQ(fake.window.text(controls::kProgressLabel), "进度：100 %");
        fake.files.delete_file(c.output);
    }
}

// The temporary name can be no output's name (outputs end in .mp4) and is the process's own:
// a name taken already, by an earlier run or another program, is passed over.
TEST_F(HandlerTest, TemporaryNamesCollideWithNothing) {
    fake.files.add_folder("E:\\v");
    fake.files.add_file("E:\\v\\x.converting.avi");
    fake.files.add_folder("D:\\tools\\分辨率");
    fake.files.add_file("D:\\tools\\分辨率\\x.converting.mp4", bytes_of("another run's result"));
    fake.files.add_file("D:\\tools\\分辨率\\~quelvarn-777-1.partial", bytes_of("not ours"));
    type(controls::kPathBox, "E:\\v\\x.converting.avi");
    probed("E:\\v\\x.converting.avi");
    script_complete_run();

    on_change_resolution_clicked();

    EXPECT_EQ(fake.processes.last().command_line,
              clip_command_line("E:\\v\\x.converting.avi", "scale=w=-2:h=1920",
                                "D:\\tools\\分辨率\\~quelvarn-777-2.partial"));
    EXPECT_EQ(fake.files.file("D:\\tools\\分辨率\\x.converting.mp4"), bytes_of("video"));
    EXPECT_EQ(fake.files.file("D:\\tools\\分辨率\\~quelvarn-777-1.partial"), bytes_of("not ours"));
    EXPECT_FALSE(fake.files.file("D:\\tools\\分辨率\\~quelvarn-777-2.partial"));
}

TEST_F(HandlerTest, SuccessReplacesAnEarlierOutput) {
    fake.files.add_folder("E:\\v");
    fake.files.add_file("E:\\v\\clip.mp4");
    fake.files.add_folder("D:\\tools\\分辨率");
    fake.files.add_file("D:\\tools\\分辨率\\clip.mp4", bytes_of("old"));
    type(controls::kPathBox, "E:\\v\\clip.mp4");
    probed("E:\\v\\clip.mp4");
    converter_output = "new";
    script_complete_run();

    on_change_resolution_clicked();

    EXPECT_EQ(fake.files.file("D:\\tools\\分辨率\\clip.mp4"), bytes_of("new"));
    EXPECT_TRUE(fake.window.enabled(controls::kChangeButton));
}

// The final name is open in a player: the finished file is kept under the first free name
// beside it, one box says where, and the earlier output stays as it is.
TEST_F(HandlerTest, FinishedConversionIsKeptWhenTheFinalNameCannotBeReplaced) {
    fake.files.add_folder("E:\\v");
    fake.files.add_file("E:\\v\\held.mp4");
    fake.files.add_folder("D:\\tools\\分辨率");
    fake.files.add_file("D:\\tools\\分辨率\\held.mp4", bytes_of("old"));
    fake.files.add_file("D:\\tools\\分辨率\\held (2).mp4", bytes_of("older"));
    fake.files.held_open.insert("D:\\tools\\分辨率\\held.mp4");
    type(controls::kPathBox, "E:\\v\\held.mp4");
    probed("E:\\v\\held.mp4");
    Text temporary = next_temporary();
    script_complete_run();

    on_change_resolution_clicked();

    EXPECT_EQ(fake.files.file("D:\\tools\\分辨率\\held (3).mp4"), bytes_of("video"));
    EXPECT_EQ(fake.files.file("D:\\tools\\分辨率\\held.mp4"), bytes_of("old"));
    EXPECT_EQ(fake.files.file("D:\\tools\\分辨率\\held (2).mp4"), bytes_of("older"));
    EXPECT_FALSE(fake.files.file(temporary));
    ASSERT_EQ(fake.window.messages.size(), 1u);
    EXPECT_EQ(fake.window.messages[0].text,
              "原有的输出文件无法替换（可能正被其他程序打开），这次的转换结果已保存为：D:\\tools\\"
              "分辨率\\held (3).mp4");
    EXPECT_EQ(fake.window.text(controls::kProgressLabel), "进度：100 %");
}

TEST_F(HandlerTest, FailedConversionKeepsTheEarlierOutputAndSaysWhyOnce) {
    struct Case {
        const char* name;
        const char* report;
        std::uint32_t exit_code;
        const char* box;
    };
    const Case cases[] = {
        // The cause comes before the converter's closing verdict.
        {"filter error",
         "Stream mapping:\r\n  Stream #0:0 -> #0:0 (h264 (native) -> h264 (libx264))\r\n"
         "Press [q] to stop, [?] for help\r\n"
         "[libx264 @ 0000000000f99700] width not divisible by 2 (427x240)\r\n"
         "Error initializing output stream 0:0 -- Error while opening encoder\r\n"
         "Conversion failed!\r\n",
         1, "转换失败：width not divisible by 2 (427x240)"},
        {"failed before converting",
         "Input #0, mov,mp4\r\nD:\\tools\\分辨率\\x.partial: Permission denied\r\n", 1,
         "转换失败：D:\\tools\\分辨率\\x.partial: Permission denied"},
        {"progress then error",
         "Press [q] to stop, [?] for help\r\n"
         "frame=   10 fps=0.0 time=00:00:00.40 bitrate=N/A speed=   1x    \r"
         "Error while decoding stream #0:0: Invalid data found when processing input\r\n"
         "Conversion failed!\r\n",
         1, "转换失败：Error while decoding stream #0:0: Invalid data found when processing input"},
        {"nothing reported", "", 3, "转换失败，转换程序的退出代码为 3"},
        // Ended from outside ("End task", taskkill /F): whatever code it exits with, a run
        // without the closing summary is no success, and the box says what happened.
        {"ended from outside with code 0",
         "Press [q] to stop, [?] for help\r\n"
         "frame=   10 fps=0.0 time=00:00:00.40 bitrate=N/A speed=   1x    \r",
         0, "转换程序在转换完成之前就结束了（可能被其他程序终止），没有保存输出文件。"},
        {"ended from outside with code 1 after a warning",
         "Press [q] to stop, [?] for help\r\n[mp4 @ 0000000000f99700] Past duration 0.99 too "
         "large\r\n"
         "frame=   10 fps=0.0 time=00:00:00.40 bitrate=N/A speed=   1x    \r",
         1, "转换程序在转换完成之前就结束了（可能被其他程序终止），没有保存输出文件。"},
        {"ended before it started with code 0", "Input #0, mov,mp4\r\n", 0,
         "转换失败：Input #0, mov,mp4"},
        // The status box already named the cause: no second box.
        {"status box", "E:\\v\\clip.mp4: No such file or directory\n", 1, "文件不存在11"},
        {"i/o box", "Input/output error\n", 1, "输入输出错误"},
    };
    fake.files.add_folder("E:\\v");
    fake.files.add_file("E:\\v\\clip.mp4");
    fake.files.add_folder("D:\\tools\\分辨率");
    fake.files.add_file("D:\\tools\\分辨率\\clip.mp4", bytes_of("old"));
    type(controls::kPathBox, "E:\\v\\clip.mp4");
    probed("E:\\v\\clip.mp4");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake.window.messages.clear();
        fake.window.writes.clear();
        Text temporary = next_temporary();
        script_run(c.report, c.exit_code);

        on_change_resolution_clicked();

        ASSERT_EQ(fake.window.messages.size(), 1u);
        EXPECT_EQ(fake.window.messages[0].text, c.box);
        EXPECT_EQ(fake.window.messages[0].caption, "信息：");
        EXPECT_EQ(fake.window.text(controls::kProgressLabel), "进度：失败");
        for (const Text& label : labels()) EXPECT_NE(label, "进度：100 %");
        EXPECT_EQ(fake.files.file("D:\\tools\\分辨率\\clip.mp4"), bytes_of("old"));
        EXPECT_FALSE(fake.files.file(temporary));
        EXPECT_TRUE(fake.window.enabled(controls::kChangeButton));
    }
}

// No converter passed the check at start-up: a file at the converter's path (someone else's) is
// never run, by a drop or a press; the conversion names the converter that is missing.
TEST_F(HandlerTest, AConverterThatWasNotCheckedIsNeverRun) {
    session.converter.reset();
    fake.files.add_folder("E:\\v");
    fake.files.add_file("E:\\v\\clip.mp4");

    on_file_dropped({"E:\\v\\clip.mp4"});
    type(controls::kPathBox, "E:\\v\\clip.mp4");
    on_change_resolution_clicked();

    EXPECT_TRUE(fake.processes.children.empty());
    ASSERT_EQ(fake.window.messages.size(), 1u);
    EXPECT_EQ(fake.window.messages[0].text, "C:\\ffmpeg\\ffmpeg.exe 不存在");
    EXPECT_EQ(fake.window.text(controls::kProgressLabel), "进度：失败");
}

TEST_F(HandlerTest, ConverterMissingOrNotStarted) {
    fake.files.add_folder("E:\\v");
    fake.files.add_file("E:\\v\\clip.mp4");
    type(controls::kPathBox, "E:\\v\\clip.mp4");
    type(controls::kProgressLabel, "进度：");

    fake.files.delete_file(kConverter);
    on_change_resolution_clicked();
    EXPECT_TRUE(fake.processes.children.empty());
    ASSERT_EQ(fake.window.messages.size(), 1u);
    EXPECT_EQ(fake.window.messages[0].text, "C:\\ffmpeg\\ffmpeg.exe 不存在");
    EXPECT_EQ(fake.window.text(controls::kProgressLabel), "进度：失败");

    fake.files.add_file(kConverter);
    fake.window.messages.clear();
    probed("E:\\v\\clip.mp4");
    ChildScript refused;
    refused.start_fails = true;
    fake.processes.scripts.push_back(refused);
    on_change_resolution_clicked();
    ASSERT_EQ(fake.window.messages.size(), 1u);
    EXPECT_EQ(fake.window.messages[0].text, "无法启动 C:\\ffmpeg\\ffmpeg.exe");
    EXPECT_EQ(fake.window.text(controls::kProgressLabel), "进度：失败");
}

// Refused before anything starts: one box naming what is wrong, no converter, nothing written.
TEST_F(HandlerTest, RefusedPressesStartNothing) {
    struct Case {
        const char* name;
        const char* path_box;
        const char* width;
        const char* height;
        const char* box;
    };
    const char* kWidthBox =
        "“分辨率帧宽”只能填 -1（按比例）或 2 到 8192 之间的整数（奇数会减为偶数）。";
    const char* kHeightBox =
        "“分辨率帧高”只能填 -1（按比例）或 2 到 8192 之间的整数（奇数会减为偶数）。";
    const Case cases[] = {
        {"empty path box", "", "-1", "240", "请先把视频文件拖放到“视频路径”框中。"},
        {"blank path box", "   ", "-1", "240", "请先把视频文件拖放到“视频路径”框中。"},
        {"quotes only", "\"\"", "-1", "240", "请先把视频文件拖放到“视频路径”框中。"},
        {"input is the output", "D:\\tools\\分辨率\\clip.mp4", "-1", "240",
         "输出文件就是输入文件本身，不能覆盖。请先把视频移到别的文件夹再转换。"},
        {"relative path", "clip.mp4", "-1", "240",
         "请填写视频文件的完整路径（例如 D:\\视频\\片段.mp4），不能是相对路径：clip.mp4"},
        {"missing file", "E:\\v\\gone.mp4", "-1", "240", "文件不存在11"},
        {"empty width", "E:\\v\\clip.mp4", "", "240", kWidthBox},
        {"zero height", "E:\\v\\clip.mp4", "-1", "0", kHeightBox},
        {"letters", "E:\\v\\clip.mp4", "abc", "240", kWidthBox},
        {"filter text", "E:\\v\\clip.mp4", "640,hflip", "240", kWidthBox},
        {"other negative", "E:\\v\\clip.mp4", "-1", "-2", kHeightBox},
        {"too large", "E:\\v\\clip.mp4", "9000", "-1", kWidthBox},
        {"both keep the aspect", "E:\\v\\clip.mp4", "-1", "\xEF\xBC\x8D\xEF\xBC\x91",
         "“分辨率帧宽”和“分辨率帧高”不能都是 -1，请至少填写其中一个的像素数。"},
    };
    fake.files.add_folder("E:\\v");
    fake.files.add_file("E:\\v\\clip.mp4");
    fake.files.add_folder("D:\\tools\\分辨率");
    fake.files.add_file("D:\\tools\\分辨率\\clip.mp4", bytes_of("mine"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake.window.messages.clear();
        fake.processes.children.clear();
        type(controls::kPathBox, c.path_box);
        type(controls::kWidthBox, c.width);
        type(controls::kHeightBox, c.height);
        type(controls::kProgressLabel, "进度：");

        on_change_resolution_clicked();

        EXPECT_TRUE(fake.processes.children.empty());
        ASSERT_EQ(fake.window.messages.size(), 1u);
        EXPECT_EQ(fake.window.messages[0].text, c.box);
        EXPECT_EQ(fake.window.text(controls::kProgressLabel), "进度：");
    }
    EXPECT_EQ(fake.files.file("D:\\tools\\分辨率\\clip.mp4"), bytes_of("mine"));
}

// A typed or pasted path is probed on the press unless it is the path probed last, so the
// percentage is taken against its own duration; a file without a moving picture is refused.
TEST_F(HandlerTest, TypedPathIsProbedOnThePress) {
    fake.files.add_folder("E:\\v");
    fake.files.add_file("E:\\v\\short.mp4");
    fake.files.add_file("E:\\v\\long.mp4");
    script_probe("00:00:03.00");
    on_file_dropped({"E:\\v\\short.mp4"});
    ASSERT_EQ(fake.window.text(controls::kDurationStore), "00:00:03.00");

    type(controls::kPathBox, " \"E:\\v\\long.mp4\" ");
    type(controls::kHeightBox, "240");
    script_probe("00:03:07.52");
    script_run(
        "Press [q] to stop\nframe=1 time=00:01:40.00 bitrate=1 speed=1x \r"
        "video:1kB audio:0kB subtitle:0kB other streams:0kB global headers:0kB\n");
    fake.window.writes.clear();

    on_change_resolution_clicked();

    ASSERT_EQ(fake.processes.children.size(), 3u);
    EXPECT_EQ(fake.processes.children[1]->command_line, " -i E:\\v\\long.mp4");
    EXPECT_EQ(fake.window.text(controls::kDurationStore), "00:03:07.52");
    EXPECT_EQ(labels().front(), "进度：53.48 %");
    EXPECT_EQ(labels().back(), "进度：100 %");
    EXPECT_TRUE(fake.window.messages.empty());

    // Pressed again on the same path: no second probe.
    script_complete_run();
    on_change_resolution_clicked();
    EXPECT_EQ(fake.processes.children.size(), 4u);
    EXPECT_EQ(fake.window.text(controls::kDurationStore), "00:03:07.52");
}

TEST_F(HandlerTest, FileWithoutAMovingPictureIsRefused) {
    struct Case {
        const char* name;
        const char* probe;
    };
    const Case cases[] = {
        {"sound only",
         "Input #0, mov,mp4,m4a, from 'E:\\v\\sound.m4a':\n  Duration: 00:00:03.00, start: 0\n"
         "    Stream #0:0(und): Audio: aac (LC), 44100 Hz, mono, fltp\n"},
        {"sound with a cover",
         "Input #0, mp3, from 'E:\\v\\sound.m4a':\n  Duration: 00:00:03.00, start: 0\n"
         "    Stream #0:0: Audio: mp3, 44100 Hz, stereo\n"
         "    Stream #0:1: Video: mjpeg, yuvj420p, 600x600, 90k tbr (attached pic)\n"},
        {"not a media file", "E:\\v\\sound.m4a: Invalid data found when processing input\n"},
    };
    fake.files.add_folder("E:\\v");
    fake.files.add_file("E:\\v\\sound.m4a");
    type(controls::kPathBox, "E:\\v\\sound.m4a");
    type(controls::kProgressLabel, "进度：");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake.window.messages.clear();
        session.probed_path.clear();
        script_run(c.probe, 1);

        on_change_resolution_clicked();

        EXPECT_EQ(fake.processes.children.size(), 1u) << "only the probe ran";
        fake.processes.children.clear();
        ASSERT_EQ(fake.window.messages.size(), 1u);
        EXPECT_EQ(fake.window.messages[0].text,
                  "该文件中没有视频画面，无法修改分辨率：E:\\v\\sound.m4a");
        EXPECT_EQ(fake.window.text(controls::kProgressLabel), "进度：");
        EXPECT_FALSE(fake.files.path_present("D:\\tools\\分辨率"));
    }
}

// The output folder cannot be made (a file of its name) or takes no file (read-only): one box
// names it.
TEST_F(HandlerTest, UnusableOutputFolderIsNamed) {
    fake.files.add_folder("E:\\v");
    fake.files.add_file("E:\\v\\clip.mp4");
    type(controls::kPathBox, "E:\\v\\clip.mp4");
    probed("E:\\v\\clip.mp4");
    for (bool folder_is_a_file : {true, false}) {
        SCOPED_TRACE(folder_is_a_file ? "a file of its name" : "read-only");
        fake.window.messages.clear();
        fake.files.remove_tree("D:\\tools\\分辨率");
        fake.files.delete_file("D:\\tools\\分辨率");
        if (folder_is_a_file) {
            fake.files.add_file("D:\\tools\\分辨率");
        } else {
            fake.files.read_only_folders.insert("D:\\tools\\分辨率");
        }

        on_change_resolution_clicked();

        EXPECT_TRUE(fake.processes.children.empty());
        ASSERT_EQ(fake.window.messages.size(), 1u);
        EXPECT_EQ(fake.window.messages[0].text, "无法创建或写入输出文件夹：D:\\tools\\分辨率");
    }
}

// A path longer than the converter opens goes in its short form; without one, one box.
TEST_F(HandlerTest, LongPathsGoInTheirShortForm) {
    const Text folder = "E:\\" + std::string(130, 'a') + "\\" + std::string(130, 'b');
    const Text input = folder + "\\clip.mp4";
    fake.files.add_folder("E:\\" + std::string(130, 'a'));
    fake.files.add_folder(folder);
    fake.files.add_file(input);
    type(controls::kPathBox, input);
    probed(input);

    on_change_resolution_clicked();
    EXPECT_TRUE(fake.processes.children.empty());
    ASSERT_EQ(fake.window.messages.size(), 1u);
    EXPECT_EQ(fake.window.messages[0].text, "路径太长，转换程序无法打开：" + input);

    fake.window.messages.clear();
    fake.files.short_names[input] = "E:\\AAAAAA~1\\BBBBBB~1\\clip.mp4";
    script_complete_run();
    on_change_resolution_clicked();
    ASSERT_EQ(fake.processes.children.size(), 1u);
    EXPECT_EQ(fake.processes.last().command_line.rfind(
                  " -y -i E:\\AAAAAA~1\\BBBBBB~1\\clip.mp4 -map 0:0 ", 0),
              0u);
    EXPECT_TRUE(fake.window.messages.empty());
}

TEST_F(HandlerTest, DropProbesTheFirstFileQuoted) {
    script_run(
        "Input #0, mov,mp4\n  Duration: 00:01:05.30, start: 0.000000, bitrate: 2516 kb/s\n"
        "At least one output file must be specified\n",
        1);

    type(controls::kProgressLabel, "进度：");

    on_file_dropped({"E:\\my videos\\clip.mp4", "E:\\other.mp4"});

    EXPECT_EQ(fake.window.text(controls::kPathBox), "E:\\my videos\\clip.mp4");
    EXPECT_EQ(fake.processes.last().command_line, " -i \"E:\\my videos\\clip.mp4\"");
    EXPECT_EQ(fake.window.text(controls::kDurationStore), "00:01:05.30");
    EXPECT_EQ(probed_seconds(session), 65);
    // A probe is no conversion: the label is left as it was.
    EXPECT_EQ(fake.window.text(controls::kProgressLabel), "进度：");
    EXPECT_TRUE(fake.window.messages.empty());
    EXPECT_TRUE(fake.window.enabled(controls::kChangeButton));
}

TEST_F(HandlerTest, DropWithoutConverterEmptiesTheDuration) {
    fake.files.delete_file(kConverter);
    type(controls::kProgressLabel, "进度：");

    probed("E:\\v\\earlier.mp4", "00:00:12.00");

    on_file_dropped({"E:\\v\\clip.mp4"});

    EXPECT_EQ(fake.window.text(controls::kPathBox), "E:\\v\\clip.mp4");
    EXPECT_EQ(fake.window.text(controls::kDurationStore), "");
    EXPECT_EQ(probed_seconds(session), 0);
    EXPECT_EQ(fake.window.text(controls::kProgressLabel), "进度：");
    EXPECT_TRUE(fake.window.messages.empty());
}

TEST_F(HandlerTest, OneRunAtATime) {
    fake.files.add_folder("E:\\v");
    fake.files.add_file("E:\\v\\clip.mp4");
    type(controls::kPathBox, "E:\\v\\clip.mp4");
    probed("E:\\v\\clip.mp4");
    ChildScript slow;
    slow.pieces.push_back({bytes_of("time=00:00:01.00\n"), 2});
    slow.waits_before_exit = 2;
    fake.processes.scripts.push_back(slow);
    bool button_enabled_during_run = true;
    bool pressed_again = false;
    fake.window.on_drain = [&] {
        if (pressed_again) return;
        pressed_again = true;
        button_enabled_during_run = fake.window.enabled(controls::kChangeButton);
        // The user presses again and drops another file while the conversion runs.
        on_change_resolution_clicked();
        on_file_dropped({"E:\\v\\other.mp4"});
    };

    on_change_resolution_clicked();

    EXPECT_EQ(fake.processes.children.size(), 1u);
    EXPECT_FALSE(button_enabled_during_run);
    EXPECT_TRUE(fake.window.enabled(controls::kChangeButton));
    EXPECT_EQ(fake.window.text(controls::kPathBox), "E:\\v\\clip.mp4");
}

TEST_F(HandlerTest, AbandonedConversionLeavesNoPartialFile) {
    fake.files.add_folder("E:\\v");
    fake.files.add_file("E:\\v\\clip.mp4");
    type(controls::kPathBox, "E:\\v\\clip.mp4");
    probed("E:\\v\\clip.mp4");
    Text temporary = next_temporary();
    ChildScript slow;
    slow.waits_before_exit = 3;
    fake.processes.scripts.push_back(slow);
    bool partial_seen = false;
    fake.processes.on_wait = [&] {
        if (!partial_seen) fake.files.add_file(temporary, bytes_of("partial"));
    };
    fake.window.on_drain = [&] {
        if (partial_seen || fake.files.file(temporary) != bytes_of("partial")) return;
        partial_seen = true;
        // What closing the window does in the middle of a run.
        main_window.abandon_run();
    };

    on_change_resolution_clicked();

    EXPECT_TRUE(partial_seen);
    EXPECT_TRUE(fake.processes.last().terminated);
    EXPECT_FALSE(fake.files.file(temporary));
    EXPECT_TRUE(fake.files.path_present("D:\\tools\\分辨率"));
    EXPECT_FALSE(fake.files.path_present("D:\\tools\\分辨率\\clip.mp4"));
}

// The percentage of a conversion is taken against the duration the drop probed.
TEST_F(HandlerTest, ProgressUsesTheProbedDuration) {
    fake.files.add_folder("E:\\v");
    fake.files.add_file("E:\\v\\clip.mp4");
    script_probe("00:03:07.52");
    on_file_dropped({"E:\\v\\clip.mp4"});
    ChildScript run;
    run.pieces.push_back(
        {bytes_of("Press [q] to stop\nframe=1 time=00:01:40.00 bitrate=1 speed=1x \r"), 0});
    run.pieces.push_back({bytes_of("frame=2 time=00:03:09.00 bitrate=1 speed=1x \r"), 1});
    run.pieces.push_back({bytes_of("video:1kB global headers:0kB\r\n"), 1});
    fake.processes.scripts.push_back(run);

    on_change_resolution_clicked();

    // The last clock lies past the probed duration: the label still stops at 100 %.
    EXPECT_EQ(labels(), (std::vector<Text>{"进度：53.48 %", "进度：100 %", "进度：100 %"}));
}

// A conversion of a 30-second clip whose converter reports 3 more seconds done every wall
// second (the clock moves a second at each wait for the child), then its closing summary.
void script_steady_conversion(fakes::FakePlatform& fake) {
    ChildScript script;
    script.pieces.push_back({bytes_of("Press [q] to stop, [?] for help\n"), 0});
    for (int media = 3; media <= 30; media += 3) {
        char report[64];
        std::snprintf(report, sizeof report, "frame=1 time=00:00:%02d.00 bitrate=1 speed=3x \r",
                      media);
        script.pieces.push_back({bytes_of(report), 1});
    }
    script.pieces.push_back({bytes_of("video:1kB global headers:0kB\r\n"), 0});
    fake.processes.scripts.push_back(script);
    fake.processes.on_wait = [&fake] { fake.clock.now += 1.0; };
}

TEST_F(HandlerTest, ConversionShowsItsProgressInTheCaptionAndOnTheTaskbarButton) {
    struct Case {
        const char* name;
        bool dropped;
    };
    // A typed path is probed within the press: the time left still counts against its duration.
    const Case cases[] = {{"dropped and probed before", true}, {"typed", false}};
    fake.files.add_folder("E:\\v");
    fake.files.add_file("E:\\v\\clip.mp4");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        type(controls::kPathBox, "E:\\v\\clip.mp4");
        if (c.dropped) {
            probed("E:\\v\\clip.mp4", "00:00:30.00");
        } else {
            session.probed_path.clear();
            session.probe.reset();
            script_probe("00:00:30.00");
        }
        script_steady_conversion(fake);
        fake.window.captions.clear();
        fake.taskbar.calls.clear();

        on_change_resolution_clicked();

        // The time left shows once the reports span three seconds; at 3 media seconds per
        // second the estimate is exact.
        EXPECT_EQ(fake.window.captions,
                  (std::vector<Text>{"10 % - Quelvarn", "20 % - Quelvarn", "30 % - Quelvarn",
                                     "40 % · 剩余 0:06 - Quelvarn", "50 % · 剩余 0:05 - Quelvarn",
                                     "60 % · 剩余 0:04 - Quelvarn", "70 % · 剩余 0:03 - Quelvarn",
                                     "80 % · 剩余 0:02 - Quelvarn", "90 % · 剩余 0:01 - Quelvarn",
                                     "100 % · 剩余 0:00 - Quelvarn", "Quelvarn"}));
        EXPECT_EQ(
            fake.taskbar.calls,
            (std::vector<Text>{"clear", "progress 10", "progress 20", "progress 30", "progress 40",
                               "progress 50", "progress 60", "progress 70", "progress 80",
                               "progress 90", "progress 100", "clear", "flash"}));
        EXPECT_EQ(fake.window.text(controls::kProgressLabel), "进度：100 %");
        EXPECT_TRUE(fake.window.messages.empty());
    }
}

TEST_F(HandlerTest, TheTaskbarButtonShowsHowARunEnded) {
    struct Case {
        const char* name;
        std::function<void(HandlerTest&)> act;
        std::vector<Text> taskbar;
        // Every caption set: the progress, then "Quelvarn" again.
        std::vector<Text> captions;
    };
    const Case cases[] = {
        {"a failed conversion: red until the next run",
         [](HandlerTest& t) {
             t.script_run(
                 "Press [q] to stop, [?] for help\nframe=1 time=00:00:03.00 bitrate=1\r"
                 "Conversion failed!\r\n",
                 1);
             t.on_change_resolution_clicked();
         },
         {"clear", "progress 10", "error", "flash"},
         {"10 % - Quelvarn", "Quelvarn"}},
        {"a converter that cannot start",
         [](HandlerTest& t) {
             ChildScript refused;
             refused.start_fails = true;
             t.fake.processes.scripts.push_back(refused);
             t.on_change_resolution_clicked();
         },
         {"clear", "error", "flash"},
         {}},
        {"a press with nothing to convert starts no run",
         [](HandlerTest& t) {
             t.type(controls::kPathBox, "");
             t.on_change_resolution_clicked();
         },
         {"clear"},
         {}},
        {"a drop probes a new file: the earlier mark goes, nothing flashes",
         [](HandlerTest& t) {
             t.script_probe("00:00:30.00");
             t.on_file_dropped({"E:\\v\\clip.mp4"});
         },
         {"clear"},
         {}},
    };
    fake.files.add_folder("E:\\v");
    fake.files.add_file("E:\\v\\clip.mp4");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        type(controls::kPathBox, "E:\\v\\clip.mp4");
        probed("E:\\v\\clip.mp4", "00:00:30.00");
        fake.taskbar.calls.clear();
        fake.window.captions.clear();
        c.act(*this);
        EXPECT_EQ(fake.taskbar.calls, c.taskbar);
        EXPECT_EQ(fake.window.captions, c.captions);
    }
}

TEST(ProgressView, LabelTexts) {
    struct Case {
        std::optional<double> percent;
        const char* clock;
        const char* label;
    };
    const Case cases[] = {
        {53.48, "00:01:40", "进度：53.48 %"},
        {100, "", "进度：100 %"},
        {12.5, "", "进度：12.5 %"},
        {0, "", "进度：0 %"},
        {110, "", "进度：110 %"},
        {0.01, "", "进度：0.01 %"},
        {std::nullopt, "00:00:12", "进度：00:00:12"},
    };
    for (const Case& c : cases) {
        RunProgress progress;
        progress.percent = c.percent;
        progress.elapsed_clock = c.clock;
        EXPECT_EQ(progress_label_text(progress), c.label);
    }
}

TEST(ProgressView, OnlyTwoStatusesRaiseABox) {
    EXPECT_EQ(status_box_text(RunStatus::file_missing), "文件不存在11");
    EXPECT_EQ(status_box_text(RunStatus::input_output_error), "输入输出错误");
    EXPECT_FALSE(status_box_text(RunStatus::running));
    EXPECT_FALSE(status_box_text(RunStatus::done));
}

}  // namespace
}  // namespace quelvarn
