// The program's answers to the window's events over the fake platform: set-up when the window
// is created, events routed to the handlers, and an end that stops only our own run.
#include "app/program.h"

#include <gtest/gtest.h>

#include "app/provision.h"
#include "support/fake_platform.h"
#include "ui/controls.h"

namespace quelvarn {
namespace {

using fakes::bytes_of;
using fakes::ChildScript;

class ProgramTest : public ::testing::Test {
  protected:
    ProgramTest() {
        fake.files.add_folder("C:\\ffmpeg");
        fake.files.add_file(kConverterPath);
        fake.files.add_folder("D:\\tools");
        fake.files.program_folder_text = "D:\\tools";
        program.run();
    }

    fakes::FakePlatform fake;
    Program program;
};

TEST_F(ProgramTest, CreatedWindowGetsItsDropTargetBound) {
    ASSERT_NE(fake.window.events, nullptr);
    EXPECT_EQ(fake.window.bindings, (std::vector<std::pair<Text, Text>>{
                                        {Text(controls::kDropTarget), Text(controls::kPathBox)}}));
    EXPECT_EQ(fake.window.text(controls::kWidthBox), "-1");
    EXPECT_EQ(fake.window.text(controls::kHeightBox), "1920");
}

TEST_F(ProgramTest, EventsReachTheHandlers) {
    WindowEvents& events = *fake.window.events;
    fake.processes.scripts.push_back({{{bytes_of("  Duration: 00:00:05.00, start: 0\n")}}, 1});
    events.on_files_dropped(controls::kDropTarget, {"E:\\v\\clip.mp4"});
    ASSERT_EQ(fake.processes.children.size(), 1u);
    EXPECT_EQ(fake.processes.last().program_path, kConverterPath);
    EXPECT_EQ(fake.window.text(controls::kPathBox), "E:\\v\\clip.mp4");

    fake.files.add_folder("E:\\v");
    fake.files.add_file("E:\\v\\clip.mp4");
    events.on_clicked(controls::kChangeButton);
    EXPECT_EQ(fake.processes.children.size(), 2u);
    // Another button name, or another drop target, starts nothing.
    events.on_clicked(controls::kPathBox);
    events.on_files_dropped(controls::kPathBox, {"E:\\v\\clip.mp4"});
    EXPECT_EQ(fake.processes.children.size(), 2u);
}

TEST_F(ProgramTest, ClosingDuringARunStopsItsConverterAndEndsWithZero) {
    WindowEvents& events = *fake.window.events;
    fake.files.add_folder("E:\\v");
    fake.files.add_file("E:\\v\\clip.mp4");
    fake.window.texts[Text(controls::kPathBox)] = "E:\\v\\clip.mp4";
    ChildScript slow;
    slow.waits_before_exit = 50;
    fake.processes.scripts.push_back(slow);
    std::optional<int> code;
    bool accepting_during_run = true;
    fake.processes.on_wait = [&] {
        if (code) return;
        accepting_during_run = events.accepting_files(controls::kDropTarget);
        try {
            events.on_destroying();
        } catch (const fakes::ProgramEnded& ended) {
            code = ended.code;
        }
    };
    events.on_clicked(controls::kChangeButton);
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(accepting_during_run);
    EXPECT_TRUE(fake.processes.last().terminated);
    EXPECT_FALSE(fake.files.path_present("D:\\tools\\分辨率\\clip.converting.mp4"));
    EXPECT_TRUE(events.accepting_files(controls::kDropTarget));
}

}  // namespace
}  // namespace quelvarn
