#include "runner/runner.h"

namespace quelvarn {

RunResult run_console_tool(std::string_view, std::string_view, const StatusHandler&, std::uint32_t*,
                           Text* captured_output) {
    if (captured_output) captured_output->clear();
    return {};
}

void terminate_running_tool() {}

}  // namespace quelvarn
