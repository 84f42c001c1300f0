// A console program that writes what it is told, for the runner's tests. Each argument is one
// step, done in order:
//   w:HEX          write these bytes to standard output in one write (w:610D0A)
//   t:TEXT         write the text (UTF-8) to standard output in one write
//   n:COUNT:HEX    write COUNT copies of one byte in one write (n:3000:41)
//   e:HEX          write these bytes to standard error
//   d:             write the current folder (UTF-8), nothing after it
//   s:MS           sleep
//   g:MS           start a copy of this program that sleeps MS with our standard output
//   x:CODE         exit at once with CODE
// Without x: the exit code is 0.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

void write_all(HANDLE to, const std::string& bytes) {
    DWORD written = 0;
    WriteFile(to, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::string from_hex(const wchar_t* hex) {
    std::string bytes;
    for (std::size_t i = 0; hex[i] && hex[i + 1]; i += 2) {
        wchar_t pair[3] = {hex[i], hex[i + 1], 0};
        bytes.push_back(static_cast<char>(std::wcstoul(pair, nullptr, 16)));
    }
    return bytes;
}

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

void start_sleeping_copy(const wchar_t* milliseconds) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"child_writer s:" + std::wstring(milliseconds);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started{};
    if (CreateProcessW(self, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                       nullptr, &startup, &started)) {
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    for (int i = 1; i < argc; ++i) {
        const wchar_t* step = argv[i];
        if (std::wcslen(step) < 2 || step[1] != L':') continue;
        const wchar_t* value = step + 2;
        switch (step[0]) {
            case L'w':
                write_all(out, from_hex(value));
                break;
            case L't':
                write_all(out, utf8(value));
                break;
            case L'e':
                write_all(err, from_hex(value));
                break;
            case L'n': {
                wchar_t* rest = nullptr;
                unsigned long count = std::wcstoul(value, &rest, 10);
                std::string byte = rest && *rest == L':' ? from_hex(rest + 1) : std::string("A");
                write_all(out, std::string(count, byte.empty() ? 'A' : byte[0]));
                break;
            }
            case L'd': {
                wchar_t folder[MAX_PATH];
                DWORD size = GetCurrentDirectoryW(MAX_PATH, folder);
                write_all(out, utf8(std::wstring(folder, size)));
                break;
            }
            case L's':
                Sleep(static_cast<DWORD>(std::wcstoul(value, nullptr, 10)));
                break;
            case L'g':
                start_sleeping_copy(value);
                break;
            case L'x':
                ExitProcess(static_cast<UINT>(std::wcstoul(value, nullptr, 10)));
            default:
                break;
        }
    }
    return 0;
}
