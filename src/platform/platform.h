// The services the portable code takes from the system. The program installs the Win32
// implementation at start-up; unit tests install fakes. This registry is the program's only
// global state besides what the services themselves keep.
#pragma once

#include "platform/files.h"
#include "platform/payloads.h"
#include "platform/process.h"
#include "platform/window.h"

namespace quelvarn {

struct Platform {
    WindowServices* window = nullptr;
    FileServices* files = nullptr;
    ProcessServices* processes = nullptr;
    // Null when the program carries no payloads.
    PayloadWriter* payloads = nullptr;
};

Platform& platform();
void set_platform(const Platform& services);

// A line of the lifecycle trace; nothing when no window framework is installed.
void trace_event(std::string_view line);

}  // namespace quelvarn
