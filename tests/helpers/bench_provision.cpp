// Benchmark, not a test: the time a first start spends writing the tools, against the time the
// same disk takes to copy the same bytes, and the time a later start spends checking them.
// Runs in a throwaway prefix (scripts/bench-provision).
//
//   bench_provision [ROUNDS]     prints one line per round and the medians
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/tools.h"
#include "payload_pins.h"
#include "platform/win32/files.h"
#include "platform/win32/payloads.h"
#include "platform/win32/tool_store.h"
#include "platform/win32/wide.h"

namespace {

using namespace quelvarn;

double seconds_since(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) / frequency.QuadPart;
}

std::wstring program_path() {
    wchar_t path[MAX_PATH * 4];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\')) + L"\\..\\quelvarn.exe";
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Seconds for a first start's provisioning of C:\ffmpeg, or a negative value when it failed.
double time_provisioning(PayloadWriter& payloads, bool parallel) {
    win32_files().remove_tree("C:\\ffmpeg");
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    PreparedTools prepared =
        prepare_tools(win32_tool_store(), &payloads, kBundledToolPins, {parallel, 120000});
    const double seconds = seconds_since(start);
    const bool ok = prepared.converter && prepared.converter->path() == "C:\\ffmpeg\\ffmpeg.exe";
    return ok ? seconds : -1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int rounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5;
    HMODULE program = LoadLibraryExW(program_path().c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!program) {
        std::fprintf(stderr, "bench_provision: cannot load %ls\n", program_path().c_str());
        return 2;
    }
    win32::ResourcePayloads payloads(program);
    FileServices& files = win32_files();

    std::vector<double> one_by_one, parallel, copies, checks;
    for (int round = 0; round <= rounds; ++round) {
        const double sequential_time = time_provisioning(payloads, false);
        const double parallel_time = time_provisioning(payloads, true);
        if (sequential_time < 0 || parallel_time < 0) {
            std::fprintf(stderr, "bench_provision: provisioning failed\n");
            return 1;
        }

        // A later start: the folder is there and only checked.
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        PreparedTools later = prepare_tools(win32_tool_store(), &payloads, kBundledToolPins);
        const double check = seconds_since(start);
        if (!later.converter) {
            std::fprintf(stderr, "bench_provision: the written tools did not pass the check\n");
            return 1;
        }
        later.converter.reset();

        files.remove_tree("C:\\copy");
        files.make_folder("C:\\copy");
        QueryPerformanceCounter(&start);
        for (std::string_view name : kToolFileNames) {
            const std::wstring from = L"C:\\ffmpeg\\" + win32::widen(name);
            const std::wstring to = L"C:\\copy\\" + win32::widen(name);
            if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) {
                std::fprintf(stderr, "bench_provision: provisioning wrote no %.*s\n",
                             static_cast<int>(name.size()), name.data());
                return 1;
            }
        }
        const double copy = seconds_since(start);
        // Round 0 warms the page cache for every side and is not counted.
        if (round == 0) continue;
        one_by_one.push_back(sequential_time);
        parallel.push_back(parallel_time);
        copies.push_back(copy);
        checks.push_back(check);
        std::printf(
            "round %d: one by one %.3f s, parallel %.3f s, copy %.3f s, later-start check "
            "%.3f s\n",
            round, sequential_time, parallel_time, copy, check);
    }
    const double copy = median(copies);
    std::printf("later-start check of the tools: median %.3f s (goal <= 0.15 s)\n", median(checks));
    std::printf(
        "first-start provisioning, one tool after the other / copy: %.3f s / %.3f s = %.2f\n",
        median(one_by_one), copy, median(one_by_one) / copy);
    std::printf(
        "first-start provisioning, three tools at once / copy: %.3f s / %.3f s = %.2f "
        "(goal <= 1.5)\n",
        median(parallel), copy, median(parallel) / copy);
    return 0;
}
