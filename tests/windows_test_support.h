// What the Windows test programs share: where the programs under test are, and how to look at
// the windows of another program.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace quelvarn::test_support {

// The folder holding this test program; the helper programs are built beside it.
inline std::wstring test_folder() {
    std::wstring name(32768, L'\0');
    DWORD size = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    name.resize(size);
    return name.substr(0, name.find_last_of(L'\\'));
}

inline std::wstring program_path() {
    return test_folder() + L"\\..\\quelvarn.exe";
}

inline std::wstring helper_path(const wchar_t* name) {
    return test_folder() + L"\\" + name + L".exe";
}

// The lines of a text file that another program may still be writing.
inline std::vector<std::string> read_lines(const std::wstring& path) {
    std::vector<std::string> lines;
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return lines;
    std::string content;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(handle, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        content.append(buffer, got);
    }
    CloseHandle(handle);
    for (size_t start = 0; start < content.size();) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        lines.push_back(content.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

inline std::wstring class_name(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

// The text of a window of any process; a window that does not answer gives "<no answer>".
inline std::wstring window_text(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 10000, &length)) {
        return L"<no answer>";
    }
    // The text may change between the two messages (a progress label does): a buffer the text
    // filled may have cut it, so read again with a larger one.
    for (size_t size = length + 64;; size *= 2) {
        std::wstring text(size, L'\0');
        DWORD_PTR copied = 0;
        SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                            SMTO_ABORTIFHUNG, 10000, &copied);
        if (copied + 1 < size) {
            text.resize(copied);
            return text;
        }
    }
}

inline POINT centre_on_screen(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// A key pressed and released, through the system's input queue.
inline void send_key(WORD key) {
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = key;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

// A left click at a point of the screen, through the system's input queue.
inline void click_at(POINT point) {
    INPUT inputs[3] = {};
    for (INPUT& input : inputs) input.type = INPUT_MOUSE;
    inputs[0].mi.dx = MulDiv(point.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    inputs[0].mi.dy = MulDiv(point.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(3, inputs, sizeof(INPUT));
}

template <typename Condition>
bool wait_until(Condition condition, int milliseconds) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (static_cast<int>(GetTickCount() - start) >= milliseconds) return false;
        Sleep(10);
    }
}

}  // namespace quelvarn::test_support
