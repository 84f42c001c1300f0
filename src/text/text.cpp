#include "text/text.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace quelvarn {

namespace {

bool is_continuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Width of the character starting at byte index i, never past the end. A UTF-8 sequence whose
// continuation bytes are missing counts as one byte, so a broken sequence cannot swallow the
// ASCII characters after it.
std::size_t step_at(std::string_view t, std::size_t i, CharRule rule) {
    std::size_t width =
        static_cast<std::size_t>(char_width(static_cast<unsigned char>(t[i]), rule));
    std::size_t left = t.size() - i;
    if (rule == CharRule::gbk) return width < left ? width : left;
    if (width > left) return 1;
    for (std::size_t k = 1; k < width; ++k) {
        if (!is_continuation(static_cast<unsigned char>(t[i + k]))) return 1;
    }
    return width;
}

unsigned char fold(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

// Compares s with t at byte index i. Only bytes that are whole ASCII characters of s are folded,
// so a GBK trail byte that happens to be a letter still has to match exactly.
class Pattern {
  public:
    Pattern(std::string_view s, bool ignore_case, CharRule rule) : s_(s), fold_(s.size(), false) {
        if (!ignore_case) return;
        for (std::size_t i = 0; i < s.size();) {
            std::size_t w = step_at(s, i, rule);
            if (w == 1) fold_[i] = true;
            i += w;
        }
    }

    bool matches_at(std::string_view t, std::size_t i) const {
        if (i + s_.size() > t.size()) return false;
        for (std::size_t k = 0; k < s_.size(); ++k) {
            unsigned char a = static_cast<unsigned char>(t[i + k]);
            unsigned char b = static_cast<unsigned char>(s_[k]);
            if (fold_[k]) {
                a = fold(a);
                b = fold(b);
            }
            if (a != b) return false;
        }
        return true;
    }

    std::size_t size() const { return s_.size(); }

  private:
    std::string_view s_;
    std::vector<bool> fold_;
};

bool is_wide_blank(std::string_view t, std::size_t i, std::size_t width, CharRule rule) {
    std::string_view c = t.substr(i, width);
    return rule == CharRule::gbk ? c == "\xA1\xA1" : c == "\xE3\x80\x80";
}

// Maps the full-width forms to ASCII so that digits typed in a Chinese input mode still read.
std::string map_wide_forms(std::string_view t, CharRule rule) {
    std::string mapped;
    mapped.reserve(t.size());
    for (std::size_t i = 0; i < t.size();) {
        std::size_t w = step_at(t, i, rule);
        std::string_view c = t.substr(i, w);
        i += w;
        if (rule == CharRule::gbk && w == 2) {
            unsigned char lead = static_cast<unsigned char>(c[0]);
            unsigned char trail = static_cast<unsigned char>(c[1]);
            if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
                mapped += static_cast<char>(trail - 0x80);
                continue;
            }
            if (lead == 0xA1 && trail == 0xA1) {
                mapped += ' ';
                continue;
            }
            if (lead == 0xA1 && trail == 0xAB) {
                mapped += '~';
                continue;
            }
            if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) {
                mapped += '*';
                continue;
            }
        } else if (rule == CharRule::utf8 && w == 3) {
            unsigned code = (static_cast<unsigned char>(c[0]) & 0x0Fu) << 12 |
                            (static_cast<unsigned char>(c[1]) & 0x3Fu) << 6 |
                            (static_cast<unsigned char>(c[2]) & 0x3Fu);
            if (code >= 0xFF01 && code <= 0xFF5E) {  // full-width forms; U+FF5E is GBK A1 AB
                mapped += static_cast<char>(code - 0xFF01 + 0x21);
                continue;
            }
            if (code == 0x3000) {
                mapped += ' ';
                continue;
            }
            if (code == 0x2606 || code == 0x2605) {  // the stars GBK A1 EE and A1 EF
                mapped += '*';
                continue;
            }
        }
        mapped.append(c);
    }
    return mapped;
}

}  // namespace

int char_width(unsigned char lead, CharRule rule) {
    if (rule == CharRule::gbk) return lead >= 0x80 ? 2 : 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 1;
}

int byte_length(std::string_view t) {
    return static_cast<int>(t.size());
}

Text join_texts(std::initializer_list<std::string_view> parts) {
    std::size_t total = 0;
    for (std::string_view part : parts) total += part.size();
    Text joined;
    joined.reserve(total);
    for (std::string_view part : parts) joined.append(part);
    return joined;
}

int text_compare(std::string_view a, std::string_view b) {
    std::size_t common = a.size() < b.size() ? a.size() : b.size();
    int order = common ? std::memcmp(a.data(), b.data(), common) : 0;
    if (order != 0) return order < 0 ? -1 : 1;
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

int locate_text(std::string_view t, std::string_view s, int start, bool ignore_case,
                CharRule rule) {
    if (start < 1) start = 1;
    if (static_cast<std::size_t>(start) > t.size()) return -1;
    if (s.empty()) return 1;
    Pattern pattern(s, ignore_case, rule);
    // Character boundaries are counted from the start of t, so a start inside a character
    // moves on to the next whole one.
    std::size_t from = static_cast<std::size_t>(start - 1);
    for (std::size_t i = 0; i + s.size() <= t.size(); i += step_at(t, i, rule)) {
        if (i >= from && pattern.matches_at(t, i)) return static_cast<int>(i + 1);
    }
    return -1;
}

int locate_text_backward(std::string_view t, std::string_view s, std::optional<int> start,
                         bool ignore_case, CharRule rule) {
    std::size_t limit = t.size();
    if (start) {
        if (*start <= 1) return -1;
        if (static_cast<std::size_t>(*start - 1) < limit)
            limit = static_cast<std::size_t>(*start - 1);
    }
    if (s.empty()) return limit > 0 ? 1 : -1;
    Pattern pattern(s, ignore_case, rule);
    int found = -1;
    for (std::size_t i = 0; i + s.size() <= limit; i += step_at(t, i, rule)) {
        if (pattern.matches_at(t, i)) found = static_cast<int>(i + 1);
    }
    return found;
}

Text text_prefix(std::string_view t, int n) {
    if (n <= 0) return {};
    return Text(t.substr(0, static_cast<std::size_t>(n)));
}

Text text_suffix(std::string_view t, int n) {
    if (n <= 0) return {};
    std::size_t take =
        static_cast<std::size_t>(n) < t.size() ? static_cast<std::size_t>(n) : t.size();
    return Text(t.substr(t.size() - take));
}

Text text_slice(std::string_view t, int start, int n) {
    if (start < 1 || static_cast<std::size_t>(start) > t.size() || n <= 0) return {};
    return Text(t.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(n)));
}

Text substitute_text(std::string_view t, std::string_view old, std::string_view replacement,
                     int start, std::optional<int> count, bool case_sensitive, CharRule rule) {
    if (t.empty() || old.empty()) return Text(t);
    if (start < 1) start = 1;
    std::size_t from = static_cast<std::size_t>(start - 1);
    int left = count ? (*count < 0 ? 0 : *count) : -1;  // -1: no limit
    Pattern pattern(old, !case_sensitive, rule);
    Text result;
    result.reserve(t.size());
    std::size_t i = 0;
    while (i < t.size() && left != 0) {
        if (i >= from && pattern.matches_at(t, i)) {
            result.append(replacement);
            i += old.size();
            if (left > 0) --left;
            continue;
        }
        std::size_t w = step_at(t, i, rule);
        result.append(t.substr(i, w));
        i += w;
    }
    result.append(t.substr(i));
    return result;
}

Text strip_blanks(std::string_view t, CharRule rule) {
    // Walk the characters once, remembering where the last non-blank one ends.
    std::size_t begin = t.size();
    std::size_t end = 0;
    bool lone_tail = false;
    for (std::size_t i = 0; i < t.size();) {
        std::size_t w = step_at(t, i, rule);
        bool blank = t[i] == ' ' || is_wide_blank(t, i, w, rule);
        if (rule == CharRule::gbk && w == 1 && static_cast<unsigned char>(t[i]) >= 0x80) {
            // A GBK lead byte without its trail at the very end is cut off, together with
            // nothing else: the blanks before it stay.
            lone_tail = true;
            if (begin == t.size()) begin = i;
            break;
        }
        if (!blank) {
            if (begin == t.size()) begin = i;
            end = i + w;
        }
        i += w;
    }
    if (lone_tail) {
        std::size_t cut = t.size() - 1;
        return begin < cut ? Text(t.substr(begin, cut - begin)) : Text();
    }
    if (begin >= end) return {};
    return Text(t.substr(begin, end - begin));
}

std::vector<Text> split_on(std::string_view t, std::string_view separator, CharRule rule) {
    std::vector<Text> pieces;
    if (t.empty()) return pieces;
    if (separator.empty()) {
        pieces.emplace_back(t);
        return pieces;
    }
    Pattern pattern(separator, false, rule);
    std::size_t piece_start = 0;
    for (std::size_t i = 0; i < t.size();) {
        if (pattern.matches_at(t, i)) {
            pieces.emplace_back(t.substr(piece_start, i - piece_start));
            i += separator.size();
            piece_start = i;
        } else {
            i += step_at(t, i, rule);
        }
    }
    if (piece_start < t.size()) pieces.emplace_back(t.substr(piece_start));
    return pieces;
}

int element_count(const std::vector<Text>& elements) {
    return static_cast<int>(elements.size());
}

std::int32_t parse_int(std::string_view t, CharRule rule) {
    std::string mapped = map_wide_forms(t, rule);
    std::size_t i = 0;
    auto is_space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < mapped.size() && is_space(mapped[i])) ++i;
    bool negative = false;
    if (i < mapped.size() && (mapped[i] == '+' || mapped[i] == '-')) negative = mapped[i++] == '-';
    // Unsigned arithmetic wraps modulo 2^32 without undefined behaviour.
    std::uint32_t value = 0;
    for (; i < mapped.size() && mapped[i] >= '0' && mapped[i] <= '9'; ++i) {
        value = value * 10u + static_cast<std::uint32_t>(mapped[i] - '0');
    }
    if (negative) value = 0u - value;
    return static_cast<std::int32_t>(value);
}

Text format_number(double x) {
    // Spelled the same on every C runtime.
    if (std::isnan(x)) return "nan";
    if (std::isinf(x)) return x < 0 ? "-inf" : "inf";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.13g", x);
    Text written = buffer;
    // The exponent gets at least three digits, as the Microsoft runtime writes it.
    std::size_t e = written.find('e');
    if (e != Text::npos) {
        std::size_t digits = e + 2;  // past the sign
        while (written.size() - digits < 3) written.insert(digits, "0");
    }
    return written;
}

Text make_spaces(int n) {
    return n <= 0 ? Text() : Text(static_cast<std::size_t>(n), ' ');
}

double round_to(double x, int places) {
    if (x == 0 || std::isnan(x)) return x;
    double m = std::pow(10.0, std::abs(places));
    double y = places >= 0 ? std::fabs(x) * m : std::fabs(x) / m;
    double whole = 0;
    double fraction = std::modf(y + 0.000000000001, &whole);
    double r = fraction >= 0.5 ? whole + 1 : whole;
    double result = places >= 0 ? r / m : r * m;
    return x < 0 ? -result : result;
}

double raise_to(double base, double exponent) {
    return std::pow(base, exponent);
}

std::int32_t real_to_int(double x) {
    // Out of the 64-bit range (and not a number) the processor's conversion gives 2^63, whose
    // low 32 bits are 0; doing the same here avoids undefined behaviour.
    if (!(x > -9223372036854775808.0 && x < 9223372036854775808.0)) return 0;
    std::int64_t whole = static_cast<std::int64_t>(x);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(whole)));
}

Bytes make_zero_bytes(int n) {
    return n <= 0 ? Bytes() : Bytes(static_cast<std::size_t>(n), 0);
}

Bytes bytes_prefix(const Bytes& b, int n) {
    if (n <= 0) return {};
    std::size_t take =
        static_cast<std::size_t>(n) < b.size() ? static_cast<std::size_t>(n) : b.size();
    return Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(take));
}

Bytes substitute_bytes(const Bytes& b, const Bytes& old, const Bytes& replacement, int start,
                       std::optional<int> count) {
    if (b.empty() || old.empty()) return b;
    if (start < 1) start = 1;
    std::size_t from = static_cast<std::size_t>(start - 1);
    int left = count ? (*count < 0 ? 0 : *count) : -1;  // -1: no limit
    Bytes result;
    result.reserve(b.size());
    std::size_t i = 0;
    while (i < b.size() && left != 0) {
        if (i >= from && i + old.size() <= b.size() &&
            std::memcmp(b.data() + i, old.data(), old.size()) == 0) {
            result.insert(result.end(), replacement.begin(), replacement.end());
            i += old.size();
            if (left > 0) --left;
            continue;
        }
        result.push_back(b[i++]);
    }
    result.insert(result.end(), b.begin() + static_cast<std::ptrdiff_t>(i), b.end());
    return result;
}

Text bytes_as_text(const Bytes& b) {
    std::size_t n = 0;
    while (n < b.size() && b[n] != 0) ++n;
    return Text(reinterpret_cast<const char*>(b.data()), n);
}

}  // namespace quelvarn
