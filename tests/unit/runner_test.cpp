// The runner over scripted children: what it starts, how it reads, what it reports to its
// listener, and that it never touches the window beyond serving its messages.
#include "runner/runner.h"

#include <gtest/gtest.h>

#include "runner/analysis.h"
#include "support/fake_platform.h"

namespace quelvarn {
namespace {

using fakes::bytes_of;
using fakes::ChildScript;
using fakes::FakePlatform;
using fakes::ScriptPiece;

constexpr std::string_view kConverter = "C:\\ffmpeg\\ffmpeg.exe";
constexpr std::int32_t kDuration = 187;  // 00:03:07.52

class RunnerTest : public ::testing::Test {
  protected:
    void SetUp() override { fake.files.add_file(kConverter); }

    RunOptions options(Text* capture) {
        RunOptions o;
        o.duration_seconds = kDuration;
        o.listener = [this](const RunUpdate& update) { updates.push_back(update); };
        o.captured_output = capture;
        return o;
    }

    // Runs the converter with a script whose pieces are read one by one.
    RunResult run_script(ChildScript script) {
        fake.processes.scripts.push_back(std::move(script));
        return run_console_tool(kConverter, " -i x.mp4", options(&captured));
    }

    RunResult run_pieces(const std::vector<std::string_view>& pieces, std::uint32_t code = 0) {
        ChildScript script;
        for (std::string_view piece : pieces) script.pieces.push_back({bytes_of(piece)});
        script.exit_code = code;
        return run_script(std::move(script));
    }

    std::vector<RunStatus> statuses() const {
        std::vector<RunStatus> all;
        for (const RunUpdate& update : updates) all.push_back(update.status);
        return all;
    }

    FakePlatform fake;
    std::vector<RunUpdate> updates;
    Text captured = "old";
};

TEST_F(RunnerTest, MissingProgramStartsNothing) {
    RunResult result = run_console_tool("C:\\nowhere\\ffmpeg.exe", " -i x.mp4", options(&captured));
    EXPECT_EQ(result.outcome, RunOutcome::missing_program);
    EXPECT_EQ(captured, "");
    EXPECT_TRUE(updates.empty());
    EXPECT_TRUE(fake.processes.children.empty());
}

TEST_F(RunnerTest, StartsTheProgramInItsFolderWithTheCommandLineAsGiven) {
    fake.files.add_file("tool.exe");
    for (std::string_view program : {kConverter, std::string_view("tool.exe")}) {
        run_console_tool(program, " -i \"a b.mp4\"");
        EXPECT_EQ(fake.processes.last().program_path, program);
        EXPECT_EQ(fake.processes.last().command_line, " -i \"a b.mp4\"");
        EXPECT_EQ(fake.processes.last().working_folder,
                  program == kConverter ? "C:\\ffmpeg\\" : "");
        EXPECT_TRUE(fake.processes.last().destroyed);
    }
}

TEST_F(RunnerTest, ChildThatCannotStart) {
    ChildScript script;
    script.start_fails = true;
    RunResult result = run_script(script);
    EXPECT_EQ(result.outcome, RunOutcome::not_started);
    EXPECT_EQ(captured, "");
    EXPECT_TRUE(updates.empty());
}

// The runner reports; it never writes a control, whatever the run did.
TEST_F(RunnerTest, WritesNoControl) {
    run_pieces({}, 5);
    run_pieces({"frame=1 time=00:01:40.00 bitrate=1\r", "video:1kB global headers:0kB\r\n"});
    ChildScript refused;
    refused.start_fails = true;
    run_script(refused);
    run_console_tool("C:\\nowhere\\ffmpeg.exe", "");
    EXPECT_TRUE(fake.window.writes.empty());
    EXPECT_TRUE(fake.window.messages.empty());
}

TEST_F(RunnerTest, ChildThatWritesNothing) {
    RunResult result = run_pieces({}, 5);
    EXPECT_EQ(result.outcome, RunOutcome::exited);
    EXPECT_EQ(result.exit_code, 5u);
    EXPECT_EQ(captured, "");
    EXPECT_TRUE(updates.empty());
}

// Each case is one report read in the pieces given; the capture holds the normalised report
// and nothing else, and every non-empty piece gets one listener call.
TEST_F(RunnerTest, CapturesTheNormalisedReport) {
    struct Case {
        std::vector<std::string_view> pieces;
        Text captured;
        std::size_t calls;
    };
    const std::vector<Case> cases = {
        {{"a\r\nb\n"}, "a\r\r\nb\r\n", 1},
        {{"x   \r"}, "x   ", 1},
        {{"x\r"}, "x\r", 1},
        {{"x \r", "\ny"}, "x \r\ny", 2},
        // A blank at the end of one read and its CR at the start of the next.
        {{"x ", "\ry"}, "x y", 2},
        {{"a\r", "\nb"}, "a\r\r\nb", 2},
        // A zero byte ends the piece; a piece that starts with one is empty and skipped.
        {{std::string_view("ab\0cd", 5), "ef"}, "abef", 2},
        {{std::string_view("\0cd", 3), "ef"}, "ef", 1},
    };
    for (const Case& c : cases) {
        updates.clear();
        run_pieces(c.pieces);
        EXPECT_EQ(captured, c.captured) << ::testing::PrintToString(c.pieces);
        EXPECT_EQ(updates.size(), c.calls) << ::testing::PrintToString(c.pieces);
        for (RunStatus status : statuses()) EXPECT_EQ(status, RunStatus::running);
    }
}

TEST_F(RunnerTest, LongWriteIsReadInPiecesOfAtMost1023Bytes) {
    Text report;
    for (int line = 0; report.size() < 2500; ++line)
        report += "line " + std::to_string(line) + "\r";
    run_pieces({report});
    EXPECT_EQ(captured, report);
    EXPECT_EQ(updates.size(), (report.size() + 1022) / 1023);
    EXPECT_EQ(fake.processes.last().reads, static_cast<int>(updates.size()));
}

TEST_F(RunnerTest, ProgressAsNumbersThenDone) {
    run_pieces({"frame=1 time=00:01:40.00 bitrate=1\r", "frame=2 time=00:03:07.00 bitrate=1\r",
                "video:1kB global headers:0kB\r\n"});
    ASSERT_EQ(updates.size(), 3u);
    ASSERT_TRUE(updates[0].progress);
    EXPECT_EQ(updates[0].progress->percent, 53.48);
    EXPECT_EQ(updates[0].progress->elapsed_clock, "00:01:40");
    ASSERT_TRUE(updates[1].progress);
    EXPECT_EQ(updates[1].progress->percent, 100);
    EXPECT_FALSE(updates[2].progress);
    EXPECT_EQ(statuses(),
              (std::vector<RunStatus>{RunStatus::running, RunStatus::running, RunStatus::done}));
}

TEST_F(RunnerTest, UnknownDurationGivesTheClockOnly) {
    fake.processes.scripts.push_back({{{bytes_of("frame=1 time=00:00:12.40 bitrate=1\r")}}});
    RunOptions o = options(nullptr);
    o.duration_seconds = 0;
    run_console_tool(kConverter, "", o);
    ASSERT_EQ(updates.size(), 1u);
    ASSERT_TRUE(updates[0].progress);
    EXPECT_EQ(updates[0].progress->elapsed_clock, "00:00:12");
    EXPECT_FALSE(updates[0].progress->percent);
}

// Every way of cutting the report into two reads gives the same progress and statuses as one
// read, with one listener call per non-empty read.
TEST_F(RunnerTest, ReportSplitAtAnyOffset) {
    const Text report =
        "frame=  5 fps=0 time=00:01:40.00 bitrate=1\rout.mp4: No such file or directory\r\n";
    for (std::size_t split = 0; split <= report.size(); ++split) {
        updates.clear();
        std::string_view whole(report);
        std::vector<std::string_view> pieces;
        if (split > 0) pieces.push_back(whole.substr(0, split));
        if (split < report.size()) pieces.push_back(whole.substr(split));

        run_pieces(pieces);

        EXPECT_EQ(captured, normalise_report(fakes::bytes_of(report))) << split;
        ASSERT_EQ(updates.size(), pieces.size()) << split;
        int progress = 0;
        int missing = 0;
        for (const RunUpdate& update : updates) {
            if (update.progress) {
                ++progress;
                EXPECT_EQ(update.progress->elapsed_clock, "00:01:40") << split;
                EXPECT_EQ(update.progress->percent, 53.48) << split;
            }
            missing += update.status == RunStatus::file_missing;
        }
        EXPECT_EQ(progress, 1) << split;
        EXPECT_EQ(missing, 1) << split;
    }
}

TEST_F(RunnerTest, WithoutCaptureTheReportIsStillAnalysed) {
    fake.processes.scripts.push_back({{{bytes_of("a\r\n")}, {bytes_of("Input/output error\r\n")}}});
    run_console_tool(kConverter, " -i x", options(nullptr));
    EXPECT_EQ(statuses(),
              (std::vector<RunStatus>{RunStatus::running, RunStatus::input_output_error}));
}

TEST_F(RunnerTest, WaitsInsteadOfSpinningAndKeepsTheWindowServed) {
    ChildScript script;
    script.pieces = {{bytes_of("one\r\n"), 3}, {bytes_of("two\r\n"), 4}};
    script.waits_before_exit = 5;
    run_script(script);
    const fakes::ChildRecord& child = fake.processes.last();
    EXPECT_EQ(captured, "one\r\r\ntwo\r\r\n");
    EXPECT_GE(child.waits, 12);
    EXPECT_LE(child.longest_busy_polls, 1);
    for (int ms : child.wait_milliseconds) {
        EXPECT_GT(ms, 0);
        EXPECT_LE(ms, 20);
    }
    EXPECT_GE(fake.window.drain_count, child.waits);
}

// Whatever is in the pipe when the child exits is still read.
TEST_F(RunnerTest, ReadsWhatIsLeftAfterTheExit) {
    ChildScript script;
    script.pieces = {{bytes_of("first\r\n"), 2}, {bytes_of("last words\r\n"), 0}};
    run_script(script);
    EXPECT_EQ(captured, "first\r\r\nlast words\r\r\n");
}

TEST_F(RunnerTest, PipeHeldOpenAfterTheExitEndsTheRun) {
    ChildScript script;
    script.pieces = {{bytes_of("done\r\n")}};
    script.exit_code = 2;
    script.pipe_held_open = true;
    RunResult result = run_script(script);
    EXPECT_EQ(result.outcome, RunOutcome::exited);
    EXPECT_EQ(result.exit_code, 2u);
    EXPECT_EQ(captured, "done\r\r\n");
}

TEST_F(RunnerTest, ControlStopsOnlyItsOwnRunsChild) {
    RunControl control;
    control.terminate();  // no run: nothing happens
    EXPECT_FALSE(control.running());
    ChildScript script;
    script.pieces = {{bytes_of("frame=1\r")}, {bytes_of("never\r"), 50}};
    script.terminated_exit_code = 9;
    fake.processes.scripts.push_back(script);
    RunOptions o;
    o.captured_output = &captured;
    o.control = &control;
    bool running_seen = false;
    o.listener = [&](const RunUpdate&) {
        running_seen = control.running();
        control.terminate();
    };
    RunResult result = run_console_tool(kConverter, "", o);
    EXPECT_TRUE(running_seen);
    EXPECT_TRUE(fake.processes.last().terminated);
    EXPECT_EQ(result.exit_code, 9u);
    EXPECT_EQ(captured, "frame=1\r");
    EXPECT_FALSE(control.running());
}

// A run started from the message processing of another keeps its own report and its own
// control; the outer run goes on unharmed.
TEST_F(RunnerTest, RunInsideARunKeepsBothReportsApart) {
    ChildScript outer;
    outer.pieces = {{bytes_of("outer 1\r\n")}, {bytes_of("outer 2\r\n"), 3}};
    ChildScript inner;
    inner.pieces = {{bytes_of("inner\r\n"), 1}};
    fake.processes.scripts = {outer, inner};
    Text inner_captured;
    bool started = false;
    RunControl outer_control;
    bool outer_running_inside = false;
    fake.window.on_drain = [&] {
        if (started) return;
        started = true;
        RunOptions o;
        o.captured_output = &inner_captured;
        run_console_tool(kConverter, "", o);
        outer_running_inside = outer_control.running();
    };
    RunOptions o = options(&captured);
    o.control = &outer_control;
    run_console_tool(kConverter, "", o);
    EXPECT_EQ(captured, "outer 1\r\r\nouter 2\r\r\n");
    EXPECT_EQ(inner_captured, "inner\r\r\n");
    EXPECT_EQ(updates.size(), 2u);
    EXPECT_TRUE(outer_running_inside);
    EXPECT_FALSE(fake.processes.children[0]->terminated);
}

}  // namespace
}  // namespace quelvarn
