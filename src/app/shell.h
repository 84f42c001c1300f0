// Start-up, window set-up, tool provisioning and shutdown.
#pragma once

#include <string_view>

namespace quelvarn {

void on_main_window_created();
void on_main_window_destroying();

// Writes the embedded tools into the tools folder when that folder does not exist.
void provision_tools();
bool is_directory(std::string_view path);

}  // namespace quelvarn
