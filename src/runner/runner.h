// Runs a console program hidden and reads its report while the window stays usable.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "runner/analysis.h"
#include "text/text.h"

namespace quelvarn {

class ChildProcess;

// What one piece of the report said: its status, and the progress when the piece completed a
// "time=" report.
struct RunUpdate {
    RunStatus status = RunStatus::running;
    std::optional<RunProgress> progress;
};

using RunListener = std::function<void(const RunUpdate& update)>;

// Lets the owner of a run stop it from a handler that runs inside the run (the window's
// message processing goes on while the runner waits).
class RunControl {
  public:
    RunControl() = default;
    RunControl(const RunControl&) = delete;
    RunControl& operator=(const RunControl&) = delete;

    // True while the run's child process exists.
    bool running() const { return child_ != nullptr; }
    // The system's identifier of the run's child; 0 when none runs.
    std::uint32_t process_id() const;
    // Ends the run's child, if one runs; never another process. The run then reads what is left
    // of the report and ends with the child's exit code (1 on Windows).
    void terminate();

  private:
    friend class ChildAttachment;
    ChildProcess* child_ = nullptr;
};

struct RunOptions {
    // Seconds the whole run is expected to cover, for the percentage; 0: unknown.
    std::int32_t duration_seconds = 0;
    // Called for every non-empty piece of the report; may be empty.
    RunListener listener;
    // Receives the whole normalised report when given.
    Text* captured_output = nullptr;
    // Called with every non-empty normalised piece of the report, for a caller that keeps only
    // what it needs of it; may be empty.
    std::function<void(std::string_view piece)> report_text;
    // Attached to the child while it runs when given.
    RunControl* control = nullptr;
};

enum class RunOutcome {
    missing_program,  // no file or folder of that name: nothing was started
    not_started,      // the system could not start it
    exited,           // it ran and ended; exit_code holds its code
};

struct RunResult {
    RunOutcome outcome = RunOutcome::not_started;
    std::uint32_t exit_code = 0;
};

// Returns when the child has exited and its report has been read (or at once when
// `program_path` is missing or cannot be started).
RunResult run_console_tool(std::string_view program_path, std::string_view command_line,
                           const RunOptions& options = {});

}  // namespace quelvarn
