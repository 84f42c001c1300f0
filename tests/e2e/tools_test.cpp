// Which converter the real program runs: only the one it carries. Someone else's C:\ffmpeg
// (a planted ffmpeg.exe, a manual install in bin\) is never run nor changed, and conversions
// use the user's own copy; two first starts at once both end with working tools; tools that
// cannot be written anywhere are said in one box. Every case runs in a prefix of its own, where
// the test environment has already made a first start (so C:\ffmpeg holds our tools); a case
// that needs another C: moves them to C:\pinned first and probes with them from there.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "app/tools.h"
#include "payload_pins.h"
#include "platform/win32/tool_store.h"
#include "platform/win32/wide.h"
#include "support/e2e.h"
#include "ui/controls.h"

namespace quelvarn::e2e {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;
using ::testing::StartsWith;

constexpr wchar_t kTools[] = L"C:\\ffmpeg";
constexpr wchar_t kPinned[] = L"C:\\pinned";
constexpr wchar_t kMark[] = L"C:\\planted-ran.txt";
const std::wstring kClip = L"C:\\clips\\clip.mp4";
const std::wstring kOutput = std::wstring(kOutputFolder) + L"\\clip.mp4";

std::wstring user_tools() {
    return win32::widen(user_tools_folder(win32_tool_store(), kBundledToolPins));
}

// Every file below a folder with its bytes, to show that nothing in it changed.
std::map<std::wstring, std::string> contents(const std::wstring& folder) {
    std::map<std::wstring, std::string> found;
    for (const std::wstring& name : folder_entries(folder)) {
        const std::wstring path = folder + L"\\" + name;
        if (GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
            for (const auto& [below, bytes] : contents(path)) found[name + L"\\" + below] = bytes;
        } else {
            found[name] = file_bytes(path);
        }
    }
    return found;
}

long long size_of(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Exactly the three tools at their pinned sizes, nothing else.
void expect_pinned_tools_in(const std::wstring& folder) {
    EXPECT_THAT(folder_entries(folder), ElementsAre(L"ffmpeg.exe", L"ffplay.exe", L"ffprobe.exe"))
        << narrow_utf8(folder);
    for (const ToolPin& pin : kBundledToolPins) {
        EXPECT_EQ(size_of(folder + L"\\" + win32::widen(pin.file_name)),
                  static_cast<long long>(pin.size))
            << pin.file_name;
    }
}

void expect_no_staging_left() {
    for (const std::wstring& name : folder_entries(L"C:")) {
        EXPECT_EQ(name.find(L".partial"), std::wstring::npos) << narrow_utf8(name);
    }
    for (const std::wstring& name : folder_entries(user_tools() + L"\\..")) {
        EXPECT_EQ(name.find(L".partial"), std::wstring::npos) << narrow_utf8(name);
    }
}

// "WIDTHxHEIGHT" of a clip, read by our own prober wherever the case put it.
std::string probed_size(const std::wstring& prober, const std::wstring& clip) {
    ProcessResult probed = run_process(
        prober, L"-v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 " +
                    quoted(clip));
    std::string size = probed.output;
    while (!size.empty() && (size.back() == '\n' || size.back() == '\r')) size.pop_back();
    const size_t comma = size.find(',');
    return comma == std::string::npos ? size : size.substr(0, comma) + "x" + size.substr(comma + 1);
}

class Tools : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(make_folders(L"C:\\clips"));
        ASSERT_TRUE(make_clip(kClip, 320, 180, 2));
        empty_folder(kOutputFolder);
    }

    // The tools of the first start go to C:\pinned: C:\ is as on a machine that never had them.
    void move_tools_away() { ASSERT_TRUE(MoveFileW(kTools, kPinned)); }

    // A drop (the converter probes the clip) and a conversion to 160 x -1, as a user does them.
    // Two windows of the program lie on top of each other: then the path is typed instead.
    void drop_and_convert(RunningProgram& program, bool by_drop = true) {
        ASSERT_TRUE(wait_until([&] { return program.tools_ready(); }, 120000))
            << "the tools never got ready";
        if (by_drop) {
            const int drops = program.trace_count("files ");
            ASSERT_EQ(program.drop({kClip}), DROPEFFECT_COPY);
            ASSERT_TRUE(program.wait_handled("files ", drops));
            EXPECT_THAT(narrow_utf8(program.text(controls::kDurationStore)),
                        StartsWith("00:00:02."));
        } else {
            program.set_text(controls::kPathBox, kClip);
        }

        program.set_text(controls::kWidthBox, L"160");
        program.set_text(controls::kHeightBox, L"-1");
        const int presses = program.trace_count("clicked ");
        program.press();
        ASSERT_TRUE(program.wait_handled("clicked ", presses)) << "the press did not finish";
        EXPECT_THAT(program.boxes(), IsEmpty());
        EXPECT_EQ(program.text(controls::kProgressLabel), L"进度：100 %");
    }
};

TEST_F(Tools, APlantedConverterIsNeverRunAndTheUsersOwnCopyConverts) {
    move_tools_away();
    ASSERT_TRUE(make_folders(kTools));
    ASSERT_TRUE(CopyFileW(helper_path(L"leave_mark").c_str(), kConverter, FALSE));
    const auto planted = contents(kTools);

    {
        RunningProgram program;
        ASSERT_TRUE(program.window());
        drop_and_convert(program);
    }

    EXPECT_FALSE(file_exists(kMark)) << "the planted ffmpeg.exe ran: " << file_bytes(kMark);
    EXPECT_EQ(contents(kTools), planted) << "C:\\ffmpeg was changed";
    EXPECT_EQ(probed_size(L"C:\\pinned\\ffprobe.exe", kOutput), "160x90");
    expect_pinned_tools_in(user_tools());
    expect_no_staging_left();
}

TEST_F(Tools, AManualInstallInBinIsLeftAsItIsAndTheUsersOwnCopyConverts) {
    move_tools_away();
    ASSERT_TRUE(make_folders(L"C:\\ffmpeg\\bin"));
    ASSERT_TRUE(make_folders(L"C:\\ffmpeg\\doc"));
    for (const wchar_t* name : {L"ffmpeg.exe", L"ffplay.exe", L"ffprobe.exe"}) {
        const std::wstring tool = std::wstring(L"C:\\ffmpeg\\bin\\") + name;
        ASSERT_TRUE(CopyFileW(helper_path(L"leave_mark").c_str(), tool.c_str(), FALSE));
    }
    HANDLE readme = CreateFileW(L"C:\\ffmpeg\\README.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                0, nullptr);
    DWORD written = 0;
    WriteFile(readme, "FFmpeg", 6, &written, nullptr);
    CloseHandle(readme);
    const auto installed = contents(kTools);

    {
        RunningProgram program;
        ASSERT_TRUE(program.window());
        drop_and_convert(program);
    }

    EXPECT_FALSE(file_exists(kMark)) << file_bytes(kMark);
    EXPECT_EQ(contents(kTools), installed) << "the manual install was changed";
    EXPECT_EQ(probed_size(L"C:\\pinned\\ffprobe.exe", kOutput), "160x90");
    expect_pinned_tools_in(user_tools());
}

TEST_F(Tools, TwoFirstStartsAtOnceBothEndWithWorkingTools) {
    move_tools_away();
    {
        RunningProgram first(false);
        RunningProgram second(false);
        ASSERT_TRUE(first.wait_shown()) << "the first window did not appear";
        ASSERT_TRUE(second.wait_shown()) << "the second window did not appear";
        drop_and_convert(first, false);
        EXPECT_EQ(probed_size(L"C:\\pinned\\ffprobe.exe", kOutput), "160x90");
        empty_folder(kOutputFolder);
        drop_and_convert(second, false);
        EXPECT_EQ(probed_size(L"C:\\pinned\\ffprobe.exe", kOutput), "160x90");
    }

    expect_pinned_tools_in(kTools);
    EXPECT_EQ(file_bytes(L"C:\\ffmpeg\\ffmpeg.exe"), file_bytes(L"C:\\pinned\\ffmpeg.exe"));
    expect_no_staging_left();
    EXPECT_FALSE(file_exists(user_tools())) << "the second start wrote a copy of its own";
}

TEST_F(Tools, TheConverterCannotBeChangedWhileTheProgramRuns) {
    RunningProgram program;
    ASSERT_TRUE(program.window());
    ASSERT_TRUE(wait_until([&] { return program.tools_ready(); }, 120000));

    EXPECT_FALSE(MoveFileW(kConverter, L"C:\\ffmpeg\\moved.exe"));
    EXPECT_FALSE(DeleteFileW(kConverter));
    HANDLE writer = CreateFileW(kConverter, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "the converter could be rewritten";
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    drop_and_convert(program);
}

// C:\ffmpeg is someone else's (a file) and the user's folder cannot be made (a file stands
// where its parent would be): one box at start names the folder and the reason, the window
// opens all the same, and a conversion names the missing converter.
TEST_F(Tools, ToolsThatCannotBeWrittenAnywhereAreSaidInOneBox) {
    move_tools_away();
    for (const std::wstring& blocker :
         {std::wstring(kTools), user_tools().substr(0, user_tools().find(L"\\Quelvarn\\") + 9)}) {
        HANDLE file =
            CreateFileW(blocker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << narrow_utf8(blocker);
        CloseHandle(file);
    }

    RunningProgram program(false);
    ASSERT_TRUE(wait_until([&] { return !program.boxes().empty(); }, 90000)) << "no box at start";
    std::vector<std::wstring> boxes = program.boxes();
    ASSERT_THAT(boxes, SizeIs(1));
    const std::string box = narrow_utf8(boxes[0]);
    EXPECT_THAT(box, StartsWith("信息：|无法写入转换工具"));
    EXPECT_NE(box.find(narrow_utf8(user_tools())), std::string::npos) << box;
    program.close_boxes();
    ASSERT_TRUE(program.wait_shown()) << "the window did not open after the box";
    ASSERT_TRUE(wait_until([&] { return program.tools_ready(); }, 30000));
    EXPECT_THAT(program.boxes(), IsEmpty());

    program.set_text(controls::kPathBox, kClip);
    program.set_text(controls::kHeightBox, L"240");
    const int presses = program.trace_count("clicked ");
    program.press();
    ASSERT_TRUE(program.wait_handled("clicked ", presses));
    EXPECT_THAT(program.boxes(), ElementsAre(L"信息：|" + user_tools() + L"\\ffmpeg.exe 不存在"));
    EXPECT_EQ(program.text(controls::kProgressLabel), L"进度：失败");
    EXPECT_THAT(folder_entries(kOutputFolder), IsEmpty());
}

}  // namespace
}  // namespace quelvarn::e2e
