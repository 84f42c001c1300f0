// Short paths, clock texts and command-line quoting.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "text/text.h"

namespace quelvarn {

// The system's short-name function: the short form of `path`, or the empty text when the
// system gives none that fits in `capacity` bytes (terminating zero included).
using ShortNameFunction = std::function<Text(std::string_view path, int capacity)>;

// A path with an ASCII blank comes back in its short (8.3) form when the system supplies one
// that is shorter than the text it replaces; otherwise unchanged.
Text short_path_if_spaced(std::string_view path, const ShortNameFunction& short_name);

// The longest path, in UTF-16 units, the converter opens: the system's MAX_PATH less its zero.
inline constexpr std::size_t kLongestConverterPath = 259;

// The number of UTF-16 units the system counts for a UTF-8 text.
std::size_t utf16_length(std::string_view text);

// An existing path as the converter is to open it: as short_path_if_spaced gives it, and, when
// that is still longer than kLongestConverterPath, the whole path's short (8.3) form. Empty when
// no form the volume has is short enough.
Text converter_path_form(std::string_view path, const ShortNameFunction& short_name);

// hours:minutes:seconds (any number of fields) to whole seconds; fractions dropped. Each field
// is read as far as it holds digits after an optional sign; the sum saturates at the int32
// range.
std::int32_t clock_to_seconds(std::string_view clock);

// One argument quoted so that the Microsoft C runtime's command-line splitting gives it back
// unchanged: wrapped in quotes when it is empty or holds a blank, tab, newline, vertical tab or
// quote; backslashes doubled before a quote and before the closing quote; quotes escaped.
Text quote_argument(std::string_view argument);

}  // namespace quelvarn
