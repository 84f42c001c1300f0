// What the end-to-end tests share: the program installed in the test prefix, the embedded tools
// it provisions, clips made by the converter itself, and the running program driven from outside
// as a user drives it (real messages, real mouse, real drag and drop).
#pragma once

#include <windows.h>
#include <ole2.h>

#include <atomic>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "windows_test_support.h"

namespace quelvarn::e2e {

using namespace test_support;

// The program runs from a folder of the test prefix, so its 分辨率 folder belongs to the test.
inline constexpr wchar_t kProgramFolder[] = L"C:\\Quelvarn";
inline constexpr wchar_t kProgram[] = L"C:\\Quelvarn\\quelvarn.exe";
inline constexpr wchar_t kOutputFolder[] = L"C:\\Quelvarn\\分辨率";
inline constexpr wchar_t kConverter[] = L"C:\\ffmpeg\\ffmpeg.exe";
inline constexpr wchar_t kProber[] = L"C:\\ffmpeg\\ffprobe.exe";

// Argument quoting for the command lines the tests build (paths without quotes or trailing
// backslashes).
std::wstring quoted(const std::wstring& argument);

struct ProcessResult {
    bool finished = false;
    DWORD exit_code = 0;
    // Standard output and standard error together, as bytes.
    std::string output;
};
ProcessResult run_process(const std::wstring& program, const std::wstring& arguments,
                          int timeout_ms = 180000);

// A clip made by the embedded converter from its lavfi test sources: H.264 yuv420p with AAC.
bool make_clip(const std::wstring& path, int width, int height, int seconds,
               const wchar_t* preset = L"ultrafast");
// "WIDTHxHEIGHT" of the first video stream, read by the embedded prober; empty when none.
std::string frame_size(const std::wstring& path);
// What the converter itself reports as the clip's duration: the text between "Duration: " and
// the next ",".
std::string reported_duration(const std::wstring& path);

bool file_exists(const std::wstring& path);
std::string file_bytes(const std::wstring& path);
// The names in a folder (no "." or ".."); empty when it does not exist.
std::vector<std::wstring> folder_entries(const std::wstring& folder);
void empty_folder(const std::wstring& folder);
bool make_folders(const std::wstring& folder);

struct ProcessEntry {
    DWORD id;
    DWORD parent;
    std::wstring name;
};
std::vector<ProcessEntry> processes_named(const wchar_t* name);

std::wstring widen_utf8(std::string_view text);
std::string narrow_utf8(std::wstring_view text);

// Quelvarn started from its test folder as a user starts it, with the window framework's trace
// of its events so the tests know when a press or a drop has reached its handler.
class RunningProgram {
  public:
    // Waits until the window has shown unless told not to (then call wait_shown).
    explicit RunningProgram(bool wait_until_shown = true);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    HWND window() const { return window_; }
    // Waits until the window has shown and has settled; false when it did not within the time.
    bool wait_shown(int milliseconds = 90000);
    // True once the program's tools are ready: the button is enabled and no run is going on.
    bool tools_ready() const;
    DWORD process_id() const { return process_.dwProcessId; }
    HWND control(std::string_view name) const;

    std::wstring text(std::string_view name) const;
    void set_text(std::string_view name, const std::wstring& text) const;
    bool enabled(std::string_view name) const;

    // Presses the button with a posted click, as the keyboard or the mouse would.
    void press() const;
    // Drags the files from beside the window onto the path box by the system's own drag and
    // drop; the drop effect the program chose (0 when it refused). A drop that comes back
    // refused is tried again unless a refusal is what the test expects.
    int drop(const std::vector<std::wstring>& paths, bool expect_refusal = false) const;

    // Lines of the trace starting with `prefix`.
    int trace_count(std::string_view prefix) const;
    // Waits until a press or a drop that reached its handler (trace count above `before`) has
    // finished its run: the button is enabled again and the window answers.
    bool wait_handled(std::string_view trace_prefix, int before, int milliseconds = 120000) const;
    // A round trip of a message: the window's thread is pumping messages.
    bool answers() const;

    // "caption|text" of every open message box of the program.
    std::vector<std::wstring> boxes() const;
    void close_boxes() const;

    // The converters this program started that are still running.
    std::vector<DWORD> converter_children() const;

    void close() const;
    // The exit code, or -1 when the program has not ended within the time.
    long long exit_code_within(int milliseconds) const;

  private:
    bool find_window();

    std::wstring trace_path_;
    PROCESS_INFORMATION process_ = {};
    bool started_ = false;
    HWND window_ = nullptr;
};

// Samples a window's text (a control's, or the main window's caption) on a thread of its own
// every few milliseconds, keeping each change.
class TextSampler {
  public:
    TextSampler(const RunningProgram& program, std::string_view control);
    explicit TextSampler(HWND window);
    ~TextSampler();
    // Stops sampling and gives every distinct text seen, in order.
    std::vector<std::wstring> stop();

  private:
    HWND control_;
    std::atomic<bool> running_{true};
    std::vector<std::wstring> texts_;
    std::thread thread_;
};

// The percentage of a progress label text "进度：N %", or -1 for any other text.
double progress_percent(const std::wstring& label);

}  // namespace quelvarn::e2e
