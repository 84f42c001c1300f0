// A label with no background of its own: its text is drawn over whatever its parent painted.
#pragma once

#include <windows.h>

namespace quelvarn::win32 {

inline constexpr wchar_t kTransparentLabelClass[] = L"QuelvarnTransparentLabel";
// Class style bit: wrap at word boundaries from the top instead of one vertically centred line.
inline constexpr DWORD kLabelWraps = 0x0001;

bool register_transparent_label(HINSTANCE instance);

}  // namespace quelvarn::win32
