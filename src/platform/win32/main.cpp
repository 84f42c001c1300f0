// Program entry: initialise the platform, install the Win32 services, run the start-up routine.
#include <windows.h>

#include "app/shell.h"
#include "platform/payloads.h"
#include "platform/platform.h"
#include "platform/win32/files.h"
#include "platform/win32/payloads.h"
#include "platform/win32/process.h"
#include "platform/win32/tool_store.h"
#include "platform/win32/window_framework.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace quelvarn;
    win32::initialise_platform();
    set_platform(
        {win32::win32_window(), &win32_files(), &win32_processes(), &win32_tool_store()});
    set_shell_services(win32::win32_shell());
    // The FFmpeg tools ride along as resources of this program.
    static win32::ResourcePayloads payloads;
    set_payload_writer(&payloads);
    int code = start_up();
    // Reached only when the message loop ended without the shutdown handler ending the program.
    win32::win32_shell()->end_program(code);
    return code;
}
