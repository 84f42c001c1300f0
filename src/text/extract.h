// Cutting the piece of a text that lies between two markers.
#pragma once

#include <optional>
#include <string_view>

#include "text/text.h"

namespace quelvarn {

// Written in a marker, stands for one double quote.
inline constexpr std::string_view kQuotePlaceholder = "#引号";

// The text between the first left marker (searched from `start`) and the first right marker
// after it; empty when either is missing.
Text text_between(std::string_view source, std::string_view left_marker,
                  std::string_view right_marker, int start = 0, bool ignore_case = false,
                  CharRule rule = kProgramRule);

// Optional parameters carry a given-flag: a value that was not given is ignored. An empty
// marker stands for the start or the end of the source. In backward mode the right marker is
// found first, then the left marker is searched backwards from it.
Text extract_text(std::string_view source, std::string_view left_marker = {},
                  std::string_view right_marker = {}, std::optional<bool> backward = {},
                  std::optional<int> left_offset = {}, std::optional<int> right_offset = {},
                  CharRule rule = kProgramRule);

}  // namespace quelvarn
