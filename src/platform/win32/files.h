// File services on the wide Win32 API: UTF-8 paths are converted to UTF-16 at every call.
#pragma once

#include "platform/files.h"

namespace quelvarn::win32 {

class Win32Files final : public FileServices {
  public:
    bool make_folder(std::string_view path) override;
    bool path_present(std::string_view path) override;
    bool is_directory(std::string_view path) override;
    bool delete_file(std::string_view path) override;
    bool create_new_file(std::string_view path) override;
    bool rename_path(std::string_view from, std::string_view to, bool replace) override;
    bool remove_tree(std::string_view path) override;
    bool same_file(std::string_view a, std::string_view b) override;
    Text program_folder() override;
    Text short_path_name(std::string_view path, int capacity) override;
};

}  // namespace quelvarn::win32

namespace quelvarn {

// The one instance the program installs with set_platform.
FileServices& win32_files();

}  // namespace quelvarn
