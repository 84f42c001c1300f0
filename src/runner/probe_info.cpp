#include "runner/probe_info.h"

#include <array>
#include <cctype>

namespace quelvarn {

namespace {

std::string_view trim(std::string_view text) {
    size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string_view::npos) return {};
    return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

bool ends_with(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// Splits at ", " outside parentheses and brackets: "yuv420p(tv, bt709)" stays one field.
std::vector<std::string_view> split_fields(std::string_view text) {
    std::vector<std::string_view> fields;
    int depth = 0;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '(' || c == '[') ++depth;
        if ((c == ')' || c == ']') && depth > 0) --depth;
        if (depth == 0 && c == ',' && i + 1 < text.size() && text[i + 1] == ' ') {
            fields.push_back(text.substr(start, i - start));
            start = i + 2;
        }
    }
    fields.push_back(text.substr(start));
    return fields;
}

// "h:m:s.fraction"; nothing when the text is not one (the report says "N/A").
std::optional<double> clock_seconds(std::string_view clock) {
    double seconds = 0;
    double field = 0;
    double fraction_scale = 0;
    bool any_digit = false;
    for (char c : clock) {
        if (std::isdigit(static_cast<unsigned char>(c))) {
            any_digit = true;
            if (fraction_scale > 0) {
                fraction_scale /= 10;
                field += (c - '0') * fraction_scale;
            } else {
                field = field * 10 + (c - '0');
            }
        } else if (c == ':' && fraction_scale == 0) {
            seconds = (seconds + field) * 60;
            field = 0;
        } else if (c == '.' && fraction_scale == 0) {
            fraction_scale = 1;
        } else {
            return std::nullopt;
        }
    }
    if (!any_digit) return std::nullopt;
    return seconds + field;
}

bool is_size(std::string_view field) {
    size_t x = field.find('x');
    if (x == 0 || x == std::string_view::npos || x + 1 >= field.size()) return false;
    return std::isdigit(static_cast<unsigned char>(field[0])) &&
           std::isdigit(static_cast<unsigned char>(field[x + 1]));
}

Text known_color(std::string_view name) {
    if (name == "unknown" || name == "reserved" || name == "unspecified" || name == "(null)") {
        return Text();
    }
    return Text(name);
}

// When matrix, primaries and transfer carry the same number the report prints one name for
// all three; the same number has other names as a primaries or a transfer value.
struct SharedColorName {
    std::string_view printed;
    std::string_view matrix;
    std::string_view primaries;
    std::string_view transfer;
};
constexpr std::array<SharedColorName, 6> kSharedColorNames = {{
    {"bt709", "bt709", "bt709", "bt709"},
    {"fcc", "fcc", "bt470m", "bt470m"},
    {"bt470bg", "bt470bg", "bt470bg", "bt470bg"},
    {"smpte170m", "smpte170m", "smpte170m", "smpte170m"},
    {"smpte240m", "smpte240m", "smpte240m", "smpte240m"},
    {"GBR", "gbr", "", ""},
}};

// "yuv420p10le(tv, bt2020nc/bt2020/smpte2084, progressive)": the format and its colour details.
void read_pixel_field(std::string_view field, ProbedStream& stream) {
    size_t open = field.find('(');
    std::string_view name = trim(field.substr(0, open));
    if (name != "none") stream.pixel_format = Text(name);
    if (open == std::string_view::npos) return;
    size_t close = field.rfind(')');
    if (close == std::string_view::npos || close < open) close = field.size();
    for (std::string_view detail : split_fields(field.substr(open + 1, close - open - 1))) {
        detail = trim(detail);
        if (detail == "tv" || detail == "pc") {
            stream.color_range = Text(detail);
        } else if (size_t slash = detail.find('/'); slash != std::string_view::npos) {
            size_t second = detail.find('/', slash + 1);
            if (second == std::string_view::npos) continue;
            stream.color_matrix = known_color(detail.substr(0, slash));
            stream.color_primaries = known_color(detail.substr(slash + 1, second - slash - 1));
            stream.color_transfer = known_color(detail.substr(second + 1));
        } else {
            for (const SharedColorName& shared : kSharedColorNames) {
                if (detail != shared.printed) continue;
                stream.color_matrix = Text(shared.matrix);
                stream.color_primaries = Text(shared.primaries);
                stream.color_transfer = Text(shared.transfer);
            }
        }
    }
}

// Converters before 4.4 print no "(attached pic)": there a cover shows as a still-image codec
// with no frame rate, where a moving picture always has one ("25 fps").
bool looks_like_cover(const ProbedStream& stream, const std::vector<std::string_view>& fields) {
    constexpr std::array<std::string_view, 7> kStillImageCodecs = {
        "mjpeg", "png", "bmp", "gif", "tiff", "webp", "jpeg2000"};
    bool still_codec = false;
    for (std::string_view codec : kStillImageCodecs) still_codec |= stream.codec == codec;
    if (!still_codec) return false;
    for (std::string_view field : fields) {
        if (ends_with(field, " fps")) return false;
    }
    return true;
}

StreamKind kind_named(std::string_view name) {
    if (name == "Video") return StreamKind::video;
    if (name == "Audio") return StreamKind::audio;
    if (name == "Subtitle") return StreamKind::subtitle;
    if (name == "Data") return StreamKind::data;
    if (name == "Attachment") return StreamKind::attachment;
    return StreamKind::other;
}

// "Stream #0:1[0x101](eng): Audio: aac (LC) (mp4a / 0x6134706D), 48000 Hz, stereo, fltp (default)"
std::optional<ProbedStream> read_stream_line(std::string_view line) {
    std::string_view rest = line.substr(std::string_view("Stream #").size());
    size_t header_end = rest.find(": ");
    if (header_end == std::string_view::npos) return std::nullopt;
    std::string_view header = rest.substr(0, header_end);
    size_t colon = header.find(':');
    if (colon == std::string_view::npos || colon + 1 >= header.size() ||
        !std::isdigit(static_cast<unsigned char>(header[colon + 1]))) {
        return std::nullopt;
    }
    ProbedStream stream;
    for (size_t i = colon + 1;
         i < header.size() && std::isdigit(static_cast<unsigned char>(header[i])); ++i) {
        stream.index = stream.index * 10 + (header[i] - '0');
    }

    std::string_view description = rest.substr(header_end + 2);
    size_t kind_end = description.find(": ");
    std::string_view body;
    if (kind_end == std::string_view::npos) {
        stream.kind = kind_named(trim(description));
    } else {
        stream.kind = kind_named(description.substr(0, kind_end));
        body = description.substr(kind_end + 2);
    }
    std::vector<std::string_view> fields = split_fields(body);
    std::string_view codec_field = trim(fields.front());
    stream.codec = Text(codec_field.substr(0, codec_field.find(' ')));
    stream.is_default = body.find("(default)") != std::string_view::npos;

    if (stream.kind == StreamKind::video) {
        if (fields.size() > 1 && !is_size(fields[1])) read_pixel_field(fields[1], stream);
        stream.attached_picture = body.find("(attached pic)") != std::string_view::npos ||
                                  looks_like_cover(stream, fields);
    }
    return stream;
}

// Calls `take` with each line of the first input's section of a probe report.
template <typename Take>
void for_each_input_line(std::string_view report, Take take) {
    bool in_input = false;
    for (std::size_t start = 0; start < report.size();) {
        std::size_t end = report.find('\n', start);
        if (end == std::string_view::npos) end = report.size();
        std::string_view line = report.substr(start, end - start);
        while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        start = end + 1;
        if (starts_with(line, "Input #")) {
            // Only the first input's section counts.
            if (in_input) return;
            in_input = true;
            continue;
        }
        if (!in_input) continue;
        if (!line.empty() && line.front() != ' ') return;  // "Output #0", "Stream mapping:", ...
        if (!take(line)) return;
    }
}

}  // namespace

std::string_view probed_duration_text(std::string_view report) {
    // The input's own line is indented by exactly two blanks; metadata lines by four and more.
    constexpr std::string_view kDurationLine = "  Duration: ";
    std::string_view duration;
    for_each_input_line(report, [&](std::string_view line) {
        if (!starts_with(line, kDurationLine)) return true;
        std::string_view value = line.substr(kDurationLine.size());
        duration = value.substr(0, value.find(','));
        return false;
    });
    return duration;
}

ProbeInfo parse_probe_report(std::string_view report) {
    ProbeInfo info;
    info.duration_text = Text(probed_duration_text(report));
    info.duration_seconds = clock_seconds(info.duration_text);
    bool in_first_input = false;
    for (size_t start = 0; start < report.size();) {
        size_t end = report.find('\n', start);
        if (end == std::string_view::npos) end = report.size();
        std::string_view line = trim(report.substr(start, end - start));
        start = end + 1;

        if (starts_with(line, "Input #")) {
            in_first_input = starts_with(line, "Input #0,");
        } else if (starts_with(line, "Output #") || starts_with(line, "Stream mapping:")) {
            in_first_input = false;
        } else if (!in_first_input) {
            continue;
        } else if (starts_with(line, "Stream #")) {
            if (std::optional<ProbedStream> stream = read_stream_line(line)) {
                info.streams.push_back(*stream);
            }
        }
    }
    return info;
}

}  // namespace quelvarn
