// Drives a running Quelvarn window from outside, as a user would, for the demo, the benchmarks
// and the end-to-end tests. Controls are found by the identifiers the layout table gives them.
//
//   qv_drive wait-window MS            a visible main window within MS milliseconds (found by
//                                      its class: its caption shows a conversion's progress)
//   qv_drive caption                   prints the main window's caption (UTF-8)
//   qv_drive wait-caption-containing TEXT MS   during a run: until the caption contains TEXT;
//                                      exit 1 at MS or when the run has ended (修改分辨率 is
//                                      enabled again)
//   qv_drive text NAME                 prints the control's text (UTF-8)
//   qv_drive set-text NAME TEXT        replaces an edit box's text
//   qv_drive click NAME                presses a button (posted: the press may run for long)
//   qv_drive wait-text NAME TEXT MS    until the control shows TEXT (exit 1 on time-out)
//   qv_drive wait-other-text NAME TEXT MS   until the control shows something other than TEXT
//   qv_drive wait-enabled NAME MS      until the control is enabled again
//   qv_drive rect [NAME]               prints the screen rectangle of the control (of the main
//                                      window without NAME): left top right bottom
//   qv_drive boxes                     prints "caption|text" of every open message box
//   qv_drive close-boxes               presses OK on every open message box
//   qv_drive close                     asks the main window to close
//   qv_drive ping COUNT MS             COUNT round trips of a message to the window, MS apart;
//                                      prints p50 and p99 in milliseconds
//   qv_drive pid                       prints the window's process id
//   qv_drive convert-timed MS          presses 修改分辨率 and prints the seconds until the button
//                                      is enabled again (the run's end)
//   qv_drive run-timed PROGRAM ARGS    runs PROGRAM hidden with ARGS as its command line (output
//                                      discarded) and prints its seconds and exit code
//   qv_drive start-timed PROGRAM TITLE MS   starts PROGRAM and prints the seconds until a visible
//                                      window titled TITLE exists; then closes it
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/wide.h"
#include "ui/layout.h"

namespace {

using quelvarn::win32::narrow;
using quelvarn::win32::widen;

constexpr wchar_t kMainWindowClass[] = L"QuelvarnMainWindow";

HWND find_main_window() {
    HWND window = FindWindowW(kMainWindowClass, nullptr);
    return window && IsWindowVisible(window) ? window : nullptr;
}

struct ControlSearch {
    int id;
    HWND found;
};

BOOL CALLBACK match_control(HWND child, LPARAM parameter) {
    auto* search = reinterpret_cast<ControlSearch*>(parameter);
    if (GetDlgCtrlID(child) != search->id) return TRUE;
    search->found = child;
    return FALSE;
}

HWND find_control(const std::wstring& name) {
    HWND window = find_main_window();
    int id = quelvarn::layout_control_id(narrow(name));
    if (!window || id == 0) return nullptr;
    ControlSearch search{id, nullptr};
    EnumChildWindows(window, match_control, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring window_text(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) {
        return {};
    }
    // The text may change between the two messages (a progress label does): a buffer the text
    // filled may have cut it, so read again with a larger one.
    for (size_t size = length + 64;; size *= 2) {
        std::wstring text(size, L'\0');
        DWORD_PTR copied = 0;
        SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                            SMTO_ABORTIFHUNG, 5000, &copied);
        if (copied + 1 < size) {
            text.resize(copied);
            return text;
        }
    }
}

void print_utf8(const std::wstring& text) {
    std::string bytes = narrow(text);
    fwrite(bytes.data(), 1, bytes.size(), stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

struct BoxSearch {
    DWORD process;
    std::vector<HWND> boxes;
};

BOOL CALLBACK match_box(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<BoxSearch*>(parameter);
    wchar_t class_name[16] = {};
    GetClassNameW(window, class_name, 16);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (wcscmp(class_name, L"#32770") == 0 && IsWindowVisible(window) &&
        (search->process == 0 || process == search->process)) {
        search->boxes.push_back(window);
    }
    return TRUE;
}

std::vector<HWND> message_boxes() {
    BoxSearch search{0, {}};
    if (HWND main = FindWindowW(kMainWindowClass, nullptr)) {
        GetWindowThreadProcessId(main, &search.process);
    }
    EnumWindows(match_box, reinterpret_cast<LPARAM>(&search));
    return search.boxes;
}

std::wstring box_text(HWND box) {
    // The message of a box is its static control 0xFFFF.
    HWND message = GetDlgItem(box, 0xFFFF);
    return message ? window_text(message) : std::wstring();
}

template <typename Condition>
bool wait_until(int milliseconds, Condition condition, DWORD poll_milliseconds = 20) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (static_cast<int>(GetTickCount() - start) >= milliseconds) return false;
        Sleep(poll_milliseconds);
    }
}

double seconds_since(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

bool start_hidden(const std::wstring& program, const std::wstring& arguments, bool discard_output,
                  PROCESS_INFORMATION& process) {
    std::wstring command = arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    HANDLE null_device = INVALID_HANDLE_VALUE;
    if (discard_output) {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        null_device = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inherit, OPEN_EXISTING, 0, nullptr);
        startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
        startup.hStdOutput = startup.hStdError = null_device;
    }
    BOOL started =
        CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, discard_output,
                       discard_output ? CREATE_NO_WINDOW : 0, nullptr, nullptr, &startup, &process);
    if (null_device != INVALID_HANDLE_VALUE) CloseHandle(null_device);
    return started != FALSE;
}

int usage() {
    fputs(
        "usage: qv_drive wait-window|caption|wait-caption-containing|text|set-text|click|"
        "wait-text|wait-other-text|wait-enabled|rect|boxes|close-boxes|close|ping|pid|"
        "convert-timed|run-timed|start-timed ...\n",
        stderr);
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return usage();
    // Screen coordinates in the screen's own pixels, also when the prefix is set to another DPI.
    SetProcessDPIAware();
    std::wstring command = argv[1];
    auto arg = [&](int i) { return i < argc ? std::wstring(argv[i]) : std::wstring(); };
    auto number = [&](int i) { return i < argc ? _wtoi(argv[i]) : 0; };

    if (command == L"wait-window") {
        return wait_until(number(2), [] { return find_main_window() != nullptr; }) ? 0 : 1;
    }
    if (command == L"pid") {
        DWORD process = 0;
        HWND window = find_main_window();
        if (!window) return 1;
        GetWindowThreadProcessId(window, &process);
        printf("%lu\n", process);
        return 0;
    }
    if (command == L"caption") {
        HWND window = find_main_window();
        if (!window) return 1;
        print_utf8(window_text(window));
        return 0;
    }
    if (command == L"wait-caption-containing") {
        std::wstring wanted = arg(2);
        bool found = false;
        wait_until(number(3), [&] {
            HWND window = find_main_window();
            found = window && window_text(window).find(wanted) != std::wstring::npos;
            HWND button = find_control(L"按钮_分辨率修改");
            return found || !button || IsWindowEnabled(button);
        });
        return found ? 0 : 1;
    }
    if (command == L"text") {
        HWND control = find_control(arg(2));
        if (!control) return 1;
        print_utf8(window_text(control));
        return 0;
    }
    if (command == L"set-text") {
        HWND control = find_control(arg(2));
        if (!control) return 1;
        std::wstring text = arg(3);
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                            SMTO_ABORTIFHUNG, 5000, &ignored);
        return 0;
    }
    if (command == L"click") {
        HWND control = find_control(arg(2));
        if (!control) return 1;
        PostMessageW(control, BM_CLICK, 0, 0);
        return 0;
    }
    if (command == L"wait-text") {
        std::wstring name = arg(2);
        std::wstring wanted = arg(3);
        return wait_until(number(4),
                          [&] {
                              HWND control = find_control(name);
                              return control && window_text(control) == wanted;
                          })
                   ? 0
                   : 1;
    }
    if (command == L"wait-other-text") {
        std::wstring name = arg(2);
        std::wstring unwanted = arg(3);
        return wait_until(number(4),
                          [&] {
                              HWND control = find_control(name);
                              return control && window_text(control) != unwanted;
                          })
                   ? 0
                   : 1;
    }
    if (command == L"rect") {
        HWND control = argc > 2 ? find_control(arg(2)) : find_main_window();
        RECT rect;
        if (!control || !GetWindowRect(control, &rect)) return 1;
        printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
        return 0;
    }
    if (command == L"wait-enabled") {
        std::wstring name = arg(2);
        return wait_until(number(3),
                          [&] {
                              HWND control = find_control(name);
                              return control && IsWindowEnabled(control);
                          })
                   ? 0
                   : 1;
    }
    if (command == L"boxes") {
        for (HWND box : message_boxes()) print_utf8(window_text(box) + L"|" + box_text(box));
        return 0;
    }
    if (command == L"close-boxes") {
        for (HWND box : message_boxes()) PostMessageW(box, WM_COMMAND, IDOK, 0);
        return 0;
    }
    if (command == L"close") {
        HWND window = find_main_window();
        if (!window) return 1;
        PostMessageW(window, WM_CLOSE, 0, 0);
        return 0;
    }
    if (command == L"ping") {
        HWND window = find_main_window();
        if (!window) return 1;
        std::vector<double> round_trips;
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        for (int i = 0; i < number(2); ++i) {
            LARGE_INTEGER before, after;
            DWORD_PTR ignored = 0;
            QueryPerformanceCounter(&before);
            SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
            QueryPerformanceCounter(&after);
            round_trips.push_back(1000.0 * static_cast<double>(after.QuadPart - before.QuadPart) /
                                  static_cast<double>(frequency.QuadPart));
            Sleep(static_cast<DWORD>(number(3)));
        }
        if (round_trips.empty()) return 1;
        std::sort(round_trips.begin(), round_trips.end());
        auto at = [&](double q) {
            return round_trips[std::min(
                round_trips.size() - 1,
                static_cast<size_t>(q * static_cast<double>(round_trips.size())))];
        };
        printf("p50 %.2f ms, p99 %.2f ms, max %.2f ms over %zu messages\n", at(0.50), at(0.99),
               round_trips.back(), round_trips.size());
        return 0;
    }
    if (command == L"convert-timed") {
        HWND button = find_control(L"按钮_分辨率修改");
        if (!button) return 1;
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        PostMessageW(button, BM_CLICK, 0, 0);
        // IsWindowEnabled reads the window's style: polling it costs the program nothing.
        bool started = wait_until(
            10000, [&] { return !IsWindowEnabled(button); }, 1);
        bool ended = started && wait_until(
                                    number(2), [&] { return IsWindowEnabled(button) != FALSE; }, 5);
        if (!ended) return 1;
        printf("%.3f\n", seconds_since(start));
        return 0;
    }
    if (command == L"run-timed") {
        PROCESS_INFORMATION process = {};
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        if (!start_hidden(arg(2), arg(3), true, process)) return 1;
        WaitForSingleObject(process.hProcess, INFINITE);
        double elapsed = seconds_since(start);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        printf("%.3f %lu\n", elapsed, code);
        return 0;
    }
    if (command == L"start-timed") {
        PROCESS_INFORMATION process = {};
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        std::wstring program = arg(2);
        if (!start_hidden(program, L"\"" + program + L"\"", false, process)) return 1;
        std::wstring title = arg(3);
        HWND window = nullptr;
        bool shown = wait_until(
            number(4),
            [&] {
                window = FindWindowW(nullptr, title.c_str());
                return window && IsWindowVisible(window);
            },
            1);
        double elapsed = seconds_since(start);
        if (window) PostMessageW(window, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
            TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        if (!shown) return 1;
        printf("%.4f\n", elapsed);
        return 0;
    }
    return usage();
}
