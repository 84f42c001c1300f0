// The text value model and its primitives.
//
// A Text is a byte string without zero bytes; inside this program it holds UTF-8. Positions are
// 1-based byte positions and a search that finds nothing gives -1. Searches step over
// multi-byte characters whole, by a character rule: UTF-8 (what the program uses) or the
// two-byte GBK rule (a byte of 0x80 or more takes the next byte with it). Bytes is a byte
// sequence of any values. Every primitive returns a fresh value and never reports an error.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quelvarn {

using Text = std::string;
using Bytes = std::vector<std::uint8_t>;

enum class CharRule { utf8, gbk };

// The rule the program's own texts follow.
inline constexpr CharRule kProgramRule = CharRule::utf8;

// Number of bytes the character that starts with `lead` takes under `rule` (at least 1).
int char_width(unsigned char lead, CharRule rule);

int byte_length(std::string_view t);
Text join_texts(std::initializer_list<std::string_view> parts);
// -1, 0 or 1: unsigned bytes up to the end of the shorter text; a text that ends first is smaller.
int text_compare(std::string_view a, std::string_view b);

// First occurrence of s at or after `start` (1 or less: from the first byte; beyond the end: -1).
// An empty s gives 1 when the searched stretch is not empty, else -1. ignore_case folds ASCII.
int locate_text(std::string_view t, std::string_view s, int start = 1, bool ignore_case = false,
                CharRule rule = kProgramRule);
// Last occurrence of s lying wholly in the first start - 1 bytes (whole text when start is
// omitted or beyond the end); -1 when none or when start is 1 or less.
int locate_text_backward(std::string_view t, std::string_view s, std::optional<int> start = {},
                         bool ignore_case = false, CharRule rule = kProgramRule);

Text text_prefix(std::string_view t, int n);
Text text_suffix(std::string_view t, int n);
// Up to n bytes from `start`; empty when start < 1, start > size or n <= 0 (start not clamped).
Text text_slice(std::string_view t, int start, int n);

// count omitted: all; 0: none. t or old empty: t unchanged.
Text substitute_text(std::string_view t, std::string_view old, std::string_view replacement = {},
                     int start = 1, std::optional<int> count = {}, bool case_sensitive = true,
                     CharRule rule = kProgramRule);
// Without leading and trailing ASCII blanks and full-width blanks (U+3000 in UTF-8, A1 A1 in GBK).
// Tab, CR and LF stay. Under GBK a lead byte left alone at the very end is cut off, and the
// blanks before it then stay.
Text strip_blanks(std::string_view t, CharRule rule = kProgramRule);
std::vector<Text> split_on(std::string_view t, std::string_view separator = ",",
                           CharRule rule = kProgramRule);
int element_count(const std::vector<Text>& elements);

// Full-width forms mapped to ASCII (GBK A3 A1..A3 FE, or U+FF01..U+FF5E in UTF-8; the full-width
// blank to a space; the stars A1 EE / A1 EF, U+2606 / U+2605, to '*'), then read like C atol,
// wrapping modulo 2^32.
std::int32_t parse_int(std::string_view t, CharRule rule = kProgramRule);
// printf "%.13g", with an exponent of at least three digits on every runtime; infinities and
// not-a-number are written inf, -inf and nan.
Text format_number(double x);
Text make_spaces(int n);
// Halves away from zero, after adding 1e-12; zero and not-a-number unchanged.
double round_to(double x, int places = 0);
double raise_to(double base, double exponent);
// Truncation toward zero to 64 bits; the low 32 bits are the result. Beyond the 64-bit range,
// and for not-a-number, 0 (what the processor's conversion leaves in the low half).
std::int32_t real_to_int(double x);

Bytes make_zero_bytes(int n);
Bytes bytes_prefix(const Bytes& b, int n);
Bytes substitute_bytes(const Bytes& b, const Bytes& old, const Bytes& replacement, int start = 1,
                       std::optional<int> count = {});
// The bytes up to the first zero byte, as a Text.
Text bytes_as_text(const Bytes& b);

}  // namespace quelvarn
