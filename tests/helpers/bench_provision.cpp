// Benchmark, not a test: the time a first start spends writing the tools, against the time the
// same disk takes to copy the same bytes. Runs in a throwaway prefix (scripts/bench-provision).
//
//   bench_provision [ROUNDS]     prints one line per round and the median ratio
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/provision.h"
#include "platform/platform.h"
#include "platform/win32/files.h"
#include "platform/win32/payloads.h"
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
    set_platform({nullptr, &win32_files(), nullptr, &payloads});
    FileServices& files = win32_files();

    std::vector<double> provision_times, copy_times, ratios;
    for (int round = 0; round <= rounds; ++round) {
        files.remove_tree("C:\\ffmpeg");
        files.remove_tree("C:\\copy");
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        provision_tools();
        const double provision = seconds_since(start);

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
        // Round 0 warms the page cache for both sides and is not counted.
        if (round == 0) continue;
        provision_times.push_back(provision);
        copy_times.push_back(copy);
        ratios.push_back(provision / copy);
        std::printf("round %d: provisioning %.3f s, copy %.3f s, ratio %.2f\n", round, provision,
                    copy, provision / copy);
    }
    std::printf(
        "first-start provisioning / copy of the same bytes: median %.3f s / %.3f s = %.2f "
        "(goal <= 1.5)\n",
        median(provision_times), median(copy_times), median(ratios));
    return 0;
}
