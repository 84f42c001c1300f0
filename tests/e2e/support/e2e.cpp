#include "support/e2e.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cwchar>

#include "ui/controls.h"
#include "ui/layout.h"

namespace quelvarn::e2e {

namespace {

struct WindowSearch {
    DWORD process;
    const wchar_t* window_class;
    std::vector<HWND> found;
};

BOOL CALLBACK collect_window(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->process && IsWindowVisible(window) &&
        class_name(window) == search->window_class) {
        search->found.push_back(window);
    }
    return TRUE;
}

// The visible top-level windows of a process that are of a class.
std::vector<HWND> process_windows(DWORD process, const wchar_t* window_class) {
    WindowSearch search{process, window_class, {}};
    EnumWindows(collect_window, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Installs the program in its test folder and starts it once, which provisions C:\ffmpeg with
// the embedded tools, as on a user's first start.
class InstalledProgram : public ::testing::Environment {
  public:
    void SetUp() override {
        ASSERT_TRUE(make_folders(kProgramFolder));
        std::wstring built = test_folder() + L"\\..\\quelvarn.exe";
        ASSERT_TRUE(CopyFileW(built.c_str(), kProgram, FALSE)) << "cannot copy the program";
        ASSERT_FALSE(file_exists(kConverter)) << "the prefix must start without tools";
        {
            RunningProgram program;
            ASSERT_TRUE(program.window()) << "the program's window did not appear";
            program.close();
            ASSERT_EQ(program.exit_code_within(30000), 0);
        }
        ASSERT_TRUE(file_exists(kConverter));
        ASSERT_TRUE(file_exists(kProber));
    }
};

const auto* installed = ::testing::AddGlobalTestEnvironment(new InstalledProgram);

}  // namespace

std::wstring widen_utf8(std::string_view text) {
    if (text.empty()) return {};
    int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::string narrow_utf8(std::wstring_view text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), size,
                        nullptr, nullptr);
    return narrow;
}

std::wstring quoted(const std::wstring& argument) {
    return L"\"" + argument + L"\"";
}

ProcessResult run_process(const std::wstring& program, const std::wstring& arguments,
                          int timeout_ms) {
    ProcessResult result;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE read_end = nullptr, write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return result;
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);

    std::wstring command = quoted(program) + L" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = write_end;
    startup.hStdError = write_end;
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE,
                                  CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    CloseHandle(write_end);
    if (!started) {
        CloseHandle(read_end);
        return result;
    }
    // Read on a thread, so a full pipe never stalls the child while we wait for it.
    std::thread reader([&] {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            result.output.append(buffer, got);
        }
    });
    if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(timeout_ms)) == WAIT_OBJECT_0) {
        result.finished = true;
        GetExitCodeProcess(process.hProcess, &result.exit_code);
    } else {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 10000);
    }
    reader.join();
    CloseHandle(read_end);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return result;
}

bool make_clip(const std::wstring& path, int width, int height, int seconds,
               const wchar_t* preset) {
    std::wstring size = std::to_wstring(width) + L"x" + std::to_wstring(height);
    std::wstring length = std::to_wstring(seconds);
    std::wstring arguments = L"-v error -f lavfi -i testsrc2=size=" + size + L":rate=25:duration=" +
                             length + L" -f lavfi -i sine=frequency=440:duration=" + length +
                             L" -c:v libx264 -preset " + preset +
                             L" -pix_fmt yuv420p -c:a aac -shortest -y " + quoted(path);
    ProcessResult made = run_process(kConverter, arguments);
    if (!made.finished || made.exit_code != 0) {
        ADD_FAILURE() << "making " << narrow_utf8(path) << " failed: " << made.output;
        return false;
    }
    return file_exists(path);
}

std::string frame_size(const std::wstring& path) {
    ProcessResult probed = run_process(
        kProber, L"-v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 " +
                     quoted(path));
    std::string size = probed.output;
    while (!size.empty() && (size.back() == '\n' || size.back() == '\r')) size.pop_back();
    size_t comma = size.find(',');
    if (!probed.finished || probed.exit_code != 0 || comma == std::string::npos) return {};
    return size.substr(0, comma) + "x" + size.substr(comma + 1);
}

std::string reported_duration(const std::wstring& path) {
    std::string report = run_process(kConverter, L"-hide_banner -i " + quoted(path)).output;
    size_t start = report.find("Duration: ");
    if (start == std::string::npos) return {};
    start += 10;
    size_t end = report.find(',', start);
    return end == std::string::npos ? std::string() : report.substr(start, end - start);
}

bool file_exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string file_bytes(const std::wstring& path) {
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    std::string bytes;
    if (handle == INVALID_HANDLE_VALUE) return bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(handle, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(handle);
    return bytes;
}

std::vector<std::wstring> folder_entries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

void empty_folder(const std::wstring& folder) {
    for (const std::wstring& name : folder_entries(folder))
        DeleteFileW((folder + L"\\" + name).c_str());
}

bool make_folders(const std::wstring& folder) {
    for (size_t at = folder.find(L'\\', 3); at != std::wstring::npos;
         at = folder.find(L'\\', at + 1)) {
        CreateDirectoryW(folder.substr(0, at).c_str(), nullptr);
    }
    CreateDirectoryW(folder.c_str(), nullptr);
    return GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY;
}

std::vector<ProcessEntry> processes_named(const wchar_t* name) {
    std::vector<ProcessEntry> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return found;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, name) == 0) {
            found.push_back({entry.th32ProcessID, entry.th32ParentProcessID, entry.szExeFile});
        }
    }
    CloseHandle(snapshot);
    return found;
}

// --- RunningProgram ---

RunningProgram::RunningProgram(bool wait_until_shown) {
    static int runs = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    trace_path_ = std::wstring(temp) + L"quelvarn-e2e-trace-" + std::to_wstring(++runs) + L".txt";
    DeleteFileW(trace_path_.c_str());
    SetEnvironmentVariableW(L"QUELVARN_TRACE", trace_path_.c_str());

    std::wstring command = quoted(kProgram);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    started_ = CreateProcessW(kProgram, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              kProgramFolder, &startup, &process_);
    SetEnvironmentVariableW(L"QUELVARN_TRACE", nullptr);
    if (started_ && wait_until_shown) wait_shown();
}

bool RunningProgram::wait_shown(int milliseconds) {
    if (!started_) return false;
    if (!wait_until([this] { return find_window() && trace_count("shown") == 1; }, milliseconds)) {
        return false;
    }
    // Let the first paint and activation settle before anything is pressed.
    Sleep(300);
    return true;
}

bool RunningProgram::tools_ready() const {
    return window_ && answers() && enabled(controls::kChangeButton);
}

RunningProgram::~RunningProgram() {
    if (!started_) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        close_boxes();
        close();
        if (WaitForSingleObject(process_.hProcess, 10000) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 99);
            WaitForSingleObject(process_.hProcess, 10000);
        }
    }
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
}

bool RunningProgram::find_window() {
    std::vector<HWND> windows = process_windows(process_.dwProcessId, L"QuelvarnMainWindow");
    window_ = windows.empty() ? nullptr : windows.front();
    return window_ != nullptr;
}

HWND RunningProgram::control(std::string_view name) const {
    const ControlRow* row = find_control_row(name);
    if (!row || !window_) return nullptr;
    HWND parent = row->parent.empty() ? window_ : control(row->parent);
    return GetDlgItem(parent, layout_control_id(name));
}

std::wstring RunningProgram::text(std::string_view name) const {
    return window_text(control(name));
}

void RunningProgram::set_text(std::string_view name, const std::wstring& text) const {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(control(name), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_ABORTIFHUNG, 10000, &ignored);
}

bool RunningProgram::enabled(std::string_view name) const {
    return IsWindowEnabled(control(name));
}

void RunningProgram::press() const {
    PostMessageW(control(controls::kChangeButton), BM_CLICK, 0, 0);
}

int RunningProgram::drop(const std::vector<std::wstring>& paths, bool expect_refusal) const {
    POINT target = centre_on_screen(control(controls::kPathBox));
    RECT frame;
    GetWindowRect(window_, &frame);
    POINT from = {frame.left - 40, target.y};
    std::wstring arguments = L"none files";
    for (LONG value : {from.x, from.y, target.x, target.y})
        arguments += L" " + std::to_wstring(value);
    for (const std::wstring& path : paths) arguments += L" " + quoted(path);
    // On a loaded machine a drag can end before the target has answered it; a drop that should
    // be accepted is then made again (a refused drop raises no event, so nothing happens twice).
    int effect = -1;
    for (int attempt = 0; attempt < (expect_refusal ? 1 : 3); ++attempt) {
        ProcessResult dropped = run_process(helper_path(L"drop_source"), arguments, 60000);
        effect = dropped.finished ? static_cast<int>(dropped.exit_code) : -1;
        if (effect > 0) break;
    }
    return effect;
}

int RunningProgram::trace_count(std::string_view prefix) const {
    int count = 0;
    for (const std::string& line : read_lines(trace_path_)) count += line.rfind(prefix, 0) == 0;
    return count;
}

bool RunningProgram::answers() const {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored) != 0;
}

bool RunningProgram::wait_handled(std::string_view trace_prefix, int before,
                                  int milliseconds) const {
    if (!wait_until([&] { return trace_count(trace_prefix) > before; }, milliseconds)) return false;
    // The handler disables the button before it first lets messages through, so a window that
    // answers and then shows the button enabled has finished the run. What follows the run up to
    // the next pumping of messages (a box's own loop, or the main loop) is over once the window
    // answers again.
    return wait_until([&] { return answers() && enabled(controls::kChangeButton); },
                      milliseconds) &&
           answers();
}

std::vector<std::wstring> RunningProgram::boxes() const {
    std::vector<std::wstring> boxes;
    for (HWND box : process_windows(process_.dwProcessId, L"#32770")) {
        // The message of a box is its static control 0xFFFF.
        HWND message = GetDlgItem(box, 0xFFFF);
        boxes.push_back(window_text(box) + L"|" +
                        (message ? window_text(message) : std::wstring()));
    }
    return boxes;
}

void RunningProgram::close_boxes() const {
    for (HWND box : process_windows(process_.dwProcessId, L"#32770")) {
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    Sleep(200);
}

std::vector<DWORD> RunningProgram::converter_children() const {
    std::vector<DWORD> children;
    for (const ProcessEntry& entry : processes_named(L"ffmpeg.exe")) {
        if (entry.parent == process_.dwProcessId) children.push_back(entry.id);
    }
    return children;
}

void RunningProgram::close() const {
    if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
}

long long RunningProgram::exit_code_within(int milliseconds) const {
    if (!started_) return -1;
    if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(milliseconds)) != WAIT_OBJECT_0) {
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

// --- TextSampler ---

TextSampler::TextSampler(const RunningProgram& program, std::string_view control)
    : TextSampler(program.control(control)) {}

TextSampler::TextSampler(HWND window)
    : control_(window), thread_([this] {
          while (running_) {
              std::wstring text = window_text(control_);
              if (texts_.empty() || texts_.back() != text) texts_.push_back(text);
              Sleep(5);
          }
      }) {}

TextSampler::~TextSampler() {
    stop();
}

std::vector<std::wstring> TextSampler::stop() {
    running_ = false;
    if (!thread_.joinable()) return texts_;
    thread_.join();
    // The thread may have slept through the last change; the caller stops once it is made.
    std::wstring text = window_text(control_);
    if (texts_.empty() || texts_.back() != text) texts_.push_back(text);
    return texts_;
}

double progress_percent(const std::wstring& label) {
    const std::wstring prefix = L"进度：";
    const std::wstring suffix = L" %";
    if (label.size() <= prefix.size() + suffix.size() || label.rfind(prefix, 0) != 0 ||
        label.compare(label.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return -1;
    }
    std::wstring number = label.substr(prefix.size(), label.size() - prefix.size() - suffix.size());
    wchar_t* end = nullptr;
    double value = std::wcstod(number.c_str(), &end);
    return end && *end == 0 ? value : -1;
}

}  // namespace quelvarn::e2e
