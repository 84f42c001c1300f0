// The DPI a window is shown at and what scales with it. Layout tables are in pixels of a 96-DPI
// screen; the program is per-monitor DPI aware, so it scales them itself.
#pragma once

#include <windows.h>

#include "platform/win32/handle.h"

namespace quelvarn::win32 {

inline constexpr int kLayoutDpi = 96;

// The DPI of the monitor a window is on (GetDpiForWindow where the system has it, Windows 10
// 1607 and later; before that the system DPI, which is what such a system gives the program).
int window_dpi(HWND window);

// Pixels of the 96-DPI layout at `dpi`, rounded to the nearest.
int scale_to_dpi(int pixels, int dpi);

// The outer size at `dpi` of a window whose outer size at 96 DPI is `width` x `height`: its
// client area is scaled, its frame and title bar are what the system draws at that DPI.
SIZE scaled_outer_size(int width, int height, DWORD style, DWORD extended_style, int dpi);

// The default GUI font at `dpi`. The system makes its stock font at the system DPI, which a
// monitor of another DPI does not share.
FontHandle create_gui_font(int dpi);

}  // namespace quelvarn::win32
