// The state of the program's work: one instance, owned by the program (src/app), handed to the
// window's handlers. Nothing else in the program keeps mutable state.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/tool_store.h"
#include "runner/probe_info.h"
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
    // What that probe found: the conversion's command line is built from it. None when the
    // probe could not run (no converter): then nothing is known, and the run says what is missing.
    std::optional<ProbeInfo> probe;
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

// Whole seconds of the clip probed last; 0 when unknown.
inline std::int32_t probed_seconds(const Session& session) {
    if (!session.probe || !session.probe->duration_seconds) return 0;
    return static_cast<std::int32_t>(*session.probe->duration_seconds);
}

}  // namespace quelvarn
