// Child processes on the wide Win32 API: started hidden, standard output and standard error on
// one anonymous pipe that only the child inherits.
#pragma once

#include "platform/process.h"

namespace quelvarn::win32 {

class Win32Processes final : public ProcessServices {
  public:
    std::unique_ptr<ChildProcess> start_child(std::string_view program_path,
                                              std::string_view command_line,
                                              std::string_view working_folder) override;
    std::uint32_t own_process_id() override;
};

}  // namespace quelvarn::win32

namespace quelvarn {

// The one instance the program installs with set_platform.
ProcessServices& win32_processes();

}  // namespace quelvarn
