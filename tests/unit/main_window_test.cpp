// The drop and convert handlers over the fake platform: the exact command lines, the output
// name, what the user sees on failure, and that nothing is lost or started twice.
#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "support/fake_platform.h"
#include "ui/controls.h"
#include "ui/progress_view.h"

namespace quelvarn {
namespace {

using fakes::bytes_of;
using fakes::ChildScript;
using fakes::FakePlatform;

constexpr std::string_view kConverter = "C:\\ffmpeg\\ffmpeg.exe";

class HandlerTest : public ::testing::Test {
  public:
    HandlerTest() {
        session.converter_path = Text(kConverter);
        fake.files.add_folder("C:\\ffmpeg");
        fake.files.add_file(kConverter);
        fake.files.add_folder("D:\\tools");
        fake.files.program_folder_text = "D:\\tools";
        fake.window.texts[Text(controls::kWidthBox)] = "-1";
        fake.window.texts[Text(controls::kHeightBox)] = "1920";
        fake.window.texts[Text(controls::kDurationStore)] = "标签";
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
    // Stands in for the converter writing its output file.
    void converter_writes(std::string_view path, std::string_view content) {
        fake.files.add_file(path, bytes_of(content));
    }

    FakePlatform fake;
    Session session;
    MainWindow main_window{session};
};

TEST_F(HandlerTest, ConversionCommandLines) {
    struct Case {
        const char* program_folder;
        const char* input;
        const char* width;
        const char* height;
        const char* command_line;
        const char* output;
    };
    const Case cases[] = {
        {"D:\\tools", "E:\\videos\\clip.mp4", "-1", "1920",
         " -i E:\\videos\\clip.mp4 -vf scale=-2:1920 D:\\tools\\分辨率\\clip.converting.mp4 -y",
         "D:\\tools\\分辨率\\clip.mp4"},
        {"D:\\tools", "E:\\my videos\\clip.mp4", "720", "-1",
         " -i E:\\MYVIDE~1\\clip.mp4 -vf scale=720:-2 D:\\tools\\分辨率\\clip.converting.mp4 -y",
         "D:\\tools\\分辨率\\clip.mp4"},
        {"D:\\tools", "E:\\videos\\holiday trip.mp4", "-1", "1920",
         " -i E:\\videos\\HOLIDA~1.MP4 -vf scale=-2:1920 \"D:\\tools\\分辨率\\holiday "
         "trip.converting.mp4\" -y",
         "D:\\tools\\分辨率\\holiday trip.mp4"},
        {"D:\\tools", "E:\\videos\\Clip.MP4", "-1", "1920",
         " -i E:\\videos\\Clip.MP4 -vf scale=-2:1920 D:\\tools\\分辨率\\Clip.converting.mp4 -y",
         "D:\\tools\\分辨率\\Clip.mp4"},
        {"D:\\tools", "E:\\videos\\clip.mkv", "640", "360",
         " -i E:\\videos\\clip.mkv -vf scale=640:360 D:\\tools\\分辨率\\clip.converting.mp4 -y",
         "D:\\tools\\分辨率\\clip.mp4"},
        {"D:\\tools", "E:\\a.mp4files\\clip.mp4", "-1", "1920",
         " -i E:\\a.mp4files\\clip.mp4 -vf scale=-2:1920 D:\\tools\\分辨率\\clip.converting.mp4 -y",
         "D:\\tools\\分辨率\\clip.mp4"},
        {"D:\\tools", "E:\\videos\\clip.mp4", "abc", "",
         " -i E:\\videos\\clip.mp4 -vf scale=abc: D:\\tools\\分辨率\\clip.converting.mp4 -y",
         "D:\\tools\\分辨率\\clip.mp4"},
        // Typed text cannot add arguments: a blank keeps the scale value one argument.
        {"D:\\tools", "E:\\videos\\clip.mp4", "640 -f", "-1",
         " -i E:\\videos\\clip.mp4 -vf \"scale=640 -f:-2\" D:\\tools\\分辨率\\clip.converting.mp4 "
         "-y",
         "D:\\tools\\分辨率\\clip.mp4"},
        {"D:", "E:\\videos\\clip.mp4", "-1", "1920",
         " -i E:\\videos\\clip.mp4 -vf scale=-2:1920 D:\\分辨率\\clip.converting.mp4 -y",
         "D:\\分辨率\\clip.mp4"},
        // No short name from the system: the path keeps its blank and is quoted.
        {"D:\\tools", "E:\\no short\\片 段.mp4", "-1", "1920",
         " -i \"E:\\no short\\片 段.mp4\" -vf scale=-2:1920 \"D:\\tools\\分辨率\\片 "
         "段.converting.mp4\" -y",
         "D:\\tools\\分辨率\\片 段.mp4"},
    };
    fake.files.add_folder("D:");
    fake.files.add_folder("E:\\videos");
    fake.files.add_folder("E:\\my videos");
    fake.files.add_folder("E:\\no short");
    fake.files.short_names["E:\\my videos\\"] = "E:\\MYVIDE~1\\";
    fake.files.short_names["E:\\videos\\holiday trip.mp4"] = "E:\\videos\\HOLIDA~1.MP4";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        fake.files.add_file(c.input);
        fake.files.program_folder_text = c.program_folder;
        type(controls::kPathBox, c.input);
        type(controls::kWidthBox, c.width);
        type(controls::kHeightBox, c.height);
        Text temporary = Text(c.output).substr(0, Text(c.output).size() - 4) + ".converting.mp4";
        converter_writes(temporary, "video");
        script_run("frame=1 time=00:00:01.00\n");

        on_change_resolution_clicked();

        const auto& child = fake.processes.last();
        EXPECT_EQ(child.program_path, kConverter);
        EXPECT_EQ(child.command_line, c.command_line);
        EXPECT_EQ(fake.files.file(c.output), bytes_of("video"));
        EXPECT_FALSE(fake.files.file(temporary));
        EXPECT_TRUE(fake.window.messages.empty());
        EXPECT_EQ(fake.window.text(controls::kProgressLabel), "进度：100 %");
        fake.files.delete_file(c.output);
    }
}

TEST_F(HandlerTest, SuccessReplacesAnEarlierOutput) {
    fake.files.add_folder("E:\\v");
    fake.files.add_file("E:\\v\\clip.mp4");
    fake.files.add_folder("D:\\tools\\分辨率");
    fake.files.add_file("D:\\tools\\分辨率\\clip.mp4", bytes_of("old"));
    type(controls::kPathBox, "E:\\v\\clip.mp4");
    converter_writes("D:\\tools\\分辨率\\clip.converting.mp4", "new");
    script_run("ok\n");

    on_change_resolution_clicked();

    EXPECT_EQ(fake.files.file("D:\\tools\\分辨率\\clip.mp4"), bytes_of("new"));
    EXPECT_TRUE(fake.window.enabled(controls::kChangeButton));
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
         "[Parsed_scale_0 @ 0000000000f99700] [Eval @ 000000000021e260] Undefined constant or "
         "missing '(' in 'abc'\r\n    Last message repeated 1 times\r\n"
         "[Parsed_scale_0 @ 0000000000f99700] Failed to configure output pad on Parsed_scale_0\r\n"
         "Error reinitializing filters!\r\nConversion failed!\r\n",
         1, "转换失败：Undefined constant or missing '(' in 'abc'"},
        {"failed before converting",
         "Input #0, mov,mp4\r\nD:\\tools\\分辨率\\clip.converting.mp4: Permission denied\r\n", 1,
         "转换失败：D:\\tools\\分辨率\\clip.converting.mp4: Permission denied"},
        {"progress then error",
         "Press [q] to stop, [?] for help\r\n"
         "frame=   10 fps=0.0 time=00:00:00.40 bitrate=N/A speed=   1x    \r"
         "Error while decoding stream #0:0: Invalid data found when processing input\r\n"
         "Conversion failed!\r\n",
         1, "转换失败：Error while decoding stream #0:0: Invalid data found when processing input"},
        {"nothing reported", "", 3, "转换失败，转换程序的退出代码为 3"},
        // The status box already named the cause: no second box.
        {"status box", "E:\\v\\clip.mp4: No such file or directory\n", 1, "文件不存在11"},
        {"i/o box", "Input/output error\n", 1, "输入输出错误"},
    };
    fake.files.add_folder("E:\\v");
    fake.files.add_file("E:\\v\\clip.mp4");
    fake.files.add_folder("D:\\tools\\分辨率");
    fake.files.add_file("D:\\tools\\分辨率\\clip.mp4", bytes_of("old"));
    type(controls::kPathBox, "E:\\v\\clip.mp4");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake.window.messages.clear();
        converter_writes("D:\\tools\\分辨率\\clip.converting.mp4", "partial");
        script_run(c.report, c.exit_code);

        on_change_resolution_clicked();

        ASSERT_EQ(fake.window.messages.size(), 1u);
        EXPECT_EQ(fake.window.messages[0].text, c.box);
        EXPECT_EQ(fake.window.messages[0].caption, "信息：");
        EXPECT_EQ(fake.window.text(controls::kProgressLabel), "进度：失败");
        EXPECT_EQ(fake.files.file("D:\\tools\\分辨率\\clip.mp4"), bytes_of("old"));
        EXPECT_FALSE(fake.files.file("D:\\tools\\分辨率\\clip.converting.mp4"));
        EXPECT_TRUE(fake.window.enabled(controls::kChangeButton));
    }
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
    ChildScript refused;
    refused.start_fails = true;
    fake.processes.scripts.push_back(refused);
    on_change_resolution_clicked();
    ASSERT_EQ(fake.window.messages.size(), 1u);
    EXPECT_EQ(fake.window.messages[0].text, "无法启动 C:\\ffmpeg\\ffmpeg.exe");
    EXPECT_EQ(fake.window.text(controls::kProgressLabel), "进度：失败");
}

TEST_F(HandlerTest, RefusedPressesStartNothing) {
    struct Case {
        const char* name;
        const char* path_box;
        const char* box;
    };
    const Case cases[] = {
        {"empty path box", "", "请先把视频文件拖放到“视频路径”框中。"},
        {"blank path box", "   ", "请先把视频文件拖放到“视频路径”框中。"},
        {"input is the output", "D:\\tools\\分辨率\\clip.mp4",
         "输出文件就是输入文件本身，不能覆盖。请先把视频移到别的文件夹再转换。"},
    };
    fake.files.add_folder("D:\\tools\\分辨率");
    fake.files.add_file("D:\\tools\\分辨率\\clip.mp4", bytes_of("mine"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake.window.messages.clear();
        type(controls::kPathBox, c.path_box);

        on_change_resolution_clicked();

        EXPECT_TRUE(fake.processes.children.empty());
        ASSERT_EQ(fake.window.messages.size(), 1u);
        EXPECT_EQ(fake.window.messages[0].text, c.box);
    }
    EXPECT_EQ(fake.files.file("D:\\tools\\分辨率\\clip.mp4"), bytes_of("mine"));
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
    EXPECT_EQ(session.probed_duration, 65);
    // A probe is no conversion: the label is left as it was.
    EXPECT_EQ(fake.window.text(controls::kProgressLabel), "进度：");
    EXPECT_TRUE(fake.window.messages.empty());
    EXPECT_TRUE(fake.window.enabled(controls::kChangeButton));
}

TEST_F(HandlerTest, DropWithoutConverterEmptiesTheDuration) {
    fake.files.delete_file(kConverter);
    type(controls::kProgressLabel, "进度：");

    session.probed_duration = 12;

    on_file_dropped({"E:\\v\\clip.mp4"});

    EXPECT_EQ(fake.window.text(controls::kPathBox), "E:\\v\\clip.mp4");
    EXPECT_EQ(fake.window.text(controls::kDurationStore), "");
    EXPECT_EQ(session.probed_duration, 0);
    EXPECT_EQ(fake.window.text(controls::kProgressLabel), "进度：");
    EXPECT_TRUE(fake.window.messages.empty());
}

TEST_F(HandlerTest, OneRunAtATime) {
    fake.files.add_folder("E:\\v");
    fake.files.add_file("E:\\v\\clip.mp4");
    type(controls::kPathBox, "E:\\v\\clip.mp4");
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
    ChildScript slow;
    slow.waits_before_exit = 3;
    fake.processes.scripts.push_back(slow);
    bool partial_seen = false;
    fake.processes.on_wait = [&] {
        if (!partial_seen)
            fake.files.add_file("D:\\tools\\分辨率\\clip.converting.mp4", bytes_of("partial"));
    };
    fake.window.on_drain = [&] {
        if (partial_seen || !fake.files.file("D:\\tools\\分辨率\\clip.converting.mp4")) return;
        partial_seen = true;
        // What closing the window does in the middle of a run.
        main_window.abandon_run();
    };

    on_change_resolution_clicked();

    EXPECT_TRUE(partial_seen);
    EXPECT_TRUE(fake.processes.last().terminated);
    EXPECT_FALSE(fake.files.file("D:\\tools\\分辨率\\clip.converting.mp4"));
}

// The percentage of a conversion is taken against the duration the drop probed.
TEST_F(HandlerTest, ProgressUsesTheProbedDuration) {
    fake.files.add_folder("E:\\v");
    fake.files.add_file("E:\\v\\clip.mp4");
    script_run("  Duration: 00:03:07.52, start: 0.000000, bitrate: 1 kb/s\n", 1);
    on_file_dropped({"E:\\v\\clip.mp4"});
    converter_writes("D:\\tools\\分辨率\\clip.converting.mp4", "video");
    script_run("frame=1 time=00:01:40.00 bitrate=1\rvideo:1kB global headers:0kB\r\n");

    on_change_resolution_clicked();

    std::vector<Text> labels;
    for (const auto& [control, text] : fake.window.writes) {
        if (control == controls::kProgressLabel) labels.push_back(text);
    }
    EXPECT_EQ(labels, (std::vector<Text>{"进度：53.48 %", "进度：100 %"}));
}

// A conversion of a 30-second clip whose converter reports 3 more seconds done every wall
// second, and the clock that says so.
void script_steady_conversion(fakes::FakePlatform& fake, std::uint32_t exit_code) {
    ChildScript script;
    for (int media = 3; media <= 30; media += 3) {
        char report[64];
        std::snprintf(report, sizeof report, "frame=1 time=00:00:%02d.00 bitrate=1\r", media);
        script.pieces.push_back({bytes_of(report), 1});
    }
    script.exit_code = exit_code;
    fake.processes.scripts.push_back(script);
    fake.processes.on_wait = [&fake] { fake.clock.now += 1.0; };
}

TEST_F(HandlerTest, ConversionShowsItsProgressInTheCaptionAndOnTheTaskbarButton) {
    fake.files.add_folder("E:\\v");
    fake.files.add_file("E:\\v\\clip.mp4");
    type(controls::kPathBox, "E:\\v\\clip.mp4");
    session.probed_duration = 30;
    converter_writes("D:\\tools\\分辨率\\clip.converting.mp4", "video");
    script_steady_conversion(fake, 0);

    on_change_resolution_clicked();

    // The time left shows once the reports span three seconds; at 3 media seconds per second
    // the estimate is exact.
    EXPECT_EQ(fake.window.captions,
              (std::vector<Text>{"10 % - Quelvarn", "20 % - Quelvarn", "30 % - Quelvarn",
                                 "40 % · 剩余 0:06 - Quelvarn", "50 % · 剩余 0:05 - Quelvarn",
                                 "60 % · 剩余 0:04 - Quelvarn", "70 % · 剩余 0:03 - Quelvarn",
                                 "80 % · 剩余 0:02 - Quelvarn", "90 % · 剩余 0:01 - Quelvarn",
                                 "100 % · 剩余 0:00 - Quelvarn", "Quelvarn"}));
    EXPECT_EQ(fake.taskbar.calls,
              (std::vector<Text>{"clear", "progress 10", "progress 20", "progress 30",
                                 "progress 40", "progress 50", "progress 60", "progress 70",
                                 "progress 80", "progress 90", "progress 100", "clear", "flash"}));
}

TEST_F(HandlerTest, TheTaskbarButtonShowsHowARunEnded) {
    struct Case {
        const char* name;
        std::function<void(HandlerTest&)> act;
        std::vector<Text> taskbar;
        // The caption when all is over; every caption set is either a progress or this.
        std::vector<Text> last_captions;
    };
    const Case cases[] = {
        {"a failed conversion: red until the next run",
         [](HandlerTest& t) {
             t.script_run("frame=1 time=00:00:03.00 bitrate=1\rConversion failed!\r\n", 1);
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
             t.script_run("  Duration: 00:00:30.00, start: 0.000000\n", 1);
             t.on_file_dropped({"E:\\v\\clip.mp4"});
         },
         {"clear"},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake.files.add_folder("E:\\v");
        fake.files.add_file("E:\\v\\clip.mp4");
        type(controls::kPathBox, "E:\\v\\clip.mp4");
        session.probed_duration = 30;
        fake.taskbar.calls.clear();
        fake.window.captions.clear();
        c.act(*this);
        EXPECT_EQ(fake.taskbar.calls, c.taskbar);
        EXPECT_EQ(fake.window.captions, c.last_captions);
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
