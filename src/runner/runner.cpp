#include "runner/runner.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>

#include "platform/platform.h"

namespace quelvarn {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kReadBytes = 1023;
// Waits end at once for the child's exit or a window message; only new output is noticed at the
// end of a wait. Right after output the waits are short, and they grow while the child stays
// quiet, so a long quiet stretch costs almost nothing (every wake-up has a price, under Wine a
// high one) and new output is still seen within a fiftieth of a second.
constexpr int kShortestIdleWait = 5;
constexpr int kLongestIdleWait = 20;
// A child whose output ends the wait by itself needs no timer at all; the bound only guards
// against a wake-up the system never delivers.
constexpr int kEventDrivenIdleWait = 250;
// A grandchild that inherited the pipe can hold it open after the child has gone: once the
// child has exited, stop when the pipe has stayed quiet this long, or at the latest after the
// second bound.
constexpr auto kQuietAfterExit = std::chrono::milliseconds(500);
constexpr auto kLongestAfterExit = std::chrono::seconds(5);

void drain_messages() {
    if (WindowServices* window = platform().window) window->drain_message_queue();
}

// Up to and including the last backslash; empty when there is none (the child then starts in
// our own current folder).
Text working_folder_of(std::string_view program_path) {
    std::size_t separator = program_path.rfind('\\');
    return separator == std::string_view::npos ? Text()
                                               : Text(program_path.substr(0, separator + 1));
}

// One run's reading of the report: normalises each read, analyses it and keeps what the caller
// asked for.
class ReportReader {
  public:
    explicit ReportReader(const RunOptions& options)
        : options_(options), analyser_(options.duration_seconds) {}

    void take(const std::uint8_t* bytes, std::size_t count) {
        // The piece ends at the first zero byte: a text holds none.
        std::size_t kept = 0;
        while (kept < count && bytes[kept] != 0) ++kept;
        Text piece;
        normaliser_.feed(bytes, kept, piece);
        drain_messages();
        if (piece.empty()) return;
        ChunkAnalyser::Result analysed = analyser_.analyse(piece);
        if (options_.listener) options_.listener({analysed.status, std::move(analysed.progress)});
        if (options_.captured_output) options_.captured_output->append(piece);
        if (options_.report_text) options_.report_text(piece);
    }

  private:
    const RunOptions& options_;
    ReportNormaliser normaliser_;
    ChunkAnalyser analyser_;
};

// Reads until the child has exited and its pipe is empty and closed; waits instead of
// spinning while there is nothing to read.
std::uint32_t read_whole_report(ChildProcess& child, ReportReader& reader) {
    std::uint8_t buffer[kReadBytes];
    std::optional<Clock::time_point> exit_seen;
    std::optional<Clock::time_point> last_bytes;
    int idle_wait = kShortestIdleWait;
    for (;;) {
        std::optional<std::size_t> waiting = child.bytes_waiting();
        if (waiting && *waiting > 0) {
            std::size_t count = child.read(buffer, sizeof buffer);
            if (count > 0) {
                reader.take(buffer, count);
                last_bytes = Clock::now();
                idle_wait = kShortestIdleWait;
                continue;
            }
        }
        std::optional<std::uint32_t> exit_code = child.exit_code();
        if (exit_code) {
            if (!waiting) return *exit_code;
            Clock::time_point now = Clock::now();
            if (!exit_seen) exit_seen = now;
            Clock::time_point quiet_since =
                last_bytes && *last_bytes > *exit_seen ? *last_bytes : *exit_seen;
            if (now - quiet_since >= kQuietAfterExit || now - *exit_seen >= kLongestAfterExit) {
                return *exit_code;
            }
        }
        child.wait(child.wakes_on_output() ? kEventDrivenIdleWait : idle_wait);
        idle_wait = std::min(2 * idle_wait, kLongestIdleWait);
        drain_messages();
    }
}

}  // namespace

// Attaches a child to the run's control for the child's lifetime.
class ChildAttachment {
  public:
    ChildAttachment(RunControl* control, ChildProcess& child) : control_(control) {
        if (control_) control_->child_ = &child;
    }
    ~ChildAttachment() {
        if (control_) control_->child_ = nullptr;
    }
    ChildAttachment(const ChildAttachment&) = delete;
    ChildAttachment& operator=(const ChildAttachment&) = delete;

  private:
    RunControl* control_;
};

std::uint32_t RunControl::process_id() const {
    return child_ ? child_->process_id() : 0;
}

void RunControl::terminate() {
    if (child_) child_->terminate();
}

RunResult run_console_tool(std::string_view program_path, std::string_view command_line,
                           const RunOptions& options) {
    if (options.captured_output) options.captured_output->clear();
    RunResult result;

    if (!platform().files->path_present(program_path)) {
        result.outcome = RunOutcome::missing_program;
        return result;
    }

    std::unique_ptr<ChildProcess> child = platform().processes->start_child(
        program_path, command_line, working_folder_of(program_path));
    if (!child) return result;

    ChildAttachment attachment(options.control, *child);
    ReportReader reader(options);
    result.exit_code = read_whole_report(*child, reader);
    result.outcome = RunOutcome::exited;
    return result;
}

}  // namespace quelvarn
