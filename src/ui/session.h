// The state of the program's work: one instance, owned by the program (src/app), handed to the
// window's handlers. Nothing else in the program keeps mutable state.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/tool_store.h"
#include "runner/runner.h"
#include "text/text.h"

namespace quelvarn {

struct Session {
    // The converter every run starts, checked at start-up and held open; null when there is
    // none, and then nothing is run.
    std::unique_ptr<VerifiedTool> converter;
    // Where the converter is, or would have been: what a run without one names.
    Text converter_path;
    // The path probed last, as it was probed; a typed path that differs is probed on the press.
    Text probed_path;
    // Seconds of the clip probed last; 0 when unknown.
    std::int32_t probed_duration = 0;
    // False when the probe of probed_path ran and listed no moving picture.
    bool probed_video = true;
    // Set while a probe or a conversion runs: one run at a time.
    bool run_in_progress = false;
    // The temporary output of the conversion in progress; removed when the run does not
    // succeed, also when the program is closed in the middle of it.
    Text pending_output;
    // Temporary names made so far, so that each conversion of this process gets its own.
    std::uint32_t temporaries_made = 0;
    // The child of the run in progress, so that closing can stop it.
    RunControl run;
};

}  // namespace quelvarn
