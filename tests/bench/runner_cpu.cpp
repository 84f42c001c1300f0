// Benchmark (not a test): the runner's own processor time divided by the wall time while its
// child runs quietly for several seconds (goal: at most 1%). Beside it, the same figure for
// this process sleeping as long, which is what the system costs when nobody does anything.
//   bench_runner_cpu [SECONDS]     (default 5)
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <map>

#include "child_output.h"
#include "platform/platform.h"
#include "platform/win32/files.h"
#include "platform/win32/process.h"
#include "platform/win32/wide.h"
#include "queue_window.h"
#include "runner/runner.h"
#include "windows_test_support.h"

namespace quelvarn {
namespace {

double seconds_of(const FILETIME& time) {
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<double>(value.QuadPart) / 1e7;
}

struct Sample {
    double wall;
    double process_cpu;
    double thread_cpu;
};

Sample sample() {
    LARGE_INTEGER counter;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    double process_cpu = seconds_of(kernel) + seconds_of(user);
    GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user);
    double thread_cpu = seconds_of(kernel) + seconds_of(user);
    return {static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart),
            process_cpu, thread_cpu};
}

void report(const char* what, const Sample& from, const Sample& to) {
    double wall = to.wall - from.wall;
    std::printf("%-34s wall %6.2f s   thread CPU %6.3f%%   process CPU %6.3f%%\n", what, wall,
                100.0 * (to.thread_cpu - from.thread_cpu) / wall,
                100.0 * (to.process_cpu - from.process_cpu) / wall);
}

}  // namespace
}  // namespace quelvarn

int wmain(int argc, wchar_t** argv) {
    using namespace quelvarn;
    int seconds = argc > 1 ? static_cast<int>(std::wcstol(argv[1], nullptr, 10)) : 5;
    if (seconds <= 0) seconds = 5;
    test_support::QueueWindow window;
    set_platform({&window, &win32_files(), &win32_processes(), nullptr});
    Text writer = win32::narrow(test_support::test_folder()) + "\\child_writer.exe";

    Sample before_sleep = sample();
    Sleep(static_cast<DWORD>(seconds * 1000));
    Sample after_sleep = sample();

    Text command = "s:" + std::to_string(seconds * 1000);
    Sample before_run = sample();
    RunResult result = run_console_tool(writer, command);
    Sample after_run = sample();
    if (result.outcome != RunOutcome::exited) {
        std::printf("bench-runner: the child did not run (%s)\n", writer.c_str());
        return 1;
    }
    std::printf("runner CPU over a quiet %d s child (goal: at most 1%%)\n", seconds);
    report("this process sleeping (baseline)", before_sleep, after_sleep);
    report("runner waiting for a quiet child", before_run, after_run);
    return 0;
}
