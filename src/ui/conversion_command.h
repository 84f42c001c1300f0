// The converter's command line for a conversion, built from what the probe found: an MP4 that
// every player and phone plays (H.264 High, 8-bit 4:2:0, HDR tone-mapped to BT.709, the index
// first), keeping every audio track and the text subtitles.
#pragma once

#include <vector>

#include "runner/probe_info.h"
#include "text/text.h"

namespace quelvarn {

struct ConversionRequest {
    // The input as the converter is to open it (its short form when the path has blanks).
    Text input_path;
    Text output_path;
    // Validated frame sizes; -1 keeps the aspect ratio.
    int width = -1;
    int height = -1;
};

// The stream converted as the picture: of the moving pictures (never a cover image) the one
// marked default, else the first; nullptr when there is none.
const ProbedStream* main_video_stream(const ProbeInfo& probe);

// The converter's arguments in order, unquoted. Empty when the file has no moving picture.
std::vector<Text> conversion_arguments(const ProbeInfo& probe, const ConversionRequest& request);

// The arguments as one command line: each quoted, each after one blank.
Text command_line_of(const std::vector<Text>& arguments);

}  // namespace quelvarn
