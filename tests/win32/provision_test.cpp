// Tool provisioning against the real file system under Wine. Every case runs in a throwaway
// prefix of its own, so each one starts on the drive C: of a fresh Windows and may change it.
// The program is started as a user starts it; what it writes is compared with the pinned tools
// in the payload cache (QUELVARN_PAYLOAD_DIR, seen through Wine's drive Z:).
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/payloads.h"
#include "platform/platform.h"
#include "platform/win32/files.h"
#include "platform/win32/payloads.h"
#include "platform/win32/wide.h"
#include "ui/controls.h"
#include "ui/layout.h"
#include "windows_test_support.h"

namespace quelvarn {
namespace {

using win32::narrow;
using win32::widen;
using namespace test_support;

constexpr wchar_t kTools[] = L"C:\\ffmpeg";
constexpr wchar_t kStaging[] = L"C:\\ffmpeg.partial";
const wchar_t* const kToolNames[] = {L"ffmpeg.exe", L"ffplay.exe", L"ffprobe.exe"};

std::wstring pinned_tool(const wchar_t* name) {
    std::wstring folder = L"Z:" + widen(QUELVARN_PAYLOAD_DIR);
    for (wchar_t& c : folder) {
        if (c == L'/') c = L'\\';
    }
    return folder + L"\\" + name;
}

std::wstring in_tools(const wchar_t* name) {
    return std::wstring(kTools) + L"\\" + name;
}

std::optional<std::string> read_file(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    std::string content(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    size_t done = 0;
    while (done < content.size() &&
           ReadFile(file, content.data() + done, static_cast<DWORD>(content.size() - done), &got,
                    nullptr) &&
           got > 0) {
        done += got;
    }
    CloseHandle(file);
    content.resize(done);
    return content;
}

void write_file(const std::wstring& path, const std::string& content) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

long long file_size(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool exists(const wchar_t* path) {
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

bool is_folder(const wchar_t* path) {
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::set<std::wstring> folder_entries(const std::wstring& folder) {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") names.insert(name);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return names;
}

// Each tool in C:\ffmpeg has the pinned tool's exact bytes, and nothing else is there.
void expect_tools_match_pins() {
    EXPECT_EQ(folder_entries(kTools),
              (std::set<std::wstring>{L"ffmpeg.exe", L"ffplay.exe", L"ffprobe.exe"}));
    for (const wchar_t* name : kToolNames) {
        std::optional<std::string> pinned = read_file(pinned_tool(name));
        ASSERT_TRUE(pinned) << "no pinned " << narrow(name) << " at " << QUELVARN_PAYLOAD_DIR;
        std::optional<std::string> written = read_file(in_tools(name));
        ASSERT_TRUE(written) << narrow(name) << " was not written";
        EXPECT_EQ(written->size(), pinned->size()) << narrow(name);
        EXPECT_TRUE(*written == *pinned) << narrow(name) << " differs from the pinned build";
    }
}

bool tools_complete() {
    for (const wchar_t* name : kToolNames) {
        if (file_size(in_tools(name)) != file_size(pinned_tool(name))) return false;
    }
    return true;
}

// Runs a console program to its end; its standard output and error come back joined.
struct ConsoleRun {
    DWORD exit_code = 9999;
    std::string report;
};

ConsoleRun run_console(const std::wstring& program, const std::wstring& arguments) {
    ConsoleRun run;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return run;
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = write_end;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::wstring command = L"\"" + program + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    BOOL started = CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE,
                                  CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    CloseHandle(write_end);
    if (started) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            run.report.append(buffer, got);
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &run.exit_code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(read_end);
    return run;
}

// Quelvarn started as a user starts it. `while_hidden` runs on every poll until the main window
// is visible; `on_shown` once, at the first poll that finds it visible.
class Start {
  public:
    explicit Start(std::function<void()> while_hidden = {}, std::function<void()> on_shown = {}) {
        std::wstring command = L"\"" + program_path() + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        started_ = CreateProcessW(program_path().c_str(), command.data(), nullptr, nullptr, FALSE,
                                  0, nullptr, nullptr, &startup, &process_);
        if (!started_) return;
        const DWORD deadline = GetTickCount() + 60000;
        while (GetTickCount() < deadline) {
            if ((window_ = find_window(L"QuelvarnMainWindow"))) {
                if (on_shown) on_shown();
                break;
            }
            if (WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0) break;
            if (while_hidden) while_hidden();
            Sleep(2);
        }
    }
    ~Start() {
        if (!started_) return;
        if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0) {
            TerminateProcess(process_.hProcess, 99);
            WaitForSingleObject(process_.hProcess, 10000);
        }
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
    Start(const Start&) = delete;
    Start& operator=(const Start&) = delete;

    HWND window() const { return window_; }

    HWND control(std::string_view name) const {
        const ControlRow* row = find_control_row(name);
        if (!row) return nullptr;
        HWND parent = row->parent.empty() ? window_ : control(row->parent);
        return GetDlgItem(parent, layout_control_id(name));
    }

    // The text of the first message box the program shows within the time, or nullopt.
    std::optional<std::wstring> message_box_text(int milliseconds) const {
        const DWORD deadline = GetTickCount() + milliseconds;
        while (GetTickCount() < deadline) {
            if (HWND box = find_window(L"#32770")) {
                std::wstring text;
                for (HWND child = GetWindow(box, GW_CHILD); child;
                     child = GetWindow(child, GW_HWNDNEXT)) {
                    if (class_name(child) == L"Static") text += window_text(child);
                }
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return text;
            }
            Sleep(50);
        }
        return std::nullopt;
    }

  private:
    struct Search {
        DWORD process;
        const wchar_t* window_class;
        HWND found;
    };

    // A plain function: the 32-bit build needs the system's calling convention for callbacks.
    static BOOL CALLBACK match_window(HWND window, LPARAM data) {
        auto* search = reinterpret_cast<Search*>(data);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != search->process || !IsWindowVisible(window)) return TRUE;
        if (class_name(window) != search->window_class) return TRUE;
        search->found = window;
        return FALSE;
    }

    HWND find_window(const wchar_t* window_class) const {
        Search search{process_.dwProcessId, window_class, nullptr};
        EnumWindows(match_window, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    PROCESS_INFORMATION process_{};
    bool started_ = false;
    HWND window_ = nullptr;
};

TEST(FirstStart, WritesTheThreeToolsBeforeTheWindowShowsAndTheConverterWorks) {
    ASSERT_FALSE(exists(kTools));
    bool tools_ready_when_shown = false;
    {
        Start start({}, [&] { tools_ready_when_shown = is_folder(kTools) && tools_complete(); });
        ASSERT_TRUE(start.window()) << "the main window did not appear";
        EXPECT_TRUE(tools_ready_when_shown) << "the window showed before the tools were written";
        EXPECT_FALSE(exists(kStaging));
    }
    expect_tools_match_pins();

    for (const wchar_t* name : kToolNames) {
        ConsoleRun version = run_console(in_tools(name), L"-version");
        EXPECT_EQ(version.exit_code, 0u) << narrow(name) << ": " << version.report;
        EXPECT_NE(version.report.find(" version "), std::string::npos) << version.report;
    }

    // A clip made by the provisioned converter itself, then converted as the window does it.
    const std::wstring converter = in_tools(L"ffmpeg.exe");
    ConsoleRun make = run_console(converter,
                                  L"-f lavfi -i testsrc=size=320x240:rate=25:duration=2 "
                                  L"-pix_fmt yuv420p C:\\clip.mp4 -y");
    ASSERT_EQ(make.exit_code, 0u) << make.report;
    ConsoleRun convert = run_console(converter, L"-i C:\\clip.mp4 -vf scale=-2:120 C:\\out.mp4 -y");
    EXPECT_EQ(convert.exit_code, 0u) << convert.report;
    EXPECT_NE(convert.report.find("Duration: 00:00:02.00,"), std::string::npos) << convert.report;
    EXPECT_NE(convert.report.find("time=00:00:01."), std::string::npos) << convert.report;
    EXPECT_NE(convert.report.find("global headers:0kB"), std::string::npos) << convert.report;
    ConsoleRun probe = run_console(in_tools(L"ffprobe.exe"),
                                   L"-v error -show_entries stream=width,height -of csv=p=0 "
                                   L"C:\\out.mp4");
    EXPECT_EQ(probe.report.substr(0, 7), "160,120") << probe.report;
}

TEST(LaterStart, LeavesAnExistingToolsFolderAlone) {
    { Start first; }
    ASSERT_TRUE(tools_complete());
    // The user deleted the converter and put a file of their own beside the others.
    ASSERT_TRUE(DeleteFileW(in_tools(L"ffmpeg.exe").c_str()));
    write_file(in_tools(L"notes.txt"), "mine");
    WIN32_FILE_ATTRIBUTE_DATA before;
    GetFileAttributesExW(in_tools(L"ffplay.exe").c_str(), GetFileExInfoStandard, &before);

    {
        Start again;
        ASSERT_TRUE(again.window());
    }

    EXPECT_EQ(folder_entries(kTools),
              (std::set<std::wstring>{L"ffplay.exe", L"ffprobe.exe", L"notes.txt"}));
    WIN32_FILE_ATTRIBUTE_DATA after;
    GetFileAttributesExW(in_tools(L"ffplay.exe").c_str(), GetFileExInfoStandard, &after);
    EXPECT_EQ(CompareFileTime(&before.ftLastWriteTime, &after.ftLastWriteTime), 0);
    EXPECT_FALSE(exists(kStaging));
}

TEST(LaterStart, WritesNothingIntoAnEmptyToolsFolder) {
    ASSERT_TRUE(CreateDirectoryW(kTools, nullptr));
    {
        Start start;
        ASSERT_TRUE(start.window());
    }
    EXPECT_TRUE(folder_entries(kTools).empty());
    EXPECT_FALSE(exists(kStaging));
}

TEST(BlockedStart, AFileNamedCffmpegIsLeftAloneAndTheConverterPathStillSet) {
    write_file(kTools, "not a folder");
    write_file(L"C:\\clip.mp4", "a video");
    Start start;
    ASSERT_TRUE(start.window()) << "the main window did not open";
    EXPECT_EQ(read_file(kTools), "not a folder");
    EXPECT_FALSE(exists(kStaging));

    // The converter path is set all the same: a conversion names it when it finds no program.
    SetWindowTextW(start.control(controls::kPathBox), L"C:\\clip.mp4");
    PostMessageW(start.control(controls::kChangeButton), BM_CLICK, 0, 0);
    std::optional<std::wstring> box = start.message_box_text(30000);
    ASSERT_TRUE(box) << "no message box";
    EXPECT_NE(box->find(L"C:\\ffmpeg\\ffmpeg.exe"), std::wstring::npos) << narrow(*box);
}

// A file at the staging path, held open without sharing, can neither be cleared nor replaced
// by a folder: that start writes nothing and leaves no C:\ffmpeg; the next one provisions.
TEST(FailedStart, AStagingPathThatCannotBeClearedLeavesNothingAndTheNextStartProvisions) {
    HANDLE obstacle =
        CreateFileW(kStaging, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(obstacle, INVALID_HANDLE_VALUE);
    {
        Start start;
        ASSERT_TRUE(start.window()) << "the main window did not open";
        EXPECT_FALSE(exists(kTools));
        EXPECT_FALSE(is_folder(kStaging));
    }
    CloseHandle(obstacle);

    {
        Start next;
        ASSERT_TRUE(next.window());
    }
    expect_tools_match_pins();
    EXPECT_FALSE(exists(kStaging));
}

// C:\ffmpeg appears (as a file) while the tools are being written, so the final rename fails
// after all three are complete: the staging folder goes, and the next start provisions.
TEST(FailedStart, ARenameThatFailsAfterWritingRemovesTheStagingFolder) {
    bool placed = false;
    {
        Start start([&] {
            if (!placed && is_folder(kStaging)) {
                write_file(kTools, "in the way");
                placed = true;
            }
        });
        ASSERT_TRUE(start.window()) << "the main window did not open";
        ASSERT_TRUE(placed) << "the staging folder was never seen";
        EXPECT_FALSE(exists(kStaging));
        EXPECT_EQ(read_file(kTools), "in the way");
    }
    ASSERT_TRUE(DeleteFileW(kTools));

    {
        Start next;
        ASSERT_TRUE(next.window());
    }
    expect_tools_match_pins();
    EXPECT_FALSE(exists(kStaging));
}

TEST(IsDirectory, IsTrueOnlyForAFolder) {
    FileServices& files = win32_files();
    write_file(L"C:\\a-file", "x");
    CreateDirectoryW(L"C:\\a-folder", nullptr);
    EXPECT_FALSE(files.is_directory("C:\\nothing-here"));
    EXPECT_FALSE(files.is_directory("C:\\a-file"));
    EXPECT_TRUE(files.is_directory("C:\\a-folder"));
    EXPECT_TRUE(files.is_directory("C:\\"));
}

// The writer on its own, with the program's resources loaded as data.
class ResourceWriter : public ::testing::Test {
  protected:
    void SetUp() override {
        module_ = LoadLibraryExW(program_path().c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module_, nullptr);
        CreateDirectoryW(L"C:\\out", nullptr);
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
    }
    HMODULE module_ = nullptr;
};

TEST_F(ResourceWriter, WritesEachPayloadByteIdenticalAndReplacesAnOlderFile) {
    win32::ResourcePayloads payloads(module_);
    write_file(L"C:\\out\\ffplay.exe", std::string(45000000, 'x'));  // longer than the tool
    for (int i = 0; i < 3; ++i) {
        const std::wstring target = std::wstring(L"C:\\out\\") + kToolNames[i];
        EXPECT_TRUE(payloads.write_payload(i, narrow(target)));
        EXPECT_TRUE(read_file(target) == read_file(pinned_tool(kToolNames[i])))
            << narrow(kToolNames[i]);
    }
}

TEST_F(ResourceWriter, ReportsFailureAndLeavesNoFile) {
    CreateDirectoryW(L"C:\\fails", nullptr);
    win32::ResourcePayloads payloads(module_);
    win32::ResourcePayloads without_payloads(GetModuleHandleW(nullptr));  // this test program
    EXPECT_FALSE(payloads.write_payload(0, "C:\\no-such-folder\\ffmpeg.exe"));
    EXPECT_FALSE(payloads.write_payload(3, "C:\\fails\\fourth.exe"));
    EXPECT_FALSE(payloads.write_payload(-1, "C:\\fails\\before.exe"));
    EXPECT_FALSE(without_payloads.write_payload(0, "C:\\fails\\none.exe"));
    EXPECT_FALSE(exists(L"C:\\no-such-folder"));
    EXPECT_TRUE(folder_entries(L"C:\\fails").empty());

    // A target someone holds open without sharing cannot be written.
    HANDLE held =
        CreateFileW(L"C:\\fails\\held.exe", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(payloads.write_payload(1, "C:\\fails\\held.exe"));
    CloseHandle(held);
    EXPECT_EQ(file_size(L"C:\\fails\\held.exe"), 0);
}

}  // namespace
}  // namespace quelvarn
