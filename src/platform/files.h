// File-system services. Paths are UTF-8 texts; every call fails quietly with false.
#pragma once

#include <string_view>

#include "text/text.h"

namespace quelvarn {

class FileServices {
  public:
    virtual ~FileServices() = default;

    // Creates one folder whose parent exists; false when it exists already or cannot be made.
    virtual bool make_folder(std::string_view path) = 0;
    // True when a file or a folder of that name exists.
    virtual bool path_present(std::string_view path) = 0;
    virtual bool is_directory(std::string_view path) = 0;
    virtual bool delete_file(std::string_view path) = 0;
    // Creates an empty file; false when an entry of that name exists already or the file cannot
    // be made, so that a name it returned true for belongs to the caller alone.
    virtual bool create_new_file(std::string_view path) = 0;
    // Renames a file or folder, replacing an existing file of the target name when asked.
    virtual bool rename_path(std::string_view from, std::string_view to, bool replace) = 0;
    // Removes a folder with everything in it.
    virtual bool remove_tree(std::string_view path) = 0;
    // True when both paths name the same existing file (links and short names included).
    virtual bool same_file(std::string_view a, std::string_view b) = 0;
    // The folder holding the program's executable, without a trailing backslash.
    virtual Text program_folder() = 0;
    // The system's short (8.3) form of an existing path, or the empty text when none fits in
    // `capacity` bytes with its terminating zero.
    virtual Text short_path_name(std::string_view path, int capacity) = 0;
};

}  // namespace quelvarn
