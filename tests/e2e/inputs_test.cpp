// Inputs as people really give them, and finished work that is never lost, with the real program
// and the real embedded converter: pasted and padded paths, sizes from a Chinese input method, a
// file without a picture, a typed path after a drop, an output held open by a player, a folder
// that cannot be made, and a converter ended from outside. Each press ends either with the right
// output and 100 %, or with exactly one box, no 100 % and nothing new in 分辨率\; no temporary
// file is ever left there.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/e2e.h"
#include "ui/controls.h"

namespace quelvarn::e2e {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

const std::wstring kFolder = L"C:\\clips\\in";
const std::wstring kShort = L"C:\\clips\\in\\short.mp4";  // 320x180, 3 s
const std::wstring kLong = L"C:\\clips\\in\\long.mp4";    // 640x360, 12 s
const std::wstring kHeld = L"C:\\clips\\in\\held.mp4";    // a copy of the short clip
const std::wstring kSound = L"C:\\clips\\in\\sound.m4a";  // sound only
// Converted to 1920 wide it keeps the converter busy long enough to end it from outside.
const std::wstring kSlow = L"C:\\clips\\in\\slow.mp4";
const std::wstring kProgressStart = L"进度：";

bool is_temporary(const std::wstring& name) {
    return name.rfind(L"~quelvarn-", 0) == 0;
}

class Inputs : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(make_folders(kFolder));
        ASSERT_TRUE(make_clip(kShort, 320, 180, 3));
        ASSERT_TRUE(make_clip(kLong, 640, 360, 12));
        ASSERT_TRUE(make_clip(kSlow, 320, 180, 30));
        ASSERT_TRUE(CopyFileW(kShort.c_str(), kHeld.c_str(), FALSE));
        ProcessResult sound = run_process(
            kConverter,
            L"-v error -f lavfi -i sine=frequency=440:duration=3 -c:a aac -y " + quoted(kSound));
        ASSERT_EQ(sound.exit_code, 0u) << sound.output;
    }

    void SetUp() override {
        ASSERT_TRUE(program.window()) << "the main window did not appear";
        make_folders(kOutputFolder);
        empty_folder(kOutputFolder);
    }

    void TearDown() override {
        for (const std::wstring& name : folder_entries(kOutputFolder)) {
            EXPECT_FALSE(is_temporary(name)) << "left behind: " << narrow_utf8(name);
        }
    }

    void drop_and_wait(const std::wstring& path) {
        int drops = program.trace_count("files ");
        ASSERT_GT(program.drop({path}), 0);
        ASSERT_TRUE(program.wait_handled("files ", drops)) << "the probe did not finish";
    }

    // Presses the button and gives every label text seen until the press was handled.
    std::vector<std::wstring> press_and_watch() {
        program.set_text(controls::kProgressLabel, kProgressStart);
        TextSampler sampler(program, controls::kProgressLabel);
        int presses = program.trace_count("clicked ");
        program.press();
        EXPECT_TRUE(program.wait_handled("clicked ", presses)) << "the press did not finish";
        return sampler.stop();
    }

    // A run that must have ended in one box and nothing new.
    void expect_one_box_and_nothing_new(const std::vector<std::wstring>& labels,
                                        const std::wstring& box) {
        EXPECT_THAT(program.boxes(), ElementsAre(L"信息：|" + box));
        for (const std::wstring& label : labels) EXPECT_NE(label, L"进度：100 %");
        EXPECT_THAT(folder_entries(kOutputFolder), IsEmpty());
        program.close_boxes();
        EXPECT_THAT(program.boxes(), IsEmpty());
    }

    RunningProgram program;
};

TEST_F(Inputs, PathsAndSizesAsPeopleGiveThem) {
    struct Case {
        const char* name;
        std::wstring dropped;  // dropped first, when given; the path box is then retyped
        std::wstring path;
        std::wstring width;
        std::wstring height;
        // The output's name and frame size; or, when the name is empty, the one box.
        std::wstring output;
        std::string size;
        std::wstring box;
    };
    const Case cases[] = {
        {"pasted with quotes", L"", L"\"" + kShort + L"\"", L"-1", L"240", L"short.mp4", "426x240",
         L""},
        {"padded with blanks", L"", L"  " + kShort + L"  ", L"-1", L"240", L"short.mp4", "426x240",
         L""},
        {"full-width height, width with a trailing blank", L"", kShort, L"-1 ", L"２４０",
         L"short.mp4", "426x240", L""},
        {"full-width minus, full-width blanks", L"", kShort, L"－１", L"　２４０　", L"short.mp4",
         "426x240", L""},
        {"odd width", L"", kShort, L"321", L"-1", L"short.mp4", "320x180", L""},
        // The press probes the typed path: the percentage is taken against its own duration.
        {"typed path after a drop of a shorter clip", kShort, kLong, L"-1", L"240", L"long.mp4",
         "426x240", L""},
        {"sound only", L"", kSound, L"-1", L"240", L"", "",
         L"该文件中没有视频画面，无法修改分辨率：" + kSound},
        {"relative path", L"", L"short.mp4", L"-1", L"240", L"", "",
         L"请填写视频文件的完整路径（例如 D:\\视频\\片段.mp4），不能是相对路径：short.mp4"},
        {"both sides keep the aspect", L"", kShort, L"-1", L"－１", L"", "",
         L"“分辨率帧宽”和“分辨率帧高”不能都是 -1，请至少填写其中一个的像素数。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        empty_folder(kOutputFolder);
        if (!c.dropped.empty()) {
            drop_and_wait(c.dropped);
            ASSERT_EQ(narrow_utf8(program.text(controls::kDurationStore)),
                      reported_duration(c.dropped));
        }
        program.set_text(controls::kPathBox, c.path);
        program.set_text(controls::kWidthBox, c.width);
        program.set_text(controls::kHeightBox, c.height);

        std::vector<std::wstring> labels = press_and_watch();

        ASSERT_FALSE(labels.empty());
        for (const std::wstring& label : labels) {
            EXPECT_LE(progress_percent(label), 100) << narrow_utf8(label);
        }
        if (c.output.empty()) {
            expect_one_box_and_nothing_new(labels, c.box);
            continue;
        }
        EXPECT_EQ(labels.back(), L"进度：100 %");
        // Before the end no label says 100 %: a percentage against a shorter clip's duration
        // would have got there long before.
        for (size_t i = 0; i + 1 < labels.size(); ++i) {
            EXPECT_LT(progress_percent(labels[i]), 100) << narrow_utf8(labels[i]);
        }
        EXPECT_THAT(program.boxes(), IsEmpty());
        EXPECT_THAT(folder_entries(kOutputFolder), ElementsAre(c.output));
        EXPECT_EQ(frame_size(std::wstring(kOutputFolder) + L"\\" + c.output), c.size);
        if (!c.dropped.empty()) {
            EXPECT_EQ(narrow_utf8(program.text(controls::kDurationStore)),
                      reported_duration(c.path));
        }
    }
}

// A player holds the earlier output open, sharing only reads: the finished conversion is kept
// complete under the next free name, and one box says where.
TEST_F(Inputs, FinalNameHeldOpenKeepsTheFinishedFile) {
    const std::wstring earlier = std::wstring(kOutputFolder) + L"\\held.mp4";
    const std::wstring kept = std::wstring(kOutputFolder) + L"\\held (2).mp4";
    program.set_text(controls::kPathBox, kHeld);
    program.set_text(controls::kWidthBox, L"-1");
    program.set_text(controls::kHeightBox, L"240");
    ASSERT_EQ(press_and_watch().back(), L"进度：100 %");
    std::string earlier_bytes = file_bytes(earlier);
    ASSERT_FALSE(earlier_bytes.empty());

    std::wstring command = quoted(helper_path(L"hold_file")) + L" " + quoted(earlier) + L" 300000";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION player = {};
    ASSERT_TRUE(CreateProcessW(helper_path(L"hold_file").c_str(), command.data(), nullptr, nullptr,
                               FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &player));
    // Held once nobody may open it for writing any more.
    ASSERT_TRUE(wait_until(
        [&] {
            HANDLE file = CreateFileW(earlier.c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
            if (file == INVALID_HANDLE_VALUE) return true;
            CloseHandle(file);
            return false;
        },
        30000));

    program.set_text(controls::kHeightBox, L"120");
    std::vector<std::wstring> labels = press_and_watch();
    EXPECT_EQ(labels.back(), L"进度：100 %");
    EXPECT_THAT(program.boxes(),
                ElementsAre(L"信息：|原有的输出文件无法替换（可能正被其他程序打开），这次的转换结果"
                            L"已保存为：" +
                            kept));
    program.close_boxes();

    TerminateProcess(player.hProcess, 0);
    WaitForSingleObject(player.hProcess, 10000);
    CloseHandle(player.hProcess);
    CloseHandle(player.hThread);
    EXPECT_THAT(folder_entries(kOutputFolder), UnorderedElementsAre(L"held.mp4", L"held (2).mp4"));
    EXPECT_TRUE(file_bytes(earlier) == earlier_bytes) << "the earlier output changed";
    EXPECT_EQ(frame_size(kept), "214x120");
    EXPECT_EQ(reported_duration(kept).substr(0, 10), reported_duration(kHeld).substr(0, 10));
}

// 分辨率 cannot be made (a file of that name stands in the program's folder, as a folder
// the user may not write to does under Windows): one box names it, no converter runs.
TEST_F(Inputs, OutputFolderThatCannotBeMadeIsNamed) {
    ASSERT_TRUE(RemoveDirectoryW(kOutputFolder));
    HANDLE blocker = CreateFileW(kOutputFolder, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_READONLY, nullptr);
    ASSERT_NE(blocker, INVALID_HANDLE_VALUE);
    CloseHandle(blocker);

    program.set_text(controls::kPathBox, kShort);
    program.set_text(controls::kWidthBox, L"-1");
    program.set_text(controls::kHeightBox, L"240");
    std::vector<std::wstring> labels = press_and_watch();
    EXPECT_THAT(program.boxes(),
                ElementsAre(L"信息：|无法创建或写入输出文件夹：" + std::wstring(kOutputFolder)));
    for (const std::wstring& label : labels) EXPECT_NE(label, L"进度：100 %");
    program.close_boxes();

    SetFileAttributesW(kOutputFolder, FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(DeleteFileW(kOutputFolder));
    ASSERT_TRUE(make_folders(kOutputFolder));
}

// taskkill /F in the middle of the run: never 100 %, one box that says what happened, nothing
// under the final name.
TEST_F(Inputs, ConverterEndedFromOutsideIsAFailure) {
    program.set_text(controls::kWidthBox, L"1920");
    program.set_text(controls::kHeightBox, L"-1");
    drop_and_wait(kSlow);

    program.set_text(controls::kProgressLabel, kProgressStart);
    TextSampler sampler(program, controls::kProgressLabel);
    int presses = program.trace_count("clicked ");
    program.press();
    ASSERT_TRUE(wait_until(
        [&] {
            return program.converter_children().size() == 1 &&
                   progress_percent(program.text(controls::kProgressLabel)) > 0;
        },
        60000))
        << "the conversion did not get going";
    DWORD converter = program.converter_children()[0];
    ProcessResult killed = run_process(L"C:\\windows\\system32\\taskkill.exe",
                                       L"/F /PID " + std::to_wstring(converter), 60000);
    ASSERT_TRUE(killed.finished) << killed.output;
    ASSERT_TRUE(program.wait_handled("clicked ", presses)) << "the press did not finish";
    std::vector<std::wstring> labels = sampler.stop();

    EXPECT_EQ(labels.back(), L"进度：失败");
    expect_one_box_and_nothing_new(
        labels, L"转换程序在转换完成之前就结束了（可能被其他程序终止），没有保存输出文件。");
}

// Quelvarn itself ended from outside in the middle of a run: its converter does not run on.
TEST_F(Inputs, ConverterEndsWithTheProgram) {
    program.set_text(controls::kWidthBox, L"1920");
    program.set_text(controls::kHeightBox, L"-1");
    program.set_text(controls::kPathBox, kSlow);
    program.press();
    ASSERT_TRUE(wait_until(
        [&] {
            return program.converter_children().size() == 1 &&
                   progress_percent(program.text(controls::kProgressLabel)) > 0;
        },
        60000))
        << "the conversion did not get going";
    HANDLE converter = OpenProcess(SYNCHRONIZE, FALSE, program.converter_children()[0]);
    ASSERT_TRUE(converter);
    HANDLE quelvarn = OpenProcess(PROCESS_TERMINATE, FALSE, program.process_id());
    ASSERT_TRUE(quelvarn);
    ASSERT_TRUE(TerminateProcess(quelvarn, 9));
    CloseHandle(quelvarn);
    EXPECT_EQ(WaitForSingleObject(converter, 15000), static_cast<DWORD>(WAIT_OBJECT_0))
        << "the converter runs on without the program";
    CloseHandle(converter);
    // A program that was killed cannot clean up after itself.
    empty_folder(kOutputFolder);
}

}  // namespace
}  // namespace quelvarn::e2e
