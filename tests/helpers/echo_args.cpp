// Writes the arguments the C runtime split from its command line to standard output, each as
// UTF-8 followed by a zero byte, so a test can see exactly what a child receives.
//   echo_args --program-folder   writes the program folder the file services report instead
//   echo_args --command-line     writes its whole command line, then argv[0], instead
#include <windows.h>

#include <string>

#include "platform/win32/files.h"
#include "platform/win32/wide.h"

int wmain(int argc, wchar_t** argv) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    auto write = [out](const std::string& bytes) {
        DWORD written = 0;
        WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    };
    if (argc == 2 && std::wstring(argv[1]) == L"--program-folder") {
        write(quelvarn::win32_files().program_folder() + std::string(1, '\0'));
        return 0;
    }
    if (argc >= 2 && std::wstring(argv[1]) == L"--command-line") {
        write(quelvarn::win32::narrow(GetCommandLineW()) + std::string(1, '\0'));
        write(quelvarn::win32::narrow(argv[0]) + std::string(1, '\0'));
        return 0;
    }
    for (int i = 1; i < argc; ++i) write(quelvarn::win32::narrow(argv[i]) + std::string(1, '\0'));
    return 0;
}
