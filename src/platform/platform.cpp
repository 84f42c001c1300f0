#include "platform/platform.h"

namespace quelvarn {

namespace {
Platform installed;
}

Platform& platform() {
    return installed;
}

void set_platform(const Platform& services) {
    installed = services;
}

Clock& platform_clock() {
    return installed.clock ? *installed.clock : steady_clock();
}

void trace_event(std::string_view line) {
    if (installed.window) installed.window->trace(line);
}

}  // namespace quelvarn
