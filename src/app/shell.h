// Start-up, window set-up, tool provisioning and shutdown.
#pragma once

#include <string_view>

namespace quelvarn {

// The start-up routine the platform runs once it has initialised itself: registers the
// shutdown routine, loads the main window and runs the message loop. Returns 0.
int start_up();

void on_main_window_created();
void on_main_window_destroying();

// Writes the embedded tools into the tools folder when that folder does not exist.
void provision_tools();
bool is_directory(std::string_view path);

}  // namespace quelvarn
