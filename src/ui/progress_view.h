// What the window shows of a run: the progress label's text for each report, and which statuses
// put a box in front of the user. Decided here and nowhere else.
#pragma once

#include <optional>
#include <string_view>

#include "runner/analysis.h"
#include "text/text.h"

namespace quelvarn {

// "53.48", "100", "12.5": at most two decimals, no trailing zeros.
Text format_percent(double percent);

// "进度：53.48 %", or "进度：00:01:05" when the duration is unknown.
Text progress_label_text(const RunProgress& progress);

// The box a status raises at once, while the run goes on; nullopt for none.
std::optional<std::string_view> status_box_text(RunStatus status);

}  // namespace quelvarn
