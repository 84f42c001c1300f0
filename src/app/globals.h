// The program's global texts: empty at start, released once by release_globals.
#pragma once

#include "text/text.h"

namespace quelvarn {

extern Text ffmpeg_path;
extern Text probe_output;
extern Text progress_time_text;
extern Text progress_percent_text;


void release_globals();

}  // namespace quelvarn
