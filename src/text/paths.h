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

// hours:minutes:seconds (any number of fields) to whole seconds; fractions dropped. Each field
// is read as far as it holds digits after an optional sign; the sum saturates at the int32
// range.
std::int32_t clock_to_seconds(std::string_view clock);

// One argument quoted so that the Microsoft C runtime's command-line splitting gives it back
// unchanged: wrapped in quotes when it is empty or holds a blank, tab, newline, vertical tab or
// quote; backslashes doubled before a quote and before the closing quote; quotes escaped.
Text quote_argument(std::string_view argument);

}  // namespace quelvarn
