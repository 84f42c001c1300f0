// Holds a file open as a video player does, sharing only reads, until it is ended or the time is
// up: the file can then be read by others, but neither replaced nor deleted.
//   hold_file PATH MILLISECONDS     exit code 0 after the time, 2 when the file cannot be opened
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 3;
    HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
    CloseHandle(file);
    return 0;
}
