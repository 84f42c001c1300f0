#include "ui/progress_caption.h"

#include <cmath>
#include <string>

namespace quelvarn {

void TimeLeftEstimator::report(double wall_seconds, double media_seconds) {
    if (!first_wall_) {
        first_wall_ = last_wall_ = wall_seconds;
        first_media_ = last_media_ = media_seconds;
        return;
    }
    double interval = wall_seconds - last_wall_;
    if (!(interval > 0)) return;
    if (last_wall_ - *first_wall_ < kWarmUpSeconds) {
        // The first reports are few and coarse (the clock has whole seconds): their plain
        // average is the sound start for the moving one.
        speed_ = (media_seconds - first_media_) / (wall_seconds - *first_wall_);
    } else {
        // Weighted by the time each report covers, so irregular reports count by what they span.
        double weight = 1.0 - std::exp(-interval / kSmoothingSeconds);
        speed_ = *speed_ + weight * ((media_seconds - last_media_) / interval - *speed_);
    }
    if (*speed_ < 0) speed_ = 0.0;
    last_wall_ = wall_seconds;
    last_media_ = media_seconds;
}

std::optional<int> TimeLeftEstimator::seconds_left(double duration_seconds) const {
    if (!first_wall_ || !speed_ || last_wall_ - *first_wall_ < kWarmUpSeconds) return {};
    if (!(*speed_ > 1e-6)) return {};
    double left = (duration_seconds - last_media_) / *speed_;
    if (!(left > 0)) return 0;
    // Beyond any sensible wait; a nearly stalled converter is shown without a time.
    if (left > 100.0 * 3600) return {};
    return static_cast<int>(std::ceil(left - 1e-9));
}

Text clock_text(int seconds) {
    if (seconds < 0) seconds = 0;
    int hours = seconds / 3600, minutes = seconds / 60 % 60, rest = seconds % 60;
    auto two_digits = [](int value) { return Text(value < 10 ? "0" : "") + std::to_string(value); };
    if (hours > 0) {
        return std::to_string(hours) + ":" + two_digits(minutes) + ":" + two_digits(rest);
    }
    return std::to_string(minutes) + ":" + two_digits(rest);
}

Text progress_caption(std::string_view caption, double percent, std::optional<int> seconds_left) {
    if (!(percent > 0)) percent = 0;
    if (percent > 100) percent = 100;
    Text text = std::to_string(static_cast<int>(std::floor(percent))) + " %";
    if (seconds_left) text += " · 剩余 " + clock_text(*seconds_left);
    return join_texts({text, " - ", caption});
}

}  // namespace quelvarn
