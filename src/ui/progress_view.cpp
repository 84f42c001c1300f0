#include "ui/progress_view.h"

#include <cmath>
#include <string>

#include "ui/messages.h"

namespace quelvarn {

Text format_percent(double percent) {
    if (!std::isfinite(percent)) return "0";
    long long hundredths = std::llround(percent * 100.0);
    bool negative = hundredths < 0;
    unsigned long long magnitude =
        negative ? 0ULL - static_cast<unsigned long long>(hundredths) : hundredths;
    Text text = negative ? "-" : "";
    text += std::to_string(magnitude / 100);
    unsigned long long fraction = magnitude % 100;
    if (fraction != 0) {
        text += '.';
        text += static_cast<char>('0' + fraction / 10);
        if (fraction % 10 != 0) text += static_cast<char>('0' + fraction % 10);
    }
    return text;
}

Text progress_label_text(const RunProgress& progress) {
    if (!progress.percent) return join_texts({messages::kProgressPrefix, progress.elapsed_clock});
    return join_texts({messages::kProgressPrefix, format_percent(*progress.percent), " %"});
}

std::optional<std::string_view> status_box_text(RunStatus status) {
    switch (status) {
        case RunStatus::file_missing:
            return messages::kFileMissing;
        case RunStatus::input_output_error:
            return messages::kInputOutputError;
        case RunStatus::running:
        case RunStatus::done:
            break;
    }
    return std::nullopt;
}

}  // namespace quelvarn
