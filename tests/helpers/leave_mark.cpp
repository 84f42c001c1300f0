// A program planted where a converter is looked for: it leaves a mark (C:\planted-ran.txt, with
// its command line) and exits with 1, so a test can tell whether anything ran it.
#include <windows.h>

int wmain() {
    HANDLE mark = CreateFileW(L"C:\\planted-ran.txt", FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (mark != INVALID_HANDLE_VALUE) {
        const wchar_t* line = GetCommandLineW();
        DWORD written = 0;
        WriteFile(mark, line, static_cast<DWORD>(lstrlenW(line) * sizeof(wchar_t)), &written,
                  nullptr);
        CloseHandle(mark);
    }
    return 1;
}
