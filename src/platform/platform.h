// The services the portable code takes from the system. The program installs the Win32
// implementation at start-up; unit tests install fakes. This registry is the program's only
// global state besides what the services themselves keep.
#pragma once

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/payloads.h"
#include "platform/process.h"
#include "platform/taskbar.h"
#include "platform/tool_store.h"
#include "platform/window.h"

namespace quelvarn {

struct Platform {
    WindowServices* window = nullptr;
    FileServices* files = nullptr;
    ProcessServices* processes = nullptr;
    // Null when the program carries no payloads.
    PayloadWriter* payloads = nullptr;
    // Null where the tools are neither checked nor written (tests of other parts).
    ToolStore* tools = nullptr;
    // Null when the window has no taskbar button to show anything on.
    TaskbarServices* taskbar = nullptr;
    // Null: the steady clock.
    Clock* clock = nullptr;
};

Platform& platform();
void set_platform(const Platform& services);

// The installed clock, or the steady clock.
Clock& platform_clock();

// A line of the lifecycle trace; nothing when no window framework is installed.
void trace_event(std::string_view line);

}  // namespace quelvarn
