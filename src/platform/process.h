// Child processes with their standard output and standard error on one pipe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "text/text.h"

namespace quelvarn {

class ChildProcess {
  public:
    virtual ~ChildProcess() = default;

    virtual std::uint32_t process_id() const = 0;
    // Bytes waiting in the pipe; nullopt once the pipe is empty and every writer has closed it.
    virtual std::optional<std::size_t> bytes_waiting() = 0;
    // Reads at most `capacity` bytes that are waiting; 0 when the read fails.
    virtual std::size_t read(std::uint8_t* buffer, std::size_t capacity) = 0;
    // The exit code once the child has ended; nullopt while it runs.
    virtual std::optional<std::uint32_t> exit_code() = 0;
    // True when wait() also ends as soon as new output arrives (then long waits cost nothing).
    virtual bool wakes_on_output() const { return false; }
    // Returns when the child ends, a window message arrives for this thread, or the time is up;
    // once the child has ended, only a message or the time.
    virtual void wait(int milliseconds) = 0;
    // Ends the child and returns once it is gone (or after a few seconds).
    virtual void terminate() = 0;
};

class ProcessServices {
  public:
    virtual ~ProcessServices() = default;

    // Starts `program_path` hidden with the command line "<quoted program_path> <arguments>",
    // standard output and standard error on one pipe, no standard input, in `working_folder`
    // (empty: ours). `arguments` are quoted already; a blank in front of them is kept.
    // nullptr when it could not be started.
    virtual std::unique_ptr<ChildProcess> start_child(std::string_view program_path,
                                                      std::string_view arguments,
                                                      std::string_view working_folder) = 0;
    // The system's identifier of this program's own process.
    virtual std::uint32_t own_process_id() = 0;
};

}  // namespace quelvarn
