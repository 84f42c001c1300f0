// One file's work, without the window: the duration probe, and the conversion from the typed
// sizes to the final output under 分辨率 (folder, names, the converter run and the rename).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "runner/runner.h"
#include "ui/session.h"

namespace quelvarn {

// Runs the converter on `path` alone and keeps in the session what it reports: the path, the
// duration and whether the file holds a moving picture. Returns the duration text as the report
// gives it ("00:01:05.30"; empty when none).
Text probe_file(Session& session, std::string_view path, const RunListener& listener);

struct ConversionOutcome {
    enum class Kind {
        converted,  // the output is complete under its final name, or under `output` beside it
        refused,    // nothing was started: the input cannot be converted as asked
        failed,     // the converter ran, or could not, and there is no new output
    };
    Kind kind = Kind::failed;
    // converted: the file written.
    Text output;
    // refused or failed: why, in words for the user. converted: empty, or where the result was
    // kept when the final name could not be replaced.
    Text message;
    // The duration text when the press probed the path (it was typed, not dropped).
    std::optional<Text> probed_duration;
};

// Converts the path the user gave (typed, pasted or dropped) to the typed frame size; every piece
// of the converter's report reaches `listener`. The session records the run's pending output
// meanwhile.
ConversionOutcome convert_file(Session& session, std::string_view typed_input,
                               std::string_view width, std::string_view height,
                               const RunListener& listener);

}  // namespace quelvarn
