// Conversions that fail, are refused or are cut short by closing the window, with the real
// program and the real embedded converter: one box naming the cause, never "100 %" for a
// failure, nothing partial left in 分辨率\, earlier outputs and inputs intact, and closing stops
// our converter only.
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
using ::testing::SizeIs;
using ::testing::StartsWith;

const std::wstring kClipFolder = L"C:\\clips";
const std::wstring kClip = L"C:\\clips\\clip.mp4";
const std::wstring kOtherClip = L"C:\\clips\\other.mp4";
// Converted to 1920 wide it keeps the converter busy long enough to close the window mid-run.
const std::wstring kLongClip = L"C:\\clips\\long.mp4";
const std::wstring kOutput = std::wstring(kOutputFolder) + L"\\clip.mp4";

// The clips, made once for the whole program.
void make_clips() {
    if (file_exists(kLongClip)) return;
    ASSERT_TRUE(make_folders(kClipFolder));
    ASSERT_TRUE(make_clip(kClip, 320, 180, 2));
    ASSERT_TRUE(CopyFileW(kClip.c_str(), kOtherClip.c_str(), FALSE));
    ASSERT_TRUE(make_clip(kLongClip, 320, 180, 30));
}

class Failure : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { make_clips(); }

    void SetUp() override {
        ASSERT_TRUE(program.window()) << "the main window did not appear";
        empty_folder(kOutputFolder);
    }

    void press_and_wait() {
        int presses = program.trace_count("clicked ");
        program.press();
        ASSERT_TRUE(program.wait_handled("clicked ", presses)) << "the press did not finish";
    }

    // Converts `input` at 240 lines with the typed path; the run must succeed.
    void convert(const std::wstring& input) {
        program.set_text(controls::kPathBox, input);
        program.set_text(controls::kWidthBox, L"-1");
        program.set_text(controls::kHeightBox, L"240");
        press_and_wait();
        ASSERT_EQ(program.text(controls::kProgressLabel), L"进度：100 %");
        ASSERT_THAT(program.boxes(), IsEmpty());
    }

    RunningProgram program;
};

TEST_F(Failure, ConverterErrorShowsOneBoxLeavesNoFileAndKeepsTheEarlierOutput) {
    convert(kClip);
    ASSERT_THAT(folder_entries(kOutputFolder), ElementsAre(L"clip.mp4"));
    std::string earlier = file_bytes(kOutput);
    ASSERT_FALSE(earlier.empty());
    // Not a video the converter can read, under a video's name.
    const std::wstring broken = L"C:\\clips\\broken\\clip.mp4";
    ASSERT_TRUE(make_folders(L"C:\\clips\\broken"));
    std::string clip = file_bytes(kClip);
    HANDLE file = CreateFileW(broken.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    // The header and the first part of the picture data: the converter starts, then fails.
    WriteFile(file, clip.data(), static_cast<DWORD>(clip.size() / 3), &written, nullptr);
    CloseHandle(file);

    // Once a width the size box refuses, once a file the converter fails on: one box each,
    // nothing new, the earlier output of the same name intact.
    struct Case {
        std::wstring input;
        const wchar_t* width;
        std::string box_start;
    };
    const Case cases[] = {
        {kClip, L"abc", "信息：|“分辨率帧宽”只能填 -1"},
        {broken, L"-1", "信息：|"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(narrow_utf8(c.input));
        program.set_text(controls::kPathBox, c.input);
        program.set_text(controls::kWidthBox, c.width);
        press_and_wait();

        std::vector<std::wstring> boxes = program.boxes();
        ASSERT_THAT(boxes, SizeIs(1));
        EXPECT_THAT(narrow_utf8(boxes[0]), StartsWith(c.box_start));
        EXPECT_NE(program.text(controls::kProgressLabel), L"进度：100 %");
        program.close_boxes();
        EXPECT_THAT(program.boxes(), IsEmpty());

        EXPECT_THAT(folder_entries(kOutputFolder), ElementsAre(L"clip.mp4"));
        EXPECT_TRUE(file_bytes(kOutput) == earlier) << "the earlier output changed";
        EXPECT_THAT(program.converter_children(), IsEmpty());
    }
}

TEST_F(Failure, EmptyPathAndAnInputThatIsItsOwnOutputAreRefusedWithABox) {
    // An input inside 分辨率\ whose output name is its own name.
    const std::wstring self = std::wstring(kOutputFolder) + L"\\self.mp4";
    ASSERT_TRUE(make_folders(kOutputFolder));
    ASSERT_TRUE(CopyFileW(kClip.c_str(), self.c_str(), FALSE));
    std::string self_bytes = file_bytes(self);
    struct Case {
        std::wstring path;
        std::string box;
    };
    const Case cases[] = {
        {L"", "信息：|请先把视频文件拖放到“视频路径”框中。"},
        {self, "信息：|输出文件就是输入文件本身，不能覆盖。请先把视频移到别的文件夹再转换。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(narrow_utf8(c.path));
        std::wstring label = program.text(controls::kProgressLabel);
        program.set_text(controls::kPathBox, c.path);
        press_and_wait();
        std::vector<std::wstring> boxes = program.boxes();
        ASSERT_THAT(boxes, SizeIs(1));
        EXPECT_EQ(narrow_utf8(boxes[0]), c.box);
        program.close_boxes();
        // No run: the runner would have set the label at its end.
        EXPECT_EQ(program.text(controls::kProgressLabel), label);
        EXPECT_THAT(folder_entries(kOutputFolder), ElementsAre(L"self.mp4"));
        EXPECT_TRUE(file_bytes(self) == self_bytes);
    }
}

// An ffmpeg.exe that is not ours: a copy of the child_writer helper under that name, sleeping.
class ForeignConverter {
  public:
    ForeignConverter() {
        const std::wstring folder = L"C:\\other tool";
        const std::wstring path = folder + L"\\ffmpeg.exe";
        make_folders(folder);
        CopyFileW(helper_path(L"child_writer").c_str(), path.c_str(), FALSE);
        std::wstring command = quoted(path) + L" s:600000";
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        CreateProcessW(path.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                       nullptr, nullptr, &startup, &process_);
    }
    ~ForeignConverter() {
        if (!process_.hProcess) return;
        TerminateProcess(process_.hProcess, 0);
        WaitForSingleObject(process_.hProcess, 10000);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
    ForeignConverter(const ForeignConverter&) = delete;
    ForeignConverter& operator=(const ForeignConverter&) = delete;

    bool running() const {
        return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
    }

  private:
    PROCESS_INFORMATION process_ = {};
};

// Closing during a conversion, by the close message and by Esc: our converter is stopped, the
// foreign one keeps running, nothing partial stays, the exit code is 0. Before that, a press and
// a drop during the run change nothing.
class ClosingDuringAConversion : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { make_clips(); }
};

TEST_F(ClosingDuringAConversion, StopsOurConverterOnlyAndLeavesNothingPartial) {
    ForeignConverter foreign;
    ASSERT_TRUE(foreign.running());
    // The temporary output: the only entry of 分辨率\ while the conversion runs.
    auto partial_exists = [] {
        std::vector<std::wstring> entries = folder_entries(kOutputFolder);
        return entries.size() == 1 && entries[0].rfind(L"~quelvarn-", 0) == 0;
    };

    for (bool by_escape : {false, true}) {
        SCOPED_TRACE(by_escape ? "Esc" : "WM_CLOSE");
        empty_folder(kOutputFolder);
        RunningProgram program;
        ASSERT_TRUE(program.window());
        program.set_text(controls::kWidthBox, L"1920");
        program.set_text(controls::kHeightBox, L"-1");
        int drops = program.trace_count("files ");
        ASSERT_EQ(program.drop({kLongClip}), DROPEFFECT_COPY);
        ASSERT_TRUE(program.wait_handled("files ", drops));
        std::wstring duration = program.text(controls::kDurationStore);
        ASSERT_THAT(narrow_utf8(duration), StartsWith("00:00:30."));

        program.press();
        ASSERT_TRUE(wait_until(
            [&] {
                return program.converter_children().size() == 1 && partial_exists() &&
                       progress_percent(program.text(controls::kProgressLabel)) > 0;
            },
            60000))
            << "the conversion did not get going";
        std::vector<DWORD> converters = program.converter_children();
        HANDLE converter = OpenProcess(SYNCHRONIZE, FALSE, converters[0]);
        ASSERT_TRUE(converter);
        EXPECT_FALSE(program.enabled(controls::kChangeButton));

        // A press (the mouse on the disabled button, and a click message) and a drop: refused.
        click_at(centre_on_screen(program.control(controls::kChangeButton)));
        program.press();
        EXPECT_EQ(program.drop({kClip}, true), 0);
        ASSERT_TRUE(program.answers());
        EXPECT_EQ(program.text(controls::kPathBox), kLongClip);
        EXPECT_EQ(program.text(controls::kDurationStore), duration);
        EXPECT_EQ(program.converter_children(), converters);
        EXPECT_THAT(program.boxes(), IsEmpty());
        ASSERT_EQ(WaitForSingleObject(converter, 0), static_cast<DWORD>(WAIT_TIMEOUT))
            << "the conversion ended before the window was closed";

        if (by_escape) {
            click_at(centre_on_screen(program.control(controls::kWidthBox)));
            Sleep(300);
            send_key(VK_ESCAPE);
        } else {
            program.close();
        }
        EXPECT_EQ(program.exit_code_within(30000), 0);
        EXPECT_EQ(WaitForSingleObject(converter, 10000), static_cast<DWORD>(WAIT_OBJECT_0))
            << "our converter still runs";
        CloseHandle(converter);
        EXPECT_TRUE(foreign.running()) << "the foreign ffmpeg.exe was stopped";
        EXPECT_THAT(folder_entries(kOutputFolder), IsEmpty());
    }
}

}  // namespace
}  // namespace quelvarn::e2e
