// The program's purpose end to end: a clip dropped on the path box is probed, and the button
// converts it with the embedded converter into 分辨率\ at the typed size while the progress label
// rises. Paths with blanks, Chinese characters and an emoji, other extensions and a typed path.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/e2e.h"
#include "ui/controls.h"

namespace quelvarn::e2e {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;

const std::wstring kClipFolder = L"C:\\clips";
// Long enough that the converter reports its progress several times.
const std::wstring kLongClip = L"C:\\clips\\clip.mp4";
const std::wstring kShortClip = L"C:\\clips\\short.mp4";

class Conversion : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(make_folders(kClipFolder));
        // Large enough that the conversion reports its progress several times even on a quiet
        // machine.
        ASSERT_TRUE(make_clip(kLongClip, 1280, 720, 12));
        ASSERT_TRUE(make_clip(kShortClip, 320, 180, 3));
    }

    void SetUp() override {
        ASSERT_TRUE(program.window()) << "the main window did not appear";
        empty_folder(kOutputFolder);
    }

    // Drops the files on the path box and waits until the probe has finished.
    void drop_and_wait(const std::vector<std::wstring>& paths) {
        int drops = program.trace_count("files ");
        ASSERT_EQ(program.drop(paths), DROPEFFECT_COPY);
        ASSERT_TRUE(program.wait_handled("files ", drops)) << "the probe did not finish";
    }

    void press_and_wait() {
        int presses = program.trace_count("clicked ");
        program.press();
        ASSERT_TRUE(program.wait_handled("clicked ", presses)) << "the conversion did not finish";
    }

    RunningProgram program;
};

TEST_F(Conversion, DroppedClipIsProbedThenConvertedToTheEvenKeepAspectSizeWhileTheLabelRises) {
    program.set_text(controls::kHeightBox, L"240");
    ASSERT_EQ(program.text(controls::kWidthBox), L"-1");

    drop_and_wait({kLongClip});
    EXPECT_EQ(program.text(controls::kPathBox), kLongClip);
    std::string duration = reported_duration(kLongClip);
    EXPECT_THAT(duration, StartsWith("00:00:12."));
    EXPECT_EQ(narrow_utf8(program.text(controls::kDurationStore)), duration);
    EXPECT_THAT(program.boxes(), IsEmpty());

    TextSampler sampler(program, controls::kProgressLabel);
    press_and_wait();
    std::vector<std::wstring> labels = sampler.stop();

    ASSERT_FALSE(labels.empty());
    EXPECT_EQ(labels.back(), L"进度：100 %");
    // The probe leaves the label as it was; then the conversion's percentages climb to 100 %.
    std::vector<double> climbing;
    for (size_t i = 0; i + 1 < labels.size(); ++i) {
        if (labels[i] == L"进度：") continue;
        double percent = progress_percent(labels[i]);
        EXPECT_GE(percent, 0) << narrow_utf8(labels[i]);
        EXPECT_LT(percent, 100) << narrow_utf8(labels[i]);
        if (!climbing.empty()) {
            EXPECT_GT(percent, climbing.back()) << narrow_utf8(labels[i]);
        }
        if (percent > 0) climbing.push_back(percent);
    }
    EXPECT_GE(climbing.size(), 2u) << "too few progress texts seen during the conversion";

    // 1280x720 at height 240: 426.67 rounds to the even 426 (-1 alone would ask for an odd 427,
    // which the H.264 encoder refuses).
    EXPECT_THAT(folder_entries(kOutputFolder), ElementsAre(L"clip.mp4"));
    EXPECT_EQ(frame_size(std::wstring(kOutputFolder) + L"\\clip.mp4"), "426x240");
    EXPECT_THAT(program.boxes(), IsEmpty());
    // The conversion changes neither the path nor the stored duration.
    EXPECT_EQ(program.text(controls::kPathBox), kLongClip);
    EXPECT_EQ(narrow_utf8(program.text(controls::kDurationStore)), duration);
}

TEST_F(Conversion, DropOfSeveralFilesShowsAndProbesTheFirstOnly) {
    drop_and_wait({kShortClip, kLongClip});
    EXPECT_EQ(program.text(controls::kPathBox), kShortClip);
    EXPECT_EQ(narrow_utf8(program.text(controls::kDurationStore)), reported_duration(kShortClip));
    EXPECT_THAT(program.boxes(), IsEmpty());
}

TEST_F(Conversion, EveryInputConvertsToItsOwnNameAndSize) {
    struct Case {
        std::wstring input;
        bool dropped;  // otherwise typed into the path box by hand
        const wchar_t* width;
        const wchar_t* height;
        std::wstring output_name;
        std::string size;  // of a 320x180 clip; a -1 side keeps the aspect, rounded to even
    };
    const Case cases[] = {
        {L"C:\\clips\\with blanks\\my clip.mp4", true, L"-1", L"240", L"my clip.mp4", "426x240"},
        {L"C:\\clips\\视频 文件夹\\片段.mp4", true, L"300", L"-1", L"片段.mp4", "300x168"},
        {L"C:\\clips\\🎬 表情\\clip😀.mp4", true, L"320", L"180", L"clip😀.mp4", "320x180"},
        {L"C:\\clips\\upper\\Clip.MP4", true, L"-1", L"120", L"Clip.mp4", "214x120"},
        {L"C:\\clips\\mkv\\clip.mkv", true, L"160", L"-1", L"clip.mp4", "160x90"},
        {L"C:\\clips\\typed by hand\\hand typed.mp4", false, L"-1", L"240", L"hand typed.mp4",
         "426x240"},
    };
    for (const Case& c : cases) {
        std::wstring folder = c.input.substr(0, c.input.find_last_of(L'\\'));
        ASSERT_TRUE(make_folders(folder));
        if (c.input.size() > 4 && c.input.compare(c.input.size() - 4, 4, L".mkv") == 0) {
            ProcessResult remuxed = run_process(kConverter, L"-v error -i " + quoted(kShortClip) +
                                                                L" -c copy -y " + quoted(c.input));
            ASSERT_EQ(remuxed.exit_code, 0u) << remuxed.output;
        } else {
            ASSERT_TRUE(CopyFileW(kShortClip.c_str(), c.input.c_str(), FALSE));
        }
    }

    for (const Case& c : cases) {
        SCOPED_TRACE(narrow_utf8(c.input));
        empty_folder(kOutputFolder);
        std::string input_before = file_bytes(c.input);
        program.set_text(controls::kWidthBox, c.width);
        program.set_text(controls::kHeightBox, c.height);
        if (c.dropped) {
            drop_and_wait({c.input});
            EXPECT_EQ(program.text(controls::kPathBox), c.input);
            EXPECT_EQ(narrow_utf8(program.text(controls::kDurationStore)),
                      reported_duration(c.input));
        } else {
            program.set_text(controls::kPathBox, c.input);
        }
        int drops = program.trace_count("files ");
        press_and_wait();
        // A dropped path is not probed again; a typed one is probed by the press.
        EXPECT_EQ(program.trace_count("files "), drops);
        EXPECT_EQ(narrow_utf8(program.text(controls::kDurationStore)), reported_duration(c.input));

        EXPECT_THAT(folder_entries(kOutputFolder), ElementsAre(c.output_name));
        EXPECT_EQ(frame_size(std::wstring(kOutputFolder) + L"\\" + c.output_name), c.size);
        EXPECT_EQ(program.text(controls::kProgressLabel), L"进度：100 %");
        EXPECT_THAT(program.boxes(), IsEmpty());
        // The input is never touched.
        EXPECT_TRUE(file_bytes(c.input) == input_before);
    }
}

}  // namespace
}  // namespace quelvarn::e2e
