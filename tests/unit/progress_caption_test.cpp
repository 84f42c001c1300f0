#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "ui/progress_caption.h"

namespace quelvarn {
namespace {

TEST(ClockText, MinutesAndSecondsThenHours) {
    const std::pair<int, Text> cases[] = {
        {0, "0:00"},     {7, "0:07"},       {60, "1:00"},      {83, "1:23"},        {725, "12:05"},
        {3599, "59:59"}, {3600, "1:00:00"}, {3723, "1:02:03"}, {36000, "10:00:00"}, {-5, "0:00"},
    };
    for (const auto& [seconds, text] : cases) EXPECT_EQ(clock_text(seconds), text) << seconds;
}

TEST(ProgressCaption, LeadsWithThePercentageRoundedDownAndTheTimeLeftWhenKnown) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double percent;
        std::optional<int> seconds_left;
        Text caption;
    };
    const Case cases[] = {
        {37.9, 83, "37 % · 剩余 1:23 - Quelvarn"},
        {37, std::nullopt, "37 % - Quelvarn"},
        {0, std::nullopt, "0 % - Quelvarn"},
        // Never 100 before the converter is done.
        {99.99, 1, "99 % · 剩余 0:01 - Quelvarn"},
        {100, 0, "100 % · 剩余 0:00 - Quelvarn"},
        {5, 4000, "5 % · 剩余 1:06:40 - Quelvarn"},
        {-3, std::nullopt, "0 % - Quelvarn"},
        {150, std::nullopt, "100 % - Quelvarn"},
        {nan, std::nullopt, "0 % - Quelvarn"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(progress_caption("Quelvarn", c.percent, c.seconds_left), c.caption) << c.percent;
    }
}

// Reports of a converter that does `speed` media seconds per wall second, every `step` seconds
// from `from` to `to`, continuing from the media time `media`.
void steady(TimeLeftEstimator& estimator, double from, double to, double step, double speed,
            double& media) {
    for (double wall = from; wall <= to + 1e-9; wall += step) {
        estimator.report(wall, media);
        media += speed * step;
    }
}

TEST(TimeLeft, NothingBeforeTheReportsSpanAFewSeconds) {
    TimeLeftEstimator estimator;
    EXPECT_EQ(estimator.seconds_left(30), std::nullopt);
    // The first report comes late (the converter probes its input first): the span counts
    // from it, not from the start.
    double media = 0;
    steady(estimator, 10.0, 12.5, 0.5, 2.0, media);
    EXPECT_EQ(estimator.seconds_left(30), std::nullopt);
    estimator.report(13.0, media);
    // 6 of 30 media seconds done at 2 per second: 12 seconds left.
    EXPECT_EQ(estimator.seconds_left(30), 12);
}

TEST(TimeLeft, FollowsTheConvertersSpeedSmoothly) {
    struct Case {
        const char* what;
        std::vector<std::pair<double, double>> phases;  // (wall seconds, speed)
        double duration;
        double expected;   // seconds left at the true current speed
        double tolerance;  // fraction of expected
    };
    const Case cases[] = {
        {"a steady speed", {{10, 2.0}}, 60, (60 - 20) / 2.0, 0.01},
        {"slower than real time", {{10, 0.5}}, 60, (60 - 5) / 0.5, 0.01},
        // After the change the average has had 20 s, five times its smoothing time.
        {"a speed that halves", {{10, 2.0}, {20, 1.0}}, 120, 120 - 40, 0.05},
        {"a speed that doubles", {{10, 1.0}, {20, 2.0}}, 120, (120 - 50) / 2.0, 0.05},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TimeLeftEstimator estimator;
        double wall = 0, media = 0;
        for (auto [seconds, speed] : c.phases) {
            steady(estimator, wall, wall + seconds, 0.5, speed, media);
            wall += seconds + 0.5;
        }
        std::optional<int> left = estimator.seconds_left(c.duration);
        ASSERT_TRUE(left);
        EXPECT_NEAR(*left, c.expected, c.expected * c.tolerance + 1);
    }
}

TEST(TimeLeft, WholeSecondClockStepsAndAShortStallMoveTheEstimateLittle) {
    // The converter's clock has whole seconds: at 2x, reports every 0.25 s advance the media time
    // by 0, 1, 0, 1, ... which alone would swing the speed between 0 and 4.
    TimeLeftEstimator estimator;
    int media = 0;
    for (int i = 0; i <= 40; ++i) {
        estimator.report(i * 0.25, media);
        if (i % 2 == 1) media += 1;
        if (i >= 16) {
            std::optional<int> left = estimator.seconds_left(60);
            ASSERT_TRUE(left) << i;
            double truth = (60 - i * 0.5) / 2.0;
            EXPECT_NEAR(*left, truth, truth * 0.2) << i;
        }
    }
    // The converter stood still for a second: an estimate from that report alone would be
    // endless; the smoothed one moves by less than a third.
    std::optional<int> before = estimator.seconds_left(60);
    estimator.report(11.0, media);
    std::optional<int> after_stall = estimator.seconds_left(60);
    ASSERT_TRUE(before && after_stall);
    EXPECT_LT(std::abs(*after_stall - *before), *before / 3.0);
}

TEST(TimeLeft, StandingStillBackwardsAndDone) {
    TimeLeftEstimator still;
    for (int i = 0; i <= 40; ++i) still.report(i * 0.5, 3.0);
    EXPECT_EQ(still.seconds_left(30), std::nullopt) << "no time while the converter stands still";

    TimeLeftEstimator repeated;
    double media = 0;
    steady(repeated, 0, 5, 0.5, 2.0, media);
    std::optional<int> left = repeated.seconds_left(60);
    // The same wall time again, or an earlier one, is no report at all.
    repeated.report(5.0, 59);
    repeated.report(1.0, 59);
    EXPECT_EQ(repeated.seconds_left(60), left);

    TimeLeftEstimator done;
    media = 0;
    steady(done, 0, 15, 0.5, 2.0, media);
    EXPECT_EQ(done.seconds_left(30), 0);
}

}  // namespace
}  // namespace quelvarn
