// The tool store and the payload writer against the real file system under Wine, and a first
// start of the real program. Every case runs in a throwaway prefix of its own, so each one
// starts on the drive C: of a fresh Windows and may change it. What is written is compared with
// the pinned tools in the payload cache (QUELVARN_PAYLOAD_DIR, seen through Wine's drive Z:).
#include <windows.h>
#include <aclapi.h>
#include <bcrypt.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/tools.h"
#include "payload_pins.h"
#include "platform/payloads.h"
#include "platform/platform.h"
#include "platform/win32/files.h"
#include "platform/win32/payloads.h"
#include "platform/win32/tool_store.h"
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

// No staging folder of any start is left on C:.
void expect_no_staging_left() {
    for (const std::wstring& name : folder_entries(L"C:")) {
        EXPECT_EQ(name.find(L".partial"), std::wstring::npos) << narrow(name);
    }
}

TEST(FirstStart, WritesTheThreeToolsAndTheConverterWorks) {
    ASSERT_FALSE(exists(kTools));
    {
        Start start;
        ASSERT_TRUE(start.window()) << "the main window did not appear";
    }
    expect_tools_match_pins();
    expect_no_staging_left();

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
    ConsoleRun probe = run_console(in_tools(L"ffprobe.exe"),
                                   L"-v error -show_entries stream=width,height -of csv=p=0 "
                                   L"C:\\out.mp4");
    EXPECT_EQ(probe.report.substr(0, 7), "160,120") << probe.report;
}

TEST(LaterStart, UsesTheToolsFolderAsItIsAndWritesNothing) {
    { Start first; }
    ASSERT_TRUE(tools_complete());
    WIN32_FILE_ATTRIBUTE_DATA before;
    GetFileAttributesExW(in_tools(L"ffmpeg.exe").c_str(), GetFileExInfoStandard, &before);
    {
        Start again;
        ASSERT_TRUE(again.window());
    }
    WIN32_FILE_ATTRIBUTE_DATA after;
    GetFileAttributesExW(in_tools(L"ffmpeg.exe").c_str(), GetFileExInfoStandard, &after);
    EXPECT_EQ(CompareFileTime(&before.ftLastWriteTime, &after.ftLastWriteTime), 0);
    expect_tools_match_pins();
    EXPECT_TRUE(
        folder_entries(widen(user_tools_folder(win32_tool_store(), kBundledToolPins))).empty())
        << "a later start wrote the user's own copy";
}

// The digest of a file's bytes by the system's own hash, to check ours against.
std::string system_sha256(const std::string& bytes) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    unsigned char digest[32] = {};
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) {
        return "no system hash";
    }
    BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0);
    BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                   static_cast<ULONG>(bytes.size()), 0);
    BCryptFinishHash(hash, digest, sizeof digest, 0);
    BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(algorithm, 0);
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : digest) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

TEST(ToolStore, HashesAsTheSystemDoesAndTheConverterAsPinned) {
    ToolStore& store = win32_tool_store();
    for (std::size_t size : {0u, 1u, 63u, 64u, 65u, 4096u, (1u << 20) + 3}) {
        SCOPED_TRACE(size);
        std::string content(size, '\0');
        for (std::size_t i = 0; i < size; ++i) content[i] = static_cast<char>(i * 31 + size);
        write_file(L"C:\\hashed.bin", content);
        HashedFile hashed;
        ASSERT_EQ(store.hold_and_hash("C:\\hashed.bin", hashed), 0u);
        EXPECT_EQ(hashed.size, size);
        EXPECT_EQ(hashed.sha256, system_sha256(content));
    }

    HashedFile pinned;
    ASSERT_EQ(store.hold_and_hash(narrow(pinned_tool(L"ffmpeg.exe")), pinned), 0u);
    EXPECT_EQ(pinned.size, kBundledToolPins[0].size);
    EXPECT_EQ(pinned.sha256, kBundledToolPins[0].sha256);

    HashedFile none;
    EXPECT_EQ(store.hold_and_hash("C:\\no-such.exe", none),
              static_cast<SystemError>(ERROR_FILE_NOT_FOUND));
    EXPECT_NE(store.hold_and_hash("C:\\windows", none), 0u);  // a folder is not a tool
    EXPECT_FALSE(none.hold);
}

TEST(ToolStore, AHeldFileCannotBeWrittenRenamedOrDeletedUntilItIsLetGo) {
    write_file(L"C:\\tool.exe", "the tool");
    HashedFile held;
    ASSERT_EQ(win32_tool_store().hold_and_hash("C:\\tool.exe", held), 0u);

    HANDLE writer = CreateFileW(L"C:\\tool.exe", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    EXPECT_FALSE(MoveFileW(L"C:\\tool.exe", L"C:\\moved.exe"));
    EXPECT_FALSE(DeleteFileW(L"C:\\tool.exe"));
    EXPECT_EQ(read_file(L"C:\\tool.exe"), "the tool");  // others may still read it

    held.hold.reset();
    EXPECT_TRUE(MoveFileW(L"C:\\tool.exe", L"C:\\moved.exe"));
    EXPECT_TRUE(DeleteFileW(L"C:\\moved.exe"));
}

// Wine does not keep a folder's access list, so the descriptor is checked as the system parses
// it, and the folder as made with it.
TEST(ToolStore, ANewToolsFolderIsMadeWithTheProtectedDescriptor) {
    ToolStore& store = win32_tool_store();
    const Text sid = store.user_sid();
    ASSERT_EQ(sid.rfind("S-1-5-", 0), 0u) << sid;
    const Text sddl = tools_folder_sddl(sid);
    win32::SecurityDescriptor descriptor(sddl);
    ASSERT_TRUE(descriptor.get()) << sddl;

    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor.get(), &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PRESENT);
    EXPECT_TRUE(control & SE_DACL_PROTECTED) << "the folder would inherit from C:\\";
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted));
    ASSERT_TRUE(dacl);
    struct Entry {
        const wchar_t* sid;
        ACCESS_MASK mask;
    };
    const std::wstring user = widen(sid);
    const Entry expected[] = {
        {user.c_str(), FILE_ALL_ACCESS},
        {L"S-1-5-32-544", FILE_ALL_ACCESS},                           // Administrators
        {L"S-1-5-18", FILE_ALL_ACCESS},                               // SYSTEM
        {L"S-1-5-32-545", FILE_GENERIC_READ | FILE_GENERIC_EXECUTE},  // Users
    };
    ASSERT_EQ(dacl->AceCount, 4);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
        EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        EXPECT_EQ(ace->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
        EXPECT_EQ(ace->Mask, expected[i].mask);
        LPWSTR text = nullptr;
        ASSERT_TRUE(ConvertSidToStringSidW(&ace->SidStart, &text));
        EXPECT_EQ(std::wstring(text), expected[i].sid);
        LocalFree(text);
    }

    EXPECT_EQ(store.make_folder("C:\\made", sddl), 0u);
    EXPECT_TRUE(is_folder(L"C:\\made"));
    EXPECT_EQ(store.make_folder("C:\\made", sddl), static_cast<SystemError>(ERROR_ALREADY_EXISTS));
    // The text goes through the system's parser: one it refuses makes no folder.
    EXPECT_NE(store.make_folder("C:\\refused", "D:P(A;OICI;FA;;;no-such-sid)"), 0u);
    EXPECT_FALSE(exists(L"C:\\refused"));
}

TEST(ToolStore, ALockIsHeldByOneTakerAtATime) {
    ToolStore& store = win32_tool_store();
    std::unique_ptr<HeldLock> first = store.take_lock("Local\\Quelvarn-test-lock", 1000);
    ASSERT_TRUE(first);
    // Another thread (as another instance would) waits, and gets it once it is let go.
    std::unique_ptr<HeldLock> refused;
    std::thread([&] { refused = store.take_lock("Local\\Quelvarn-test-lock", 200); }).join();
    EXPECT_FALSE(refused);
    first.reset();
    bool taken = false;
    std::thread([&] {
        taken = store.take_lock("Local\\Quelvarn-test-lock", 1000) != nullptr;
    }).join();
    EXPECT_TRUE(taken);
}

TEST(ToolStore, FoldersPathsAndErrorTexts) {
    ToolStore& store = win32_tool_store();
    write_file(L"C:\\a-file", "x");
    EXPECT_EQ(store.path_kind("C:\\nothing-here"), PathKind::none);
    EXPECT_EQ(store.path_kind("C:\\a-file"), PathKind::file);
    EXPECT_EQ(store.path_kind("C:\\windows"), PathKind::folder);

    std::vector<Text> names;
    ASSERT_EQ(store.list_folder("C:\\", names), 0u);
    EXPECT_NE(std::find(names.begin(), names.end(), "a-file"), names.end());
    EXPECT_NE(store.list_folder("C:\\nothing-here", names), 0u);

    const Text data = store.local_app_data();
    EXPECT_NE(data.find("AppData\\Local"), Text::npos) << data;
    const Text deep = data + "\\Quelvarn\\tools\\abc";
    EXPECT_EQ(store.make_folders(deep), 0u);
    EXPECT_TRUE(is_folder(widen(deep).c_str()));
    EXPECT_EQ(store.make_folders(deep), 0u);  // there already
    EXPECT_NE(store.make_folders("C:\\a-file\\below"), 0u);

    EXPECT_EQ(store.rename_folder(deep, data + "\\Quelvarn\\tools\\def"), 0u);
    EXPECT_EQ(store.remove_tree(data + "\\Quelvarn"), 0u);
    EXPECT_FALSE(exists(widen(data + "\\Quelvarn").c_str()));

    const Text denied = store.describe_error(ERROR_ACCESS_DENIED);
    EXPECT_NE(denied.find("5"), Text::npos) << denied;
    EXPECT_GT(denied.size(), Text("错误代码 5").size()) << "no words from the system: " << denied;
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
        EXPECT_EQ(payloads.write_payload(i, narrow(target)), 0u);
        EXPECT_TRUE(read_file(target) == read_file(pinned_tool(kToolNames[i])))
            << narrow(kToolNames[i]);
    }
}

TEST_F(ResourceWriter, ReportsWhyItFailedAndLeavesNoFile) {
    CreateDirectoryW(L"C:\\fails", nullptr);
    win32::ResourcePayloads payloads(module_);
    win32::ResourcePayloads without_payloads(GetModuleHandleW(nullptr));  // this test program
    EXPECT_EQ(payloads.write_payload(0, "C:\\no-such-folder\\ffmpeg.exe"),
              static_cast<SystemError>(ERROR_PATH_NOT_FOUND));
    EXPECT_NE(payloads.write_payload(3, "C:\\fails\\fourth.exe"), 0u);
    EXPECT_NE(payloads.write_payload(-1, "C:\\fails\\before.exe"), 0u);
    EXPECT_EQ(without_payloads.write_payload(0, "C:\\fails\\none.exe"),
              static_cast<SystemError>(ERROR_RESOURCE_DATA_NOT_FOUND));
    EXPECT_FALSE(exists(L"C:\\no-such-folder"));
    EXPECT_TRUE(folder_entries(L"C:\\fails").empty());

    // A target someone holds open without sharing cannot be written.
    HANDLE held =
        CreateFileW(L"C:\\fails\\held.exe", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(payloads.write_payload(1, "C:\\fails\\held.exe"),
              static_cast<SystemError>(ERROR_SHARING_VIOLATION));
    CloseHandle(held);
    EXPECT_EQ(file_size(L"C:\\fails\\held.exe"), 0);
}

}  // namespace
}  // namespace quelvarn
