#include "app/globals.h"

#include "platform/shell_services.h"

namespace quelvarn {

Text ffmpeg_path;
Text probe_output;
Text progress_time_text;
Text progress_percent_text;

void release_globals() {
    trace_event("release_globals");
    for (Text* global : {&ffmpeg_path, &probe_output, &progress_time_text, &progress_percent_text}) {
        Text().swap(*global);
    }
}

}  // namespace quelvarn
