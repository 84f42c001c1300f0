// What the converter's probe report ("ffmpeg -i FILE" with no output) says about a file: its
// streams in order and its duration, read from the lines the converter prints for a person.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "text/text.h"

namespace quelvarn {

enum class StreamKind { video, audio, subtitle, data, attachment, other };

struct ProbedStream {
    // The N of "Stream #0:N", which "-map 0:N" names.
    int index = 0;
    StreamKind kind = StreamKind::other;
    // The decoder's name as the report gives it: "h264", "aac", "subrip", "hdmv_pgs_subtitle".
    Text codec;
    // Video only; empty when the report gives none.
    Text pixel_format;
    // "tv", "pc", or empty when unknown.
    Text color_range;
    // The converter's own names ("bt709", "bt2020nc", "smpte2084"); empty when unknown.
    Text color_matrix;
    Text color_primaries;
    Text color_transfer;
    bool is_default = false;
    // A still picture stored beside the media (an album cover), not a moving picture.
    bool attached_picture = false;
};

struct ProbeInfo {
    std::vector<ProbedStream> streams;
    // The input's duration as the report gives it ("00:01:05.30", "N/A"; empty when none), and
    // in seconds when it is a clock.
    Text duration_text;
    std::optional<double> duration_seconds;
};

// The duration a probe report gives for the first input, as its own "  Duration: " line gives it
// ("00:01:05.30", "N/A"; empty when there is none), never a metadata value that holds the same
// words.
std::string_view probed_duration_text(std::string_view report);

// Reads the first input's section of a probe report; lines may end in LF, CR LF or CR CR LF.
// A report without stream lines (a file the converter could not open) gives no streams.
ProbeInfo parse_probe_report(std::string_view report);

}  // namespace quelvarn
