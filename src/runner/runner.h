// Runs a console program hidden and reads its report while the window stays usable.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "text/text.h"

namespace quelvarn {

// Called for every non-empty piece of the report with the status derived from it.
using StatusHandler = std::function<void(const Text& status_text, const Text& extra_text)>;

enum class RunOutcome {
    missing_program,  // no file or folder of that name: nothing was started
    not_started,      // the system could not start it
    exited,           // it ran and ended; exit_code holds its code
};

struct RunResult {
    RunOutcome outcome = RunOutcome::not_started;
    std::uint32_t exit_code = 0;
    // The last non-empty line of the report, without its line end.
    Text last_line;
};

// Returns when the child has exited (or at once when `program_path` is missing). The optional
// outputs are written only when given; `status_handler` may be empty.
RunResult run_console_tool(std::string_view program_path, std::string_view command_line,
                           const StatusHandler& status_handler, std::uint32_t* process_id,
                           Text* captured_output);

// Terminates the child that a run in progress started, if any; never another process. The run
// then reads what is left of the report and ends with the child's exit code (1 on Windows).
void terminate_running_tool();

}  // namespace quelvarn
