// The seam between the program entry and the Win32 layer: sets the system up and installs the
// Win32 implementation of every platform service.
#pragma once

namespace quelvarn::win32 {

// Initialises the window framework and installs the window, file, process and payload services.
// False when the system could not be set up.
bool install_services();

// Releases the window framework's resources and ends the process with `code`.
[[noreturn]] void end_program(int code);

}  // namespace quelvarn::win32
