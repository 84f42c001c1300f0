#include "text/text.h"

namespace quelvarn {

namespace {

constexpr std::string_view kWideBlank = "\xE3\x80\x80";

}  // namespace

Text join_texts(std::initializer_list<std::string_view> parts) {
    std::size_t size = 0;
    for (std::string_view part : parts) size += part.size();
    Text joined;
    joined.reserve(size);
    for (std::string_view part : parts) joined.append(part);
    return joined;
}

bool starts_with(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string_view strip_blanks(std::string_view text) {
    for (;;) {
        if (starts_with(text, " ")) {
            text.remove_prefix(1);
        } else if (starts_with(text, kWideBlank)) {
            text.remove_prefix(kWideBlank.size());
        } else {
            break;
        }
    }
    for (;;) {
        if (!text.empty() && text.back() == ' ') {
            text.remove_suffix(1);
        } else if (text.size() >= kWideBlank.size() &&
                   text.substr(text.size() - kWideBlank.size()) == kWideBlank) {
            text.remove_suffix(kWideBlank.size());
        } else {
            break;
        }
    }
    return text;
}

std::string_view text_between(std::string_view source, std::string_view left,
                              std::string_view right, std::size_t from) {
    std::size_t begin = source.find(left, from);
    if (begin == std::string_view::npos) return {};
    begin += left.size();
    // The right marker counts only after the end of the left one.
    std::size_t end = source.find(right, begin);
    if (end == std::string_view::npos) return {};
    return source.substr(begin, end - begin);
}

}  // namespace quelvarn
