// Runs a program with a command line and collects what it writes to standard output.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace quelvarn::testing {

// Starts `program` with `command_line`, reads its standard output until it closes and waits for
// it to end. Nothing when it could not be started.
inline std::optional<std::string> run_and_capture(const std::wstring& program,
                                                  std::wstring command_line) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return std::nullopt;
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write_end;
    startup.hStdError = write_end;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    BOOL started = CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, TRUE,
                                  CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    CloseHandle(write_end);  // our copy: the pipe closes when the child's copy does
    if (!started) {
        CloseHandle(read_end);
        return std::nullopt;
    }
    CloseHandle(process.hThread);
    std::string output;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got > 0)
        output.append(buffer, got);
    CloseHandle(read_end);
    WaitForSingleObject(process.hProcess, 30000);
    CloseHandle(process.hProcess);
    return output;
}

}  // namespace quelvarn::testing
