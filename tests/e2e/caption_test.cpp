// The caption of the real program during a real conversion: it leads with the percentage and,
// once the converter's speed is known, the time left, so that the taskbar button shows them
// too; when the run is over it is "Quelvarn" again.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/e2e.h"
#include "ui/controls.h"

namespace quelvarn::e2e {
namespace {

const std::wstring kClipFolder = L"C:\\clips";
// Thirty seconds, converted to 480 lines: several seconds of work even on a quick machine, long
// enough for the time left to show.
const std::wstring kClip = L"C:\\clips\\thirty seconds.mp4";

class Caption : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(make_folders(kClipFolder));
        ASSERT_TRUE(make_clip(kClip, 960, 540, 30));
    }

    void SetUp() override {
        ASSERT_TRUE(program.window()) << "the main window did not appear";
        empty_folder(kOutputFolder);
    }

    RunningProgram program;
};

struct CaptionParts {
    bool progress = false;
    int percent = -1;
    // -1: no time left shown.
    int seconds_left = -1;
};

CaptionParts parse_caption(const std::wstring& caption) {
    static const std::wregex form(LR"(^(\d+) % (· 剩余 (\d+):(\d\d) )?- Quelvarn$)");
    std::wsmatch match;
    CaptionParts parts;
    if (!std::regex_match(caption, match, form)) return parts;
    parts.progress = true;
    parts.percent = std::stoi(match[1].str());
    if (match[2].matched) parts.seconds_left = std::stoi(match[3]) * 60 + std::stoi(match[4]);
    return parts;
}

TEST_F(Caption, LeadsWithThePercentageAndTimeLeftWhileConvertingThenIsQuelvarnAgain) {
    program.set_text(controls::kHeightBox, L"480");
    int drops = program.trace_count("files ");
    ASSERT_EQ(program.drop({kClip}), DROPEFFECT_COPY);
    ASSERT_TRUE(program.wait_handled("files ", drops)) << "the probe did not finish";
    EXPECT_EQ(window_text(program.window()), L"Quelvarn") << "a probe shows no progress";

    TextSampler sampler(program.window());
    int presses = program.trace_count("clicked ");
    program.press();
    ASSERT_TRUE(program.wait_handled("clicked ", presses, 300000));
    // The caption is set back before the handler ends; a last look after it.
    Sleep(200);
    std::vector<std::wstring> captions = sampler.stop();

    ASSERT_GE(captions.size(), 3u);
    EXPECT_EQ(captions.front(), L"Quelvarn");
    EXPECT_EQ(captions.back(), L"Quelvarn");
    int last_percent = -1, with_time_left = 0;
    bool first_progress = true;
    for (size_t i = 1; i + 1 < captions.size(); ++i) {
        SCOPED_TRACE(narrow_utf8(captions[i]));
        CaptionParts parts = parse_caption(captions[i]);
        ASSERT_TRUE(parts.progress) << "not a progress caption";
        EXPECT_GE(parts.percent, last_percent);
        EXPECT_LE(parts.percent, 100);
        last_percent = parts.percent;
        // The time left needs a few seconds of reports first.
        if (first_progress) {
            EXPECT_EQ(parts.seconds_left, -1);
            first_progress = false;
        }
        if (parts.seconds_left >= 0) {
            ++with_time_left;
            // Half a minute of video converts in well under ten minutes.
            EXPECT_LT(parts.seconds_left, 600);
        }
    }
    EXPECT_GE(with_time_left, 1) << "no time left was shown";
    EXPECT_EQ(frame_size(std::wstring(kOutputFolder) + L"\\thirty seconds.mp4"), "854x480");
    EXPECT_THAT(program.boxes(), ::testing::IsEmpty());
}

}  // namespace
}  // namespace quelvarn::e2e
