// Drives a running Quelvarn window from outside, as a user would, for the demo, the benchmarks
// and the end-to-end tests. Controls are found by the identifiers the layout table gives them.
//
//   qv_drive wait-window MS            a visible window "Quelvarn" within MS milliseconds
//   qv_drive text NAME                 prints the control's text (UTF-8)
//   qv_drive set-text NAME TEXT        replaces an edit box's text
//   qv_drive click NAME                presses a button (posted: the press may run for long)
//   qv_drive wait-text NAME TEXT MS    until the control shows TEXT (exit 1 on time-out)
//   qv_drive wait-enabled NAME MS      until the control is enabled again
//   qv_drive boxes                     prints "caption|text" of every open message box
//   qv_drive close-boxes               presses OK on every open message box
//   qv_drive close                     asks the main window to close
//   qv_drive ping COUNT MS             COUNT round trips of a message to the window, MS apart;
//                                      prints p50 and p99 in milliseconds
//   qv_drive pid                       prints the window's process id
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

HWND find_main_window() {
    HWND window = FindWindowW(nullptr, L"Quelvarn");
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
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, 5000, &copied);
    text.resize(copied);
    return text;
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
    if (HWND main = FindWindowW(nullptr, L"Quelvarn")) GetWindowThreadProcessId(main, &search.process);
    EnumWindows(match_box, reinterpret_cast<LPARAM>(&search));
    return search.boxes;
}

std::wstring box_text(HWND box) {
    // The message of a box is its static control 0xFFFF.
    HWND message = GetDlgItem(box, 0xFFFF);
    return message ? window_text(message) : std::wstring();
}

template <typename Condition>
bool wait_until(int milliseconds, Condition condition) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (static_cast<int>(GetTickCount() - start) >= milliseconds) return false;
        Sleep(20);
    }
}

int usage() {
    fputs("usage: qv_drive wait-window|text|set-text|click|wait-text|wait-enabled|boxes|"
          "close-boxes|close|ping|pid ...\n",
          stderr);
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return usage();
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
        return wait_until(number(4), [&] {
                   HWND control = find_control(name);
                   return control && window_text(control) == wanted;
               })
                   ? 0
                   : 1;
    }
    if (command == L"wait-enabled") {
        std::wstring name = arg(2);
        return wait_until(number(3), [&] {
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
            return round_trips[std::min(round_trips.size() - 1,
                                        static_cast<size_t>(q * static_cast<double>(round_trips.size())))];
        };
        printf("p50 %.2f ms, p99 %.2f ms, max %.2f ms over %zu messages\n", at(0.50), at(0.99),
               round_trips.back(), round_trips.size());
        return 0;
    }
    return usage();
}
