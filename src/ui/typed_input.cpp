#include "ui/typed_input.h"

#include <array>

namespace quelvarn {

namespace {

constexpr std::array<std::string_view, 6> kBlanks = {" ",  "\t",           "\r",
                                                     "\n", "\xE3\x80\x80", "\xC2\xA0"};

std::string_view trimmed(std::string_view text) {
    for (bool changed = true; changed;) {
        changed = false;
        for (std::string_view blank : kBlanks) {
            if (starts_with(text, blank)) {
                text.remove_prefix(blank.size());
                changed = true;
            }
            if (text.size() >= blank.size() && text.substr(text.size() - blank.size()) == blank) {
                text.remove_suffix(blank.size());
                changed = true;
            }
        }
    }
    return text;
}

// U+FF10..U+FF19 are EF BC 90..99; U+FF0D (full-width hyphen-minus) is EF BC 8D; U+2212 (minus
// sign) is E2 88 92.
Text with_ascii_digits(std::string_view text) {
    Text ascii;
    for (std::size_t i = 0; i < text.size();) {
        std::string_view rest = text.substr(i);
        if (rest.size() >= 3 && starts_with(rest, "\xEF\xBC")) {
            auto last = static_cast<unsigned char>(rest[2]);
            if (last >= 0x90 && last <= 0x99) {
                ascii += static_cast<char>('0' + (last - 0x90));
                i += 3;
                continue;
            }
            if (last == 0x8D) {
                ascii += '-';
                i += 3;
                continue;
            }
        }
        if (starts_with(rest, "\xE2\x88\x92")) {
            ascii += '-';
            i += 3;
            continue;
        }
        ascii += text[i++];
    }
    return ascii;
}

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

}  // namespace

Text cleaned_path(std::string_view typed) {
    std::string_view path = trimmed(typed);
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') {
        path = trimmed(path.substr(1, path.size() - 2));
    }
    return Text(path);
}

bool is_absolute_path(std::string_view path) {
    bool drive = path.size() >= 3 &&
                 ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                 path[1] == ':' && is_separator(path[2]);
    bool server = path.size() >= 3 && is_separator(path[0]) && is_separator(path[1]) &&
                  !is_separator(path[2]);
    return drive || server;
}

std::optional<int> parse_frame_side(std::string_view typed) {
    Text number = with_ascii_digits(trimmed(typed));
    std::string_view digits = number;
    bool negative = starts_with(digits, "-");
    if (negative) digits.remove_prefix(1);
    if (digits.empty() || digits.size() > 6) return std::nullopt;
    int value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (negative) return value == 1 ? std::optional<int>(-1) : std::nullopt;
    value -= value % 2;
    if (value < 2 || value > kLargestFrameSide) return std::nullopt;
    return value;
}

}  // namespace quelvarn
