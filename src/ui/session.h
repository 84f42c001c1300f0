// The state of the program's work: one instance, owned by the program (src/app), handed to the
// window's handlers. Nothing else in the program keeps mutable state.
#pragma once

#include <cstdint>

#include "runner/runner.h"
#include "text/text.h"

namespace quelvarn {

struct Session {
    // The converter every run starts.
    Text converter_path;
    // Seconds of the clip probed last; 0 when unknown.
    std::int32_t probed_duration = 0;
    // Set while a probe or a conversion runs: one run at a time.
    bool run_in_progress = false;
    // The temporary output of the conversion in progress; removed when the run does not
    // succeed, also when the program is closed in the middle of it.
    Text pending_output;
    // The child of the run in progress, so that closing can stop it.
    RunControl run;
};

}  // namespace quelvarn
