// The main window as data: its properties, and one row per control in stacking order (an earlier
// row lies above a later one with the same parent). The window framework builds the window from
// this table and raises the events bound here.
#pragma once

#include <string_view>

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
    // Push buttons: the clicked event.
    void (*on_clicked)() = nullptr;
    // Drop targets: the files event, with every dropped path.
    void (*on_files)(std::string_view dropped_text) = nullptr;
    // Drop targets: false while drops are to be refused.
    bool (*accepting)() = nullptr;
};

struct WindowLayout {
    std::string_view caption;
    // Outer size, frame and title bar included; the window is centred on the screen.
    int width, height;
    const ControlRow* rows;
    int row_count;
    void (*on_created)();
    void (*on_destroying)();
};

const WindowLayout& main_window_layout();

// Row i of a layout is the control with the system identifier kFirstControlId + i; the
// identifiers stay clear of the dialog commands (IDOK, IDCANCEL, ...).
inline constexpr int kFirstControlId = 100;

// The row of a control, or nullptr for a name the layout does not hold.
const ControlRow* find_control_row(std::string_view name);
// The identifier of a control of the main window; 0 for an unknown name.
int layout_control_id(std::string_view name);

}  // namespace quelvarn
