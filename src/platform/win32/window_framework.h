// The Win32 window framework: builds a window from its layout table, runs the message loop,
// keeps the cleanup routines and ends the program. One instance serves the whole program.
#pragma once

#include <windows.h>

#include "platform/shell_services.h"
#include "platform/window.h"

namespace quelvarn::win32 {

// Makes the program's folder the current directory and initialises OLE (the drop target needs
// it). False when OLE fails.
bool initialise_platform();

WindowServices* win32_window();
ShellServices* win32_shell();

}  // namespace quelvarn::win32
