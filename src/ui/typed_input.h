// What the user types or pastes into the path box and the size boxes, read as a person means it:
// blanks around it ignored, a path copied with its quotes, digits and minus signs from a Chinese
// input method (full width).
#pragma once

#include <optional>
#include <string_view>

#include "text/text.h"

namespace quelvarn {

// The largest frame side accepted: beyond it the H.264 levels players support end.
inline constexpr int kLargestFrameSide = 8192;

// Blanks (ASCII, tabs, line ends, the full-width blank) around the text removed, then one pair of
// double quotes around what is left ("Copy as path" adds them), then blanks inside them.
Text cleaned_path(std::string_view typed);

// "C:\..." or "C:/..." or a server path "\\server\share\..."; everything else depends on a
// current folder the user never sees.
bool is_absolute_path(std::string_view path);

// A size box's text as the converter's frame side: -1 (keep the aspect ratio), or a whole number
// from 2 to kLargestFrameSide rounded down to the even size H.264 needs. Blanks around it are
// ignored; full-width digits and minus signs count as their ASCII forms. nullopt for anything
// else: empty, 0, 1, letters, other negatives, too large.
std::optional<int> parse_frame_side(std::string_view typed);

}  // namespace quelvarn
