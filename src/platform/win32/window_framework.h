// The Win32 window framework: builds a window from its layout table, raises its events, runs the
// message loop and ends the program. One instance serves the whole program.
#pragma once

#include <windows.h>

#include "platform/taskbar.h"
#include "platform/window.h"

namespace quelvarn::win32 {

// Makes the program's folder the current directory and initialises OLE (the drop target needs
// it). False when OLE fails.
bool initialise_window_framework();

WindowServices& window_framework();

// The loaded main window; null before load_window and after the program has released it.
HWND main_window();

// The main window's taskbar button; it lets go of the shell before OLE ends.
TaskbarServices& window_taskbar();

}  // namespace quelvarn::win32
