// The main window's event handlers and its status handler.
#pragma once

#include <string_view>

#include "text/text.h"

namespace quelvarn {

// Files event of the drop target on the path box: every path followed by "\r\n".
void on_file_dropped(std::string_view dropped_text);
void on_change_resolution_clicked();
// Status handler of every run started from the window.
void report_status(const Text& status_text, const Text& extra_text);

// True while a probe or a conversion started from the window runs; drops are refused then.
bool tool_run_in_progress();
// Removes the unfinished output of a conversion that is being abandoned (the program closing).
void discard_pending_output();

}  // namespace quelvarn
