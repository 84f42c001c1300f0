// The runner with real child processes (tests/helpers/child_writer) on the real Win32 pipes,
// with a real hidden window of the test thread standing in for the main window.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <thread>

#include "child_output.h"
#include "platform/platform.h"
#include "platform/win32/files.h"
#include "platform/win32/process.h"
#include "platform/win32/wide.h"
#include "queue_window.h"
#include "runner/analysis.h"
#include "runner/runner.h"
#include "windows_test_support.h"

namespace quelvarn {
namespace {

constexpr UINT kPing = WM_APP + 1;

// The thread's real message queue, with one hidden window that counts the pings it handles.
class TestWindow : public test_support::QueueWindow {
  public:
    TestWindow() {
        WNDCLASSW window_class{};
        window_class.lpfnWndProc = &TestWindow::procedure;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"QuelvarnRunnerTest";
        RegisterClassW(&window_class);
        hwnd = CreateWindowExW(0, L"QuelvarnRunnerTest", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                               nullptr, nullptr, GetModuleHandleW(nullptr), this);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~TestWindow() override { DestroyWindow(hwnd); }

    HWND hwnd = nullptr;
    std::atomic<int> pings{0};
    std::atomic<bool> running{false};
    std::atomic<int> pings_while_running{0};

  private:
    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
        auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (message == kPing && self) {
            ++self->pings;
            if (self->running) ++self->pings_while_running;
            return 1;
        }
        return DefWindowProcW(hwnd, message, w, l);
    }
};

class RunnerWin32Test : public ::testing::Test {
  protected:
    void SetUp() override {
        set_platform({&window, &win32_files(), &win32_processes(), nullptr});
        folder = win32::narrow(test_support::test_folder());
        writer = folder + "\\child_writer.exe";
    }
    void TearDown() override { set_platform({}); }

    // Runs child_writer with the steps given (see the helper for their syntax).
    RunResult run_writer(std::string_view steps) {
        updates.clear();
        return run_console_tool(writer, join_texts({"child_writer ", steps}), options());
    }

    RunOptions options() {
        RunOptions o;
        o.duration_seconds = 187;  // 00:03:07.52
        o.listener = [this](const RunUpdate& update) {
            updates.push_back(update);
            if (!process_id) process_id = control.process_id();
        };
        o.captured_output = &captured;
        o.control = &control;
        return o;
    }

    int count_status(RunStatus status) const {
        int count = 0;
        for (const RunUpdate& update : updates) count += update.status == status;
        return count;
    }

    std::vector<Text> progress_clocks() const {
        std::vector<Text> clocks;
        for (const RunUpdate& update : updates) {
            if (update.progress) clocks.push_back(update.progress->elapsed_clock);
        }
        return clocks;
    }

    TestWindow window;
    Text folder;
    Text writer;
    std::vector<RunUpdate> updates;
    RunControl control;
    std::uint32_t process_id = 0;
    Text captured;
};

TEST_F(RunnerWin32Test, CapturesTheNormalisedReport) {
    struct Case {
        const char* steps;
        Text captured;
    };
    const Case cases[] = {
        {"w:610D0A620A", "a\r\r\nb\r\n"},
        {"w:782020200D", "x   "},
        {"w:780D", "x\r"},
        {"w:6162006364", "ab"},
        // Standard error comes through the same pipe.
        {"e:6572720D0A", "err\r\r\n"},
        {"t:进度 w:0A", "进度\r\n"},
        {"", ""},
    };
    for (const Case& c : cases) {
        RunResult result = run_writer(c.steps);
        EXPECT_EQ(result.outcome, RunOutcome::exited) << c.steps;
        EXPECT_EQ(captured, c.captured) << c.steps;
        EXPECT_EQ(updates.empty(), c.captured.empty()) << c.steps;
        EXPECT_TRUE(window.texts.empty()) << c.steps;
    }
}

TEST_F(RunnerWin32Test, LongWriteArrivesWholeInSeveralPieces) {
    RunResult result = run_writer("n:3000:41 n:70000:42 x:3");
    EXPECT_EQ(result.exit_code, 3u);
    EXPECT_EQ(captured, Text(3000, 'A') + Text(70000, 'B'));
    EXPECT_GE(updates.size(), 73000u / 1023);
}

TEST_F(RunnerWin32Test, ProgressStatusAndExitCode) {
    RunResult result = run_writer(
        "t:frame=1_time=00:01:40.00_bitrate=1 w:0D s:100 "
        "\"t:out.mp4: No such file or directory\" w:0D0A x:1");
    EXPECT_EQ(result.outcome, RunOutcome::exited);
    EXPECT_EQ(result.exit_code, 1u);
    EXPECT_EQ(count_status(RunStatus::file_missing), 1);
    EXPECT_NE(process_id, 0u);
    EXPECT_FALSE(control.running());
    EXPECT_EQ(control.process_id(), 0u);
    ASSERT_GE(updates.size(), 2u);
    ASSERT_TRUE(updates.front().progress);
    EXPECT_EQ(updates.front().progress->percent, 53.48);
}

// The marker and the clock arrive in two writes with a pause between, so in two reads.
TEST_F(RunnerWin32Test, ReportSplitBetweenWritesIsRecognised) {
    run_writer(
        "t:frame=1 s:200 t:_time=00:01: s:200 t:40.00_x w:0D \"t:No such fi\" s:200 "
        "\"t:le or directory\" w:0D0A");
    EXPECT_GE(updates.size(), 4u);
    EXPECT_EQ(count_status(RunStatus::file_missing), 1);
    EXPECT_EQ(count_status(RunStatus::running) + 1, static_cast<int>(updates.size()));
    EXPECT_EQ(progress_clocks(), std::vector<Text>{"00:01:40"});
}

TEST_F(RunnerWin32Test, ExitRightAfterAPauseLosesNoBytes) {
    for (int round = 0; round < 5; ++round) {
        RunResult result = run_writer("s:300 n:5000:43 t:last_words x:4");
        EXPECT_EQ(result.exit_code, 4u);
        EXPECT_EQ(captured, Text(5000, 'C') + "last_words");
    }
}

TEST_F(RunnerWin32Test, MissingProgramAndFolderAsProgram) {
    RunResult missing = run_console_tool(folder + "\\no_such.exe", " -i x", options());
    EXPECT_EQ(missing.outcome, RunOutcome::missing_program);
    EXPECT_EQ(captured, "");
    EXPECT_TRUE(updates.empty());

    RunResult not_started = run_console_tool(folder, " -i x", options());
    EXPECT_EQ(not_started.outcome, RunOutcome::not_started);
    EXPECT_EQ(captured, "");
    EXPECT_TRUE(updates.empty());
    EXPECT_TRUE(window.texts.empty());
}

// A full path starts the child in the program's folder; a bare name in ours.
TEST_F(RunnerWin32Test, WorkingFolder) {
    ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\windows"));
    run_writer("d:");
    EXPECT_EQ(captured, folder);

    ASSERT_TRUE(SetCurrentDirectoryW(win32::widen(folder).c_str()));
    RunResult bare = run_console_tool("child_writer.exe", "child_writer d:", options());
    EXPECT_EQ(bare.outcome, RunOutcome::exited);
    EXPECT_EQ(captured, folder);
    SetCurrentDirectoryW(L"C:\\windows");
}

TEST_F(RunnerWin32Test, ChildKilledFromOutsideEndsTheRunWithItsCode) {
    bool killed = false;
    window.on_drain = [this, &killed] {
        if (killed || !control.process_id()) return;
        HANDLE child = OpenProcess(PROCESS_TERMINATE, FALSE, control.process_id());
        if (child) {
            TerminateProcess(child, 7);
            CloseHandle(child);
        }
        killed = true;
    };
    auto started = std::chrono::steady_clock::now();
    RunResult result = run_console_tool(writer, "child_writer t:started s:60000", options());
    window.on_drain = nullptr;
    EXPECT_EQ(result.outcome, RunOutcome::exited);
    EXPECT_EQ(result.exit_code, 7u);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
}

TEST_F(RunnerWin32Test, TerminateFromAHandlerStopsTheChild) {
    RunOptions stopping = options();
    stopping.listener = [this](const RunUpdate&) { control.terminate(); };
    auto started = std::chrono::steady_clock::now();
    RunResult result = run_console_tool(writer, "child_writer t:hello s:60000 t:never", stopping);
    EXPECT_EQ(result.outcome, RunOutcome::exited);
    EXPECT_NE(result.exit_code, 0u);
    EXPECT_EQ(captured, "hello");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    control.terminate();  // no run in progress: nothing to do
}

// Messages sent and posted to a window of this thread from elsewhere are handled while the
// child runs quietly.
TEST_F(RunnerWin32Test, WindowStaysResponsive) {
    HWND target = window.hwnd;
    std::atomic<bool> sent{false};
    std::thread pinger([&] {
        while (!window.running) Sleep(10);
        Sleep(200);
        DWORD_PTR answer = 0;
        sent = SendMessageTimeoutW(target, kPing, 0, 0, SMTO_NORMAL, 5000, &answer) && answer == 1;
        PostMessageW(target, kPing, 0, 0);
    });
    window.on_drain = [this] { window.running = true; };
    window.running = false;
    RunResult result = run_console_tool(writer, "child_writer s:1500", options());
    window.running = false;
    window.on_drain = nullptr;
    pinger.join();
    EXPECT_EQ(result.outcome, RunOutcome::exited);
    EXPECT_TRUE(sent);
    EXPECT_EQ(window.pings_while_running, 2);
}

// A grandchild that inherited the pipe keeps it open; the run still ends soon after the child.
TEST_F(RunnerWin32Test, GrandchildHoldingThePipeDoesNotHoldTheRun) {
    auto started = std::chrono::steady_clock::now();
    RunResult result = run_writer("t:before g:20000 t:after x:5");
    EXPECT_EQ(result.exit_code, 5u);
    EXPECT_EQ(captured, "beforeafter");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15));
}

}  // namespace
}  // namespace quelvarn
