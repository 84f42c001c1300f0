// The text model and the few helpers the program uses on it.
//
// A Text is a byte string; inside this program it holds UTF-8. Positions are 0-based byte
// offsets, as std::string_view gives them. Bytes is a byte sequence of any values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace quelvarn {

using Text = std::string;
using Bytes = std::vector<std::uint8_t>;

Text join_texts(std::initializer_list<std::string_view> parts);

bool starts_with(std::string_view text, std::string_view prefix);

// Without leading and trailing ASCII blanks and full-width blanks (U+3000); tabs and line ends
// stay.
std::string_view strip_blanks(std::string_view text);

// The text between the first `left` at or after `from` and the first `right` after it; empty
// when either is missing.
std::string_view text_between(std::string_view source, std::string_view left,
                              std::string_view right, std::size_t from = 0);

}  // namespace quelvarn
