#include <gtest/gtest.h>

#include "app/globals.h"
#include "runner/analysis.h"
#include "runner/runner.h"
#include "support/fake_platform.h"
#include "ui/controls.h"

namespace quelvarn {
namespace {

using fakes::bytes_of;
using fakes::ChildScript;
using fakes::FakePlatform;
using fakes::ScriptPiece;

constexpr std::string_view kConverter = "C:\\ffmpeg\\ffmpeg.exe";

struct Call {
    Text status;
    Text extra;
};

class RunnerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake.files.add_file(kConverter);
        fake.window.texts[Text(controls::kProgressLabel)] = "进度：";
        fake.window.texts[Text(controls::kDurationStore)] = "00:03:07.52";
    }

    // Runs the converter with a script whose pieces are read one by one.
    RunResult run_script(ChildScript script) {
        fake.processes.scripts.push_back(std::move(script));
        return run_console_tool(kConverter, " -i x.mp4", handler, &process_id, &captured);
    }

    RunResult run_pieces(const std::vector<std::string_view>& pieces, std::uint32_t code = 0) {
        ChildScript script;
        for (std::string_view piece : pieces) script.pieces.push_back({bytes_of(piece)});
        script.exit_code = code;
        return run_script(std::move(script));
    }

    std::vector<Text> statuses() const {
        std::vector<Text> all;
        for (const Call& call : calls) all.push_back(call.status);
        return all;
    }

    Text label() const { return fake.window.text(controls::kProgressLabel); }

    FakePlatform fake;
    std::vector<Call> calls;
    StatusHandler handler = [this](const Text& status, const Text& extra) {
        calls.push_back({status, extra});
    };
    std::uint32_t process_id = 77;
    Text captured = "old";
};

TEST_F(RunnerTest, MissingProgramStartsNothing) {
    fake.window.texts[Text(controls::kProgressLabel)] = "进度：12 %";
    RunResult result =
        run_console_tool("C:\\nowhere\\ffmpeg.exe", " -i x.mp4", handler, &process_id, &captured);
    EXPECT_EQ(result.outcome, RunOutcome::missing_program);
    EXPECT_EQ(captured, "C:\\nowhere\\ffmpeg.exe 不存在");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].status, "");
    EXPECT_EQ(calls[0].extra, "");
    EXPECT_EQ(label(), "进度：12 %");
    EXPECT_EQ(process_id, 77u);
    EXPECT_TRUE(fake.processes.children.empty());
}

TEST_F(RunnerTest, StartsTheProgramInItsFolderWithTheCommandLineAsGiven) {
    fake.files.add_file("tool.exe");
    for (std::string_view program : {kConverter, std::string_view("tool.exe")}) {
        run_console_tool(program, " -i \"a b.mp4\"", handler, &process_id, nullptr);
        EXPECT_EQ(fake.processes.last().program_path, program);
        EXPECT_EQ(fake.processes.last().command_line, " -i \"a b.mp4\"");
        EXPECT_EQ(fake.processes.last().working_folder,
                  program == kConverter ? "C:\\ffmpeg\\" : "");
        EXPECT_TRUE(fake.processes.last().destroyed);
    }
    EXPECT_EQ(process_id, 4242u);
}

TEST_F(RunnerTest, ChildThatCannotStart) {
    ChildScript script;
    script.start_fails = true;
    RunResult result = run_script(script);
    EXPECT_EQ(result.outcome, RunOutcome::not_started);
    EXPECT_EQ(process_id, 0u);
    EXPECT_EQ(captured, "");
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(label(), kProgressDone);
}

TEST_F(RunnerTest, ChildThatWritesNothing) {
    RunResult result = run_pieces({}, 5);
    EXPECT_EQ(result.outcome, RunOutcome::exited);
    EXPECT_EQ(result.exit_code, 5u);
    EXPECT_EQ(result.last_line, "");
    EXPECT_EQ(captured, "");
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(label(), kProgressDone);
}

// Each case is one report read in the pieces given; the capture holds the normalised report
// and nothing else, and every non-empty piece gets one handler call.
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
        calls.clear();
        run_pieces(c.pieces);
        EXPECT_EQ(captured, c.captured) << ::testing::PrintToString(c.pieces);
        EXPECT_EQ(calls.size(), c.calls) << ::testing::PrintToString(c.pieces);
        for (const Call& call : calls) EXPECT_EQ(call.status, kStatusRunning);
    }
}

TEST_F(RunnerTest, LongWriteIsReadInPiecesOfAtMost1023Bytes) {
    Text report;
    for (int line = 0; report.size() < 2500; ++line)
        report += "line " + std::to_string(line) + "\r";
    run_pieces({report});
    EXPECT_EQ(captured, report);
    EXPECT_EQ(calls.size(), (report.size() + 1022) / 1023);
    EXPECT_EQ(fake.processes.last().reads, static_cast<int>(calls.size()));
}

TEST_F(RunnerTest, ReportsExitCodeAndLastLine) {
    RunResult result = run_pieces({"Input #0\n", "x.mp4: Invalid data found\r\n"}, 1);
    EXPECT_EQ(result.outcome, RunOutcome::exited);
    EXPECT_EQ(result.exit_code, 1u);
    EXPECT_EQ(result.last_line, "x.mp4: Invalid data found");
}

TEST_F(RunnerTest, ProgressThenDoneAtTheEnd) {
    run_pieces({"frame=1 time=00:01:40.00 bitrate=1\r", "frame=2 time=00:03:07.00 bitrate=1\r",
                "video:1kB global headers:0kB\r\n"});
    std::vector<Text> labels;
    for (const auto& [control, text] : fake.window.writes) {
        if (control == controls::kProgressLabel) labels.push_back(text);
    }
    EXPECT_EQ(labels, (std::vector<Text>{"进度：53.48 %", "进度：100 %", "进度：100 %"}));
    EXPECT_EQ(statuses(),
              (std::vector<Text>{Text(kStatusRunning), Text(kStatusRunning), Text(kStatusDone)}));
}

// Every way of cutting the report into two reads gives the same progress and statuses as one
// read, with one handler call per non-empty read.
TEST_F(RunnerTest, ReportSplitAtAnyOffset) {
    const Text report =
        "frame=  5 fps=0 time=00:01:40.00 bitrate=1\rout.mp4: No such file or directory\r\n";
    for (std::size_t split = 0; split <= report.size(); ++split) {
        calls.clear();
        fake.window.texts[Text(controls::kProgressLabel)] = "进度：";
        progress_time_text.clear();
        std::string_view whole(report);
        std::vector<std::string_view> pieces;
        if (split > 0) pieces.push_back(whole.substr(0, split));
        if (split < report.size()) pieces.push_back(whole.substr(split));

        int progress_writes = 0;
        fake.window.on_drain = nullptr;
        std::size_t writes_before = fake.window.writes.size();
        run_pieces(pieces);
        for (std::size_t i = writes_before; i < fake.window.writes.size(); ++i) {
            if (fake.window.writes[i].second == "进度：53.48 %") ++progress_writes;
        }

        EXPECT_EQ(captured, normalise_report(fakes::bytes_of(report))) << split;
        EXPECT_EQ(progress_writes, 1) << split;
        EXPECT_EQ(progress_time_text, "00:01:40") << split;
        ASSERT_EQ(calls.size(), pieces.size()) << split;
        int missing = 0;
        for (const Call& call : calls) missing += call.status == kStatusFileMissing;
        EXPECT_EQ(missing, 1) << split;
    }
}

TEST_F(RunnerTest, WithoutCaptureTheReportIsStillAnalysed) {
    fake.processes.scripts.push_back({{{bytes_of("a\r\n")}, {bytes_of("Input/output error\r\n")}}});
    RunResult result = run_console_tool(kConverter, " -i x", handler, nullptr, nullptr);
    EXPECT_EQ(statuses(), (std::vector<Text>{Text(kStatusRunning), Text(kStatusInputOutputError)}));
    EXPECT_EQ(result.last_line, "Input/output error");
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

TEST_F(RunnerTest, TerminateFromAHandlerEndsOnlyThisRunsChild) {
    terminate_running_tool();  // no run: nothing happens
    ChildScript script;
    script.pieces = {{bytes_of("frame=1\r")}, {bytes_of("never\r"), 50}};
    script.terminated_exit_code = 9;
    StatusHandler stopping = [](const Text&, const Text&) { terminate_running_tool(); };
    fake.processes.scripts.push_back(script);
    RunResult result = run_console_tool(kConverter, "", stopping, nullptr, &captured);
    EXPECT_TRUE(fake.processes.last().terminated);
    EXPECT_EQ(result.exit_code, 9u);
    EXPECT_EQ(captured, "frame=1\r");
    EXPECT_EQ(label(), kProgressDone);
}

// A run started from the message processing of another keeps its own report; the outer run
// goes on unharmed.
TEST_F(RunnerTest, RunInsideARunKeepsBothReportsApart) {
    ChildScript outer;
    outer.pieces = {{bytes_of("outer 1\r\n")}, {bytes_of("outer 2\r\n"), 3}};
    ChildScript inner;
    inner.pieces = {{bytes_of("inner\r\n"), 1}};
    fake.processes.scripts = {outer, inner};
    Text inner_captured;
    bool started = false;
    fake.window.on_drain = [&] {
        if (started) return;
        started = true;
        run_console_tool(kConverter, "", nullptr, nullptr, &inner_captured);
    };
    run_console_tool(kConverter, "", handler, nullptr, &captured);
    EXPECT_EQ(captured, "outer 1\r\r\nouter 2\r\r\n");
    EXPECT_EQ(inner_captured, "inner\r\r\n");
    EXPECT_EQ(calls.size(), 2u);
}

}  // namespace
}  // namespace quelvarn
