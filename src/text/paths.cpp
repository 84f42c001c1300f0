#include "text/paths.h"

#include <limits>

namespace quelvarn {

namespace {

constexpr std::int64_t kSaturation = std::int64_t{1} << 40;

// The leading whole number of a clock field: "05.32" -> 5, "-3" -> -3, "x" -> 0.
std::int64_t field_value(std::string_view field) {
    field = strip_blanks(field);
    bool negative = !field.empty() && field.front() == '-';
    if (!field.empty() && (field.front() == '-' || field.front() == '+')) field.remove_prefix(1);
    std::int64_t value = 0;
    for (char c : field) {
        if (c < '0' || c > '9') break;
        if (value < kSaturation) value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

}  // namespace

Text short_path_if_spaced(std::string_view path, const ShortNameFunction& short_name) {
    if (path.find(' ') == std::string_view::npos) return Text(path);
    std::size_t separator = path.rfind('\\');
    std::size_t name_start = separator == std::string_view::npos ? 0 : separator + 1;
    std::string_view folder_part = path.substr(0, name_start);
    std::string_view name_part = path.substr(name_start);
    // The capacity is the length of the text being replaced, so a short form is taken only
    // when it is shorter than the long one. The system call itself sizes its own buffer.
    const bool whole = name_part.find(' ') != std::string_view::npos;
    std::string_view long_text = whole ? path : folder_part;
    Text shortened =
        short_name ? short_name(long_text, static_cast<int>(long_text.size())) : Text();
    // A result that would not fit is refused here too, whatever the function reports.
    if (shortened.size() + 1 > long_text.size()) return Text(path);
    if (strip_blanks(shortened).empty()) return Text(path);
    return whole ? shortened : join_texts({shortened, name_part});
}

std::size_t utf16_length(std::string_view text) {
    std::size_t units = 0;
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) == 0x80) continue;  // continuation byte
        units += byte >= 0xF0 ? 2 : 1;        // four-byte sequences become surrogate pairs
    }
    return units;
}

Text converter_path_form(std::string_view path, const ShortNameFunction& short_name) {
    Text form = short_path_if_spaced(path, short_name);
    if (utf16_length(form) <= kLongestConverterPath) return form;
    Text shortened = short_name ? short_name(path, static_cast<int>(path.size())) : Text();
    if (shortened.empty() || utf16_length(shortened) > kLongestConverterPath) return Text();
    return shortened;
}

std::int32_t clock_to_seconds(std::string_view clock) {
    // A colon at the very end closes the last field instead of opening an empty one.
    if (!clock.empty() && clock.back() == ':') clock.remove_suffix(1);
    std::int64_t sum = 0;
    for (std::size_t start = 0;;) {
        std::size_t colon = clock.find(':', start);
        std::string_view field = clock.substr(
            start, colon == std::string_view::npos ? std::string_view::npos : colon - start);
        sum = sum * 60 + field_value(field);
        if (sum > kSaturation) sum = kSaturation;
        if (sum < -kSaturation) sum = -kSaturation;
        if (colon == std::string_view::npos) break;
        start = colon + 1;
    }
    constexpr std::int64_t kHighest = std::numeric_limits<std::int32_t>::max();
    constexpr std::int64_t kLowest = std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(sum > kHighest ? kHighest : sum < kLowest ? kLowest : sum);
}

Text quote_argument(std::string_view argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string_view::npos) {
        return Text(argument);
    }
    Text quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count only before a quote: there they are doubled and the quote escaped.
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        quoted += c;
        backslashes = 0;
    }
    quoted.append(backslashes * 2, '\\');  // so the closing quote stays a quote
    quoted += '"';
    return quoted;
}

}  // namespace quelvarn
