// The main window as data (see platform/window.h for the table's form).
#pragma once

#include <string_view>

#include "platform/window.h"

namespace quelvarn {

const WindowLayout& main_window_layout();

// The row of a control, or nullptr for a name the layout does not hold.
const ControlRow* find_control_row(std::string_view name);
// The identifier of a control of the main window; 0 for an unknown name.
int layout_control_id(std::string_view name);

}  // namespace quelvarn
