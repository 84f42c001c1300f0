#include "text/paths.h"

namespace quelvarn {

Text short_path_if_spaced(std::string_view path, const ShortNameFunction& short_name) {
    if (locate_text(path, " ") == -1) return Text(path);
    int k = locate_text_backward(path, "\\");
    if (k == -1) k = 0;
    Text folder_part = text_prefix(path, k);
    Text name_part = text_suffix(path, byte_length(path) - k);
    // The capacity is the length of the text being replaced, so a short form is taken only
    // when it is shorter than the long one. The system call itself sizes its own buffer.
    const bool whole = locate_text(name_part, " ") != -1;
    std::string_view long_text = whole ? path : std::string_view(folder_part);
    Text shortened = short_name ? short_name(long_text, byte_length(long_text)) : Text();
    // A result that would not fit is refused here too, whatever the function reports.
    if (byte_length(shortened) + 1 > byte_length(long_text)) return Text(path);
    if (strip_blanks(shortened).empty()) return Text(path);
    return whole ? shortened : join_texts({shortened, name_part});
}

std::int32_t clock_to_seconds(std::string_view clock) {
    std::vector<Text> fields = split_on(clock, ":");
    int count = element_count(fields);
    std::int32_t sum = 0;
    for (int i = 1; i <= count; ++i) {
        double v = parse_int(fields[static_cast<std::size_t>(i - 1)]);
        double w = raise_to(60.0, count - i);
        sum = real_to_int(sum + v * w);
    }
    return sum;
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
