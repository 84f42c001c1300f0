#include "platform/win32/dpi.h"

namespace quelvarn::win32 {

namespace {

// Loaded by name: the program also starts on systems older than these functions.
using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

template <typename Function>
Function user32_function(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32
               ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)))
               : nullptr;
}

int system_dpi() {
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : kLayoutDpi;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kLayoutDpi;
}

// The frame and title bar around a client area at `dpi`.
RECT frame_at(DWORD style, DWORD extended_style, int dpi) {
    static const auto adjust =
        user32_function<AdjustWindowRectExForDpiFunction>("AdjustWindowRectExForDpi");
    RECT frame = {};
    if (adjust && adjust(&frame, style, FALSE, extended_style, static_cast<UINT>(dpi))) {
        return frame;
    }
    // Without the function the system draws every frame at the system DPI.
    AdjustWindowRectEx(&frame, style, FALSE, extended_style);
    return frame;
}

}  // namespace

int window_dpi(HWND window) {
    static const auto get_dpi = user32_function<GetDpiForWindowFunction>("GetDpiForWindow");
    if (get_dpi && window) {
        if (UINT dpi = get_dpi(window)) return static_cast<int>(dpi);
    }
    return system_dpi();
}

int scale_to_dpi(int pixels, int dpi) {
    return MulDiv(pixels, dpi, kLayoutDpi);
}

SIZE scaled_outer_size(int width, int height, DWORD style, DWORD extended_style, int dpi) {
    RECT frame_96 = frame_at(style, extended_style, kLayoutDpi);
    RECT frame = frame_at(style, extended_style, dpi);
    int client_width = width - (frame_96.right - frame_96.left);
    int client_height = height - (frame_96.bottom - frame_96.top);
    return {scale_to_dpi(client_width, dpi) + (frame.right - frame.left),
            scale_to_dpi(client_height, dpi) + (frame.bottom - frame.top)};
}

FontHandle create_gui_font(int dpi) {
    LOGFONTW font = {};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
    font.lfHeight = MulDiv(font.lfHeight, dpi, system_dpi());
    font.lfWidth = 0;
    return FontHandle(CreateFontIndirectW(&font));
}

}  // namespace quelvarn::win32
