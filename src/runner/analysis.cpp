#include "runner/analysis.h"

#include <algorithm>
#include <array>

#include "text/paths.h"

namespace quelvarn {

namespace {

constexpr std::uint8_t kLineFeed = 0x0A;
constexpr std::uint8_t kReturn = 0x0D;
constexpr std::uint8_t kBlank = 0x20;

constexpr std::string_view kTimeMarker = "time=";
constexpr std::size_t kClockBytes = 8;

struct StatusRow {
    std::string_view marker;
    RunStatus status;
};

// The first row whose marker occurs decides.
constexpr std::array<StatusRow, 3> kStatusRows{{
    {"global headers:0kB", RunStatus::done},
    {"Input/output error", RunStatus::input_output_error},
    {"No such file or directory", RunStatus::file_missing},
}};

constexpr std::size_t longest_marker() {
    std::size_t longest = 0;
    for (const StatusRow& row : kStatusRows) longest = std::max(longest, row.marker.size());
    return longest;
}

// Bytes kept from one piece for the next: enough for every marker but its last byte, and for a
// "time=" report but its last clock byte.
constexpr std::size_t kCarryBytes =
    std::max(longest_marker() - 1, kTimeMarker.size() + kClockBytes - 1);

// Index from which a match of `marker` ends inside the new piece.
std::size_t fresh_from(std::size_t carried, std::size_t marker_size) {
    return carried >= marker_size - 1 ? carried - (marker_size - 1) : 0;
}

}  // namespace

void ReportNormaliser::feed(const std::uint8_t* bytes, std::size_t count, Text& out) {
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t b = bytes[i];
        if (b == kLineFeed) {
            // LF -> CR LF; the CR meets a preceding blank and goes, the LF always stays.
            if (!after_blank_) out.push_back(static_cast<char>(kReturn));
            out.push_back(static_cast<char>(kLineFeed));
            after_blank_ = false;
        } else if (b == kReturn && after_blank_) {
            // Consumed with the blank before it; the next byte starts afresh (no rescan).
            after_blank_ = false;
        } else {
            out.push_back(static_cast<char>(b));
            after_blank_ = b == kBlank;
        }
    }
}

Text normalise_report(const Bytes& bytes) {
    Text out;
    ReportNormaliser normaliser;
    normaliser.feed(bytes.data(), bytes.size(), out);
    return out;
}

RunStatus status_of(std::string_view text) {
    for (const StatusRow& row : kStatusRows) {
        if (text.find(row.marker) != std::string_view::npos) return row.status;
    }
    return RunStatus::running;
}

double percent_done(std::int32_t elapsed, std::int32_t duration) {
    // In hundredths of a percent, rounded half away from zero, in integers.
    std::int64_t scaled = std::int64_t{elapsed} * 10000;
    std::int64_t half = duration / 2;
    std::int64_t hundredths = (scaled >= 0) == (duration > 0)
                                  ? (scaled + (duration > 0 ? half : -half)) / duration
                                  : (scaled - (duration > 0 ? half : -half)) / duration;
    return static_cast<double>(hundredths) / 100.0;
}

ChunkAnalyser::Result ChunkAnalyser::analyse(std::string_view piece) {
    Text view = join_texts({carry_, piece});
    // Reports starting in the last bytes of the carry were incomplete when last seen, so still
    // unused; earlier ones were complete then and have been decided.
    std::size_t reach = kTimeMarker.size() + kClockBytes - 1;
    Result result;
    result.progress = progress_step(view, carry_.size() > reach ? carry_.size() - reach : 0);
    result.status = status_step(view);
    carry_ = view.substr(view.size() - std::min(kCarryBytes, view.size()));
    return result;
}

std::optional<RunProgress> ChunkAnalyser::progress_step(std::string_view view,
                                                        std::size_t search_from) const {
    // The newest complete report: one whose clock has not fully arrived waits for the next piece.
    std::optional<std::size_t> newest;
    for (std::size_t found = view.find(kTimeMarker, search_from); found != std::string_view::npos;
         found = view.find(kTimeMarker, found + 1)) {
        if (view.size() - (found + kTimeMarker.size()) >= kClockBytes) newest = found;
    }
    if (!newest) return std::nullopt;
    std::size_t clock_start = *newest + kTimeMarker.size();

    RunProgress progress;
    progress.elapsed_clock = Text(strip_blanks(view.substr(clock_start, kClockBytes)));
    progress.elapsed_seconds = clock_to_seconds(progress.elapsed_clock);
    // Nothing probed: a percentage would be infinite, so only the clock is known. A clock past
    // the probed duration (or before 0) never shows beyond the ends of the scale.
    if (duration_ != 0) {
        progress.percent =
            std::clamp(percent_done(progress.elapsed_seconds, duration_), 0.0, 100.0);
    }
    return progress;
}

RunStatus ChunkAnalyser::status_step(std::string_view view) const {
    for (const StatusRow& row : kStatusRows) {
        if (view.find(row.marker, fresh_from(carry_.size(), row.marker.size())) !=
            std::string_view::npos) {
            return row.status;
        }
    }
    return RunStatus::running;
}

namespace {

constexpr std::string_view kStartMarker = "Press [q] to stop";
constexpr std::string_view kSummaryMarker = "global headers:";
// A kept line never grows beyond this; the rest of it is dropped.
constexpr std::size_t kLongestKeptLine = 2048;

std::string_view trim_line(std::string_view line) {
    std::size_t begin = line.find_first_not_of(" \t\r");
    if (begin == std::string_view::npos) return {};
    return line.substr(begin, line.find_last_not_of(" \t\r") - begin + 1);
}

// Without the "[scale @ 0000000000f99700] " tags the converter puts before a component's lines.
std::string_view without_component_tags(std::string_view line) {
    while (line.size() > 2 && line.front() == '[') {
        std::size_t close = line.find("] ");
        if (close == std::string_view::npos ||
            line.substr(0, close).find(" @ ") == std::string_view::npos) {
            break;
        }
        line = line.substr(close + 2);
    }
    return line;
}

}  // namespace

void ConversionReport::feed(std::string_view piece) {
    for (char c : piece) {
        if (c == '\n') {
            take_line(partial_);
            partial_.clear();
            partial_overflowed_ = false;
            continue;
        }
        if (partial_overflowed_) continue;
        partial_.push_back(c);
        // A progress report ends in blanks and a CR, which normalising removes, so reports run
        // on in one line for as long as the conversion lasts: each goes once its last field,
        // speed=, has its value and the blank after it.
        if (c == ' ') drop_progress_reports();
        if (partial_.size() > kLongestKeptLine) partial_overflowed_ = true;
    }
}

void ConversionReport::drop_progress_reports() {
    std::size_t begin = partial_.find_first_not_of(" \t\r");
    if (begin == Text::npos) return;
    std::string_view line = std::string_view(partial_).substr(begin);
    if (!starts_with(line, "frame=") && !starts_with(line, "size=")) return;
    std::size_t speed = partial_.find("speed=", begin);
    if (speed == Text::npos) return;
    std::size_t value = partial_.find_first_not_of(' ', speed + 6);
    if (value == Text::npos) return;
    std::size_t gap = partial_.find(' ', value);
    if (gap == Text::npos) return;
    partial_.erase(0, gap + 1);
}

void ConversionReport::take_line(std::string_view raw) {
    std::string_view line = trim_line(raw);
    if (starts_with(line, "frame=") || starts_with(line, "size=")) return;  // an unfinished report
    if (line == "Conversion failed!") {
        verdict_seen_ = verdict_seen_ || started_;
        return;
    }
    bool noise = line.empty() || starts_with(line, "Last message repeated");
    if (noise) return;
    if (!started_) {
        if (starts_with(line, kStartMarker)) {
            started_ = true;
            return;
        }
        last_message_ = Text(without_component_tags(line));
        return;
    }
    if (line.find(kSummaryMarker) != std::string_view::npos) {
        summary_seen_ = true;
    } else if (first_after_start_.empty()) {
        first_after_start_ = Text(without_component_tags(line));
    }
}

ConversionReport ConversionReport::with_last_line() const {
    // The report may end without a line end.
    ConversionReport whole = *this;
    whole.take_line(partial_);
    whole.partial_.clear();
    return whole;
}

bool ConversionReport::started() const {
    return with_last_line().started_;
}

bool ConversionReport::completed() const {
    return with_last_line().summary_seen_;
}

bool ConversionReport::failure_reported() const {
    return with_last_line().verdict_seen_;
}

Text ConversionReport::failure_cause() const {
    ConversionReport whole = with_last_line();
    return whole.started_ ? whole.first_after_start_ : whole.last_message_;
}

}  // namespace quelvarn
