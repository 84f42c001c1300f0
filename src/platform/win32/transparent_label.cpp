#include "platform/win32/transparent_label.h"

#include <string>

namespace quelvarn::win32 {

namespace {

// Window extra bytes: the font set with WM_SETFONT.
constexpr int kFontSlot = 0;

// The label has no background, so the old text stays on screen unless the parent paints the
// area again. The top-level window is asked, because a group box does not erase its inside.
void repaint_parent_under(HWND label) {
    HWND root = GetAncestor(label, GA_ROOT);
    RECT area;
    GetWindowRect(label, &area);
    MapWindowPoints(nullptr, root, reinterpret_cast<POINT*>(&area), 2);
    RedrawWindow(root, &area, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void paint(HWND label) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(label, &paint);
    int length = GetWindowTextLengthW(label);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    length = GetWindowTextW(label, text.data(), length + 1);

    RECT area;
    GetClientRect(label, &area);
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(GetWindowLongPtrW(label, kFontSlot));
    HGDIOBJ old_font = font ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    UINT format = DT_LEFT | DT_NOPREFIX;
    format |= (GetWindowLongW(label, GWL_STYLE) & kLabelWraps) ? DT_WORDBREAK | DT_TOP
                                                               : DT_SINGLELINE | DT_VCENTER;
    DrawTextW(dc, text.data(), length, &area, format);
    if (old_font) SelectObject(dc, old_font);
    EndPaint(label, &paint);
}

LRESULT CALLBACK label_procedure(HWND label, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            paint(label);
            return 0;
        case WM_SETTEXT: {
            LRESULT result = DefWindowProcW(label, message, wparam, lparam);
            repaint_parent_under(label);
            return result;
        }
        case WM_SETFONT:
            SetWindowLongPtrW(label, kFontSlot, static_cast<LONG_PTR>(wparam));
            if (LOWORD(lparam)) repaint_parent_under(label);
            return 0;
        case WM_GETFONT:
            return GetWindowLongPtrW(label, kFontSlot);
        case WM_NCHITTEST:
            // Like a static label: the mouse goes to what lies beneath.
            return HTTRANSPARENT;
        default:
            return DefWindowProcW(label, message, wparam, lparam);
    }
}

}  // namespace

bool register_transparent_label(HINSTANCE instance) {
    WNDCLASSEXW label_class = {};
    label_class.cbSize = sizeof label_class;
    label_class.lpfnWndProc = label_procedure;
    label_class.cbWndExtra = sizeof(LONG_PTR);
    label_class.hInstance = instance;
    label_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    label_class.hbrBackground = nullptr;
    label_class.lpszClassName = kTransparentLabelClass;
    return RegisterClassExW(&label_class) != 0;
}

}  // namespace quelvarn::win32
