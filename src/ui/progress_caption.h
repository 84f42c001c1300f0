// What the caption (and with it the taskbar button) says about a conversion in progress: the
// percentage done and, once the converter's speed is known, the time left.
#pragma once

#include <optional>
#include <string_view>

#include "text/text.h"

namespace quelvarn {

// Estimates the time a conversion has left from the converter's speed: media seconds done per
// wall second. No estimate is given before the reports span a few wall seconds; over that span
// the speed is the plain average, and from then on a moving average weighted by time, so one
// slow or early report moves it little.
class TimeLeftEstimator {
  public:
    // How long the reports must span before an estimate is given.
    static constexpr double kWarmUpSeconds = 3.0;
    // The averaging time: a change of speed shows fully after a few times this.
    static constexpr double kSmoothingSeconds = 4.0;

    // The converter had done `media_seconds` of its input when `wall_seconds` had passed (both
    // from any fixed start). Reports that do not go forward in wall time are ignored.
    void report(double wall_seconds, double media_seconds);
    // Whole seconds left (rounded up) for an input of `duration_seconds`; nullopt while too
    // little is known or while the converter stands still.
    std::optional<int> seconds_left(double duration_seconds) const;

  private:
    std::optional<double> first_wall_;
    double first_media_ = 0;
    double last_wall_ = 0;
    double last_media_ = 0;
    std::optional<double> speed_;
};

// "0:07", "1:23", "12:05", "1:02:03".
Text clock_text(int seconds);

// "37 % · 剩余 1:23 - Quelvarn", or "37 % - Quelvarn" without a time left. The percentage is
// rounded down, so 100 shows only when all is done.
Text progress_caption(std::string_view caption, double percent, std::optional<int> seconds_left);

}  // namespace quelvarn
