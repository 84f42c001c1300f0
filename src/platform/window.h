// What the portable code needs from the window framework: a window built from a layout table,
// its events, its controls (addressed by the names the table gives them), message boxes and the
// end of the program.
#pragma once

#include <string_view>
#include <vector>

#include "text/text.h"

namespace quelvarn {

enum class ControlKind { edit_box, label, transparent_label, group_box, push_button, drop_target };

struct ControlRow {
    ControlKind kind;
    std::string_view name;
    // Empty: the main window.
    std::string_view parent;
    int left, top, width, height;
    std::string_view initial_text;
    // Transparent labels only: wrap at word boundaries from the top instead of one centred line.
    bool wraps = false;
};

// The main window as data: its properties, and one row per control in stacking order (an earlier
// row lies above a later one with the same parent).
struct WindowLayout {
    std::string_view caption;
    // Outer size, frame and title bar included; the window is centred on the screen.
    int width, height;
    const ControlRow* rows;
    int row_count;
};

// Row i of a layout is the control with the system identifier kFirstControlId + i; the
// identifiers stay clear of the dialog commands (IDOK, IDCANCEL, ...).
inline constexpr int kFirstControlId = 100;

// The events of the loaded window. They arrive on the window's thread, also while a handler
// waits inside the runner.
class WindowEvents {
  public:
    virtual ~WindowEvents() = default;

    // The window and its controls exist and are not shown yet.
    virtual void on_created() = 0;
    virtual void on_clicked(std::string_view button) = 0;
    // A drop of files on a drop target's window; every path of the drop, in the drop's order.
    virtual void on_files_dropped(std::string_view drop_target, const std::vector<Text>& paths) = 0;
    // False while drops on that drop target are to be refused.
    virtual bool accepting_files(std::string_view drop_target) = 0;
    // The window is being destroyed (closed by the user); the program ends afterwards.
    virtual void on_destroying() = 0;
};

// Message box styles the program uses (the values of the system's MB_ constants).
inline constexpr unsigned kMessageOk = 0x0;
inline constexpr std::string_view kDefaultMessageCaption = "信息：";

class WindowServices {
  public:
    virtual ~WindowServices() = default;

    // Creates the window and its controls, raises on_created, and only then shows it. When the
    // window cannot be created it reports a fatal error and ends the process.
    virtual void load_window(const WindowLayout& layout, WindowEvents& events) = 0;
    // Dispatches messages until the program ends.
    virtual void run_message_loop() = 0;
    // Releases the framework's resources and ends the process with `code`.
    [[noreturn]] virtual void end_program(int code) = 0;
    // Makes the window of `control` the drop area of the drop target `drop_target`; a drop
    // target is bound only once.
    virtual bool bind_drop_target(std::string_view drop_target, std::string_view control) = 0;

    // Replaces the main window's caption, which its taskbar button shows too.
    virtual void set_window_caption(std::string_view text) = 0;
    // Current text of an edit box, or the caption of a label.
    virtual Text read_control_text(std::string_view control) = 0;
    // Replaces it; a transparent label repaints its parent's background under it first.
    virtual void write_control_text(std::string_view control, std::string_view text) = 0;
    virtual void enable_control(std::string_view control, bool enabled) = 0;
    // Dispatches the messages already queued for this thread, without waiting.
    virtual void drain_message_queue() = 0;
    // A task-modal box with no owner; returns the button number (0 for OK).
    virtual int show_message(std::string_view text, unsigned style = kMessageOk,
                             std::string_view caption = kDefaultMessageCaption) = 0;
    // Appends a line to the lifecycle trace, when one was asked for.
    virtual void trace(std::string_view line) = 0;
};

}  // namespace quelvarn
