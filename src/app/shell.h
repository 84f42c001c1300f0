// Start-up, window set-up, tool provisioning and shutdown.
#pragma once

#include <memory>
#include <string_view>

#include "app/tools.h"
#include "text/text.h"

namespace quelvarn {

// The start-up routine the platform runs once it has initialised itself: registers the
// shutdown routine, loads the main window and runs the message loop. Returns 0.
int start_up();

void on_main_window_created();
void on_main_window_destroying();

// Finds the tools the program carries, or writes them (see app/tools.h); says so in a box when
// they cannot be written anywhere.
void provision_tools();
// The converter checked at start-up; empty when there is none, and nothing may be run.
Text runnable_converter();
void set_verified_converter(std::unique_ptr<VerifiedTool> converter);

}  // namespace quelvarn
