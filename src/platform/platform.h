// The services the portable code takes from the system. The program installs the Win32
// implementation at start-up; unit tests install fakes.
#pragma once

#include "platform/files.h"
#include "platform/process.h"
#include "platform/tool_store.h"
#include "platform/window.h"

namespace quelvarn {

struct Platform {
    WindowServices* window = nullptr;
    FileServices* files = nullptr;
    ProcessServices* processes = nullptr;
    ToolStore* tools = nullptr;
};

Platform& platform();
void set_platform(const Platform& services);

}  // namespace quelvarn
