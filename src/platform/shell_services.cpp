#include "platform/shell_services.h"

namespace quelvarn {

namespace {
ShellServices* installed = nullptr;
}

ShellServices* shell_services() {
    return installed;
}

void set_shell_services(ShellServices* services) {
    installed = services;
}

void trace_event(std::string_view line) {
    if (installed) installed->trace(line);
}

}  // namespace quelvarn
