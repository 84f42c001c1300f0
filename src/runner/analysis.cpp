#include "runner/analysis.h"

#include <algorithm>
#include <array>
#include <utility>

#include "app/globals.h"
#include "platform/platform.h"
#include "text/paths.h"
#include "ui/controls.h"

namespace quelvarn {

namespace {

constexpr std::uint8_t kLineFeed = 0x0A;
constexpr std::uint8_t kReturn = 0x0D;
constexpr std::uint8_t kBlank = 0x20;

constexpr std::string_view kTimeMarker = "time=";
constexpr std::size_t kClockBytes = 8;

struct StatusRow {
    std::string_view marker;
    std::string_view status;
};

// The first row whose marker occurs decides.
constexpr std::array<StatusRow, 3> kStatusRows{{
    {"global headers:0kB", kStatusDone},
    {"Input/output error", kStatusInputOutputError},
    {"No such file or directory", kStatusFileMissing},
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

// 0-based index from which a match of `marker` ends inside the new piece.
std::size_t fresh_from(std::size_t carried, std::size_t marker_size) {
    return carried >= marker_size - 1 ? carried - (marker_size - 1) : 0;
}

int locate_from(std::string_view view, std::string_view marker, std::size_t from) {
    return locate_text(view, marker, static_cast<int>(from) + 1);
}

bool is_line_end(char c) {
    return c == '\r' || c == '\n';
}

bool is_continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
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

Text status_of(std::string_view text) {
    for (const StatusRow& row : kStatusRows) {
        if (locate_text(text, row.marker) > 0) return Text(row.status);
    }
    return Text(kStatusRunning);
}

Text percent_text(std::int32_t elapsed, std::int32_t duration) {
    double ratio = static_cast<double>(elapsed) / static_cast<double>(duration);
    return format_number(round_to(ratio, 4) * 100.0);
}

Text ChunkAnalyser::analyse(std::string_view piece) {
    Text view = join_texts({carry_, piece});
    // Reports starting in the last bytes of the carry were incomplete when last seen, so still
    // unused; earlier ones were complete then and have been decided.
    std::size_t reach = kTimeMarker.size() + kClockBytes - 1;
    progress_step(view, carry_.size() > reach ? carry_.size() - reach : 0);
    Text status = status_step(view);
    carry_ = text_suffix(view, static_cast<int>(std::min(kCarryBytes, view.size())));
    return status;
}

void ChunkAnalyser::progress_step(std::string_view view, std::size_t search_from) {
    int found = locate_from(view, kTimeMarker, search_from);
    if (found < 0) return;
    std::size_t clock_start = static_cast<std::size_t>(found - 1) + kTimeMarker.size();
    // The first report is incomplete, and so is any after it: wait for the next piece.
    if (view.size() - clock_start < kClockBytes) return;

    progress_time_text = strip_blanks(view.substr(clock_start, kClockBytes));
    WindowServices* window = platform().window;
    if (!window) return;
    std::int32_t elapsed = clock_to_seconds(progress_time_text);
    std::int32_t duration = clock_to_seconds(window->read_control_text(controls::kDurationStore));
    if (duration == 0) {
        // Nothing probed: a percentage would be infinite, so show how far the converter got.
        window->write_control_text(controls::kProgressLabel,
                                   join_texts({kProgressPrefix, progress_time_text}));
        return;
    }
    progress_percent_text = percent_text(elapsed, duration);
    window->write_control_text(controls::kProgressLabel,
                               join_texts({kProgressPrefix, progress_percent_text, " %"}));
}

Text ChunkAnalyser::status_step(std::string_view view) {
    for (const StatusRow& row : kStatusRows) {
        if (locate_from(view, row.marker, fresh_from(carry_.size(), row.marker.size())) > 0) {
            return Text(row.status);
        }
    }
    return Text(kStatusRunning);
}

void LastLineTracker::feed(std::string_view piece) {
    // A line that never ends keeps only its latest part.
    constexpr std::size_t kLongest = 4096;
    for (char c : piece) {
        if (!is_line_end(c)) {
            current_.push_back(c);
            continue;
        }
        Text line = strip_blanks(current_);
        if (!line.empty()) last_ = std::move(line);
        current_.clear();
    }
    if (current_.size() > 2 * kLongest) {
        std::size_t cut = current_.size() - kLongest;
        while (cut < current_.size() && is_continuation(current_[cut])) ++cut;
        current_.erase(0, cut);
    }
}

Text LastLineTracker::last_line() const {
    Text open_line = strip_blanks(current_);
    return open_line.empty() ? last_ : open_line;
}

}  // namespace quelvarn
