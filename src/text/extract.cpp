#include "text/extract.h"

namespace quelvarn {

Text text_between(std::string_view source, std::string_view left_marker,
                  std::string_view right_marker, int start, bool ignore_case, CharRule rule) {
    Text left = substitute_text(left_marker, kQuotePlaceholder, "\"", 1, {}, true, rule);
    Text right = substitute_text(right_marker, kQuotePlaceholder, "\"", 1, {}, true, rule);
    int p = locate_text(source, left, start, ignore_case, rule);
    if (p == -1) return {};
    p = real_to_int(static_cast<double>(p) + byte_length(left));
    // The right marker counts only after the end of the left one.
    int q = locate_text(source, right, p, ignore_case, rule);
    if (q == -1) return {};
    return text_slice(source, p, real_to_int(static_cast<double>(q) - p));
}

Text extract_text(std::string_view source, std::string_view left_marker,
                  std::string_view right_marker, std::optional<bool> backward,
                  std::optional<int> left_offset, std::optional<int> right_offset, CharRule rule) {
    const double n = byte_length(source);
    const bool left_empty = text_compare(left_marker, "") == 0;
    const bool right_empty = text_compare(right_marker, "") == 0;
    double s = 1;
    double e = n + 1;
    if (backward.value_or(false)) {
        // The first right marker in the whole source, then the last left marker before it.
        if (!right_empty) {
            e = locate_text(source, right_marker, 1, false, rule);
            if (e == -1) return {};
        }
        if (!left_empty) {
            int p = locate_text_backward(source, left_marker, real_to_int(e), false, rule);
            if (p == -1) return {};
            s = p + static_cast<double>(byte_length(left_marker));
        }
    } else {
        if (!left_empty) {
            int p = locate_text(source, left_marker, 1, false, rule);
            if (p == -1) return {};
            s = p + static_cast<double>(byte_length(left_marker));
        }
        if (!right_empty) {
            e = locate_text(source, right_marker, real_to_int(s), false, rule);
            if (e == -1) return {};
        }
    }
    double a = s + left_offset.value_or(0);
    double b = e + right_offset.value_or(0);
    return text_slice(source, real_to_int(a), real_to_int(b - a));
}

}  // namespace quelvarn
