// What the start-up and shutdown routines need from the window framework: the window's life,
// the list of cleanup routines and the end of the program.
#pragma once

#include <string_view>

namespace quelvarn {

struct WindowLayout;

// A system window handle, opaque to portable code.
using NativeHandle = void*;

class ShellServices {
  public:
    virtual ~ShellServices() = default;

    // Adds a routine that end_program runs; one already in the list is not added again.
    virtual void register_cleanup(void (*routine)()) = 0;
    // Creates the window and its controls, raises its created event, and only then shows it.
    // When the window cannot be created it reports a fatal error and ends the process.
    virtual void load_window(const WindowLayout& layout) = 0;
    // Dispatches messages until the program ends.
    virtual void run_message_loop() = 0;
    // Runs every cleanup routine once in the order of registration, releases the framework's
    // resources and ends the process with `code`.
    [[noreturn]] virtual void end_program(int code) = 0;
    // The system window of a control of the loaded window; null when there is none.
    virtual NativeHandle control_handle(std::string_view control) = 0;
    // Makes `handle` the drop area of a drop-target component; a component is bound only once.
    virtual bool bind_drop_target(std::string_view component, NativeHandle handle) = 0;
    // Appends a line to the lifecycle trace, when one was asked for.
    virtual void trace(std::string_view line) = 0;
};

ShellServices* shell_services();
void set_shell_services(ShellServices* services);

// A line of the lifecycle trace; nothing when no framework is installed.
void trace_event(std::string_view line);

}  // namespace quelvarn
