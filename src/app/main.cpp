// Program entry: install the Win32 services, then run the program. The console-less entry of a
// GUI program; its arguments arrive as UTF-16.
#include "app/program.h"
#include "platform/win32/system.h"

int wmain(int, wchar_t**) {
    if (!quelvarn::win32::install_services()) return 1;
    quelvarn::Program program;
    int code = program.run();
    // Reached only when the message loop ended without the shutdown handler ending the program.
    quelvarn::win32::end_program(code);
}
