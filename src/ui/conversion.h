// One file's work, without the window: the duration probe, and the conversion from the typed
// sizes to the final output under 分辨率 (folder, names, the converter run and the rename).
#pragma once

#include <cstdint>
#include <string_view>

#include "runner/runner.h"
#include "ui/session.h"

namespace quelvarn {

// Runs the converter on `path` alone and keeps the duration it reports in the session.
// Returns the duration text as the report gives it ("00:01:05.30"; empty when none).
Text probe_file(Session& session, std::string_view path, const RunListener& listener);

struct ConversionOutcome {
    enum class Kind {
        converted,  // the output is complete under its final name
        refused,    // nothing was started: the input cannot be converted as asked
        failed,     // the converter ran, or could not, and there is no new output
    };
    Kind kind = Kind::failed;
    // converted: the final file.
    Text output;
    // refused or failed: why, in words for the user.
    Text message;
};

// Converts `input` to the typed frame size; every piece of the converter's report reaches
// `listener`. The session records the run's pending output meanwhile.
ConversionOutcome convert_file(Session& session, std::string_view input, std::string_view width,
                               std::string_view height, const RunListener& listener);

}  // namespace quelvarn
