// The program's answers to the window's events over the fake platform: set-up when the window
// is created, events routed to the handlers, and an end that stops only our own run.
#include "app/program.h"

#include <gtest/gtest.h>

#include "app/provision.h"
#include "app/tools.h"
#include "support/fake_platform.h"
#include "support/fake_tool_store.h"
#include "ui/controls.h"

namespace quelvarn {
namespace {

using fakes::bytes_of;
using fakes::ChildScript;
using fakes::FakePayloads;

constexpr std::string_view kConverterPath = "C:\\ffmpeg\\ffmpeg.exe";

const ToolPins& pins() {
    static const ToolPins pinned = FakePayloads::pins();
    return pinned;
}

// The program over the fake platform and a fake drive for its tools, started once the test has
// set that drive up.
class ProgramTest : public ::testing::Test {
  protected:
    ProgramTest() {
        fake.files.add_folder("C:\\ffmpeg");
        fake.files.add_file(kConverterPath);
        fake.files.add_folder("D:\\tools");
        fake.files.program_folder_text = "D:\\tools";
        platform().tools = &tools;
        platform().payloads = &payloads;
    }
    ~ProgramTest() override {
        platform().tools = nullptr;
        platform().payloads = nullptr;
    }

    void start() { program.run(); }

    fakes::FakePlatform fake;
    fakes::FakeToolStore tools;
    FakePayloads payloads{tools};
    Program program{pins()};
};

// Starts the program on a machine without the tools: the first start writes them.
class StartedProgramTest : public ProgramTest {
  protected:
    StartedProgramTest() { start(); }
};

TEST_F(StartedProgramTest, CreatedWindowGetsItsDropTargetBound) {
    ASSERT_NE(fake.window.events, nullptr);
    EXPECT_EQ(fake.window.bindings, (std::vector<std::pair<Text, Text>>{
                                        {Text(controls::kDropTarget), Text(controls::kPathBox)}}));
    EXPECT_EQ(fake.window.text(controls::kWidthBox), "-1");
    EXPECT_EQ(fake.window.text(controls::kHeightBox), "1920");
}

TEST_F(StartedProgramTest, EventsReachTheHandlers) {
    WindowEvents& events = *fake.window.events;
    fake.processes.scripts.push_back(
        {{{bytes_of("Input #0, mov, from 'x':\n  Duration: 00:00:05.00, start: 0\n"
                    "    Stream #0:0: Video: h264, yuv420p, 320x180\n")}},
         1});
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

TEST_F(StartedProgramTest, ClosingDuringARunStopsItsConverterAndEndsWithZero) {
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

TEST_F(StartedProgramTest, TheFirstStartWritesTheToolsAndRunsOnlyThatConverter) {
    EXPECT_EQ(tools.file("C:\\ffmpeg\\ffmpeg.exe"), FakePayloads::content(0));
    EXPECT_TRUE(tools.held("C:\\ffmpeg\\ffmpeg.exe"));
    EXPECT_TRUE(fake.window.messages.empty());
}

// The tools cannot be written anywhere: one box at start names each folder and its reason, the
// window is set up all the same, and a conversion names the missing converter.
TEST_F(ProgramTest, ToolsThatCannotBeWrittenAreSaidInOneBoxAndTheWindowStillWorks) {
    payloads.failing_index = 1;
    payloads.failing_error = kErrorDiskFull;
    start();

    ASSERT_EQ(fake.window.messages.size(), 1u);
    const Text user_folder = user_tools_folder(tools, pins());
    EXPECT_EQ(fake.window.messages[0].text,
              "无法写入转换工具，转换将无法进行。\nC:\\ffmpeg：error 112\n" + user_folder +
                  "：error 112");
    EXPECT_EQ(fake.window.bindings.size(), 1u);

    fake.files.add_folder("E:\\v");
    fake.files.add_file("E:\\v\\clip.mp4");
    fake.window.texts[Text(controls::kPathBox)] = "E:\\v\\clip.mp4";
    fake.window.events->on_clicked(controls::kChangeButton);
    EXPECT_TRUE(fake.processes.children.empty());
    ASSERT_EQ(fake.window.messages.size(), 2u);
    EXPECT_EQ(fake.window.messages[1].text, user_folder + "\\ffmpeg.exe 不存在");
}

}  // namespace
}  // namespace quelvarn
