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
    std::size_t found = view.find(kTimeMarker, search_from);
    if (found == std::string_view::npos) return std::nullopt;
    std::size_t clock_start = found + kTimeMarker.size();
    // The first report is incomplete, and so is any after it: wait for the next piece.
    if (view.size() - clock_start < kClockBytes) return std::nullopt;

    RunProgress progress;
    progress.elapsed_clock = Text(strip_blanks(view.substr(clock_start, kClockBytes)));
    progress.elapsed_seconds = clock_to_seconds(progress.elapsed_clock);
    // Nothing probed: a percentage would be infinite, so only the clock is known.
    if (duration_ != 0) progress.percent = percent_done(progress.elapsed_seconds, duration_);
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

}  // namespace quelvarn
