// What writing and checking the FFmpeg tools needs from the system: folders made with a given
// security descriptor, files held open against change while they are hashed, a lock shared by
// every instance of the program, and the system's words for a failure.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "text/text.h"

namespace quelvarn {

// The system's error code of a failed call; 0 when it succeeded.
using SystemError = std::uint32_t;

// Codes portable code names (the values of the system's ERROR_ constants).
inline constexpr SystemError kErrorFileNotFound = 2;
inline constexpr SystemError kErrorAccessDenied = 5;
inline constexpr SystemError kErrorInvalidData = 13;
inline constexpr SystemError kErrorDiskFull = 112;
inline constexpr SystemError kErrorAlreadyExists = 183;
// A written tool that does not read back as the one the program carries.
inline constexpr SystemError kErrorFileCorrupt = 1392;

// An open file that nobody can write, replace or delete while this object lives.
class HeldFile {
  public:
    virtual ~HeldFile() = default;
};

// A tool byte-identical to the one the program carries. The file stays open, shared for reading
// only, as long as this object lives, so it cannot be changed or replaced between the check and
// any start of it.
class VerifiedTool {
  public:
    VerifiedTool(Text path, std::unique_ptr<HeldFile> hold)
        : path_(std::move(path)), hold_(std::move(hold)) {}

    const Text& path() const { return path_; }

  private:
    Text path_;
    std::unique_ptr<HeldFile> hold_;
};

struct HashedFile {
    std::unique_ptr<HeldFile> hold;
    std::uint64_t size = 0;
    // SHA-256 of the content, lower-case hexadecimal.
    Text sha256;
};

// A lock held until the object is destroyed.
class HeldLock {
  public:
    virtual ~HeldLock() = default;
};

enum class PathKind { none, file, folder };

class ToolStore {
  public:
    virtual ~ToolStore() = default;

    virtual PathKind path_kind(std::string_view path) = 0;
    // The names in a folder, without "." and "..".
    virtual SystemError list_folder(std::string_view path, std::vector<Text>& names) = 0;
    virtual SystemError file_size(std::string_view path, std::uint64_t& size) = 0;
    // Creates one folder whose parent exists, with the security descriptor given in SDDL (empty:
    // the one the parent passes on); fails when something of that name exists.
    virtual SystemError make_folder(std::string_view path, std::string_view sddl) = 0;
    // Creates a folder and every missing folder above it, with the descriptors their parents
    // pass on; succeeds when it exists already as a folder.
    virtual SystemError make_folders(std::string_view path) = 0;
    // Renames a folder; fails when the target exists.
    virtual SystemError rename_folder(std::string_view from, std::string_view to) = 0;
    // Removes a file, or a folder with everything in it.
    virtual SystemError remove_tree(std::string_view path) = 0;
    // Opens the file so that others may only read it, hashes its content as a stream and keeps
    // it open in `file.hold`.
    virtual SystemError hold_and_hash(std::string_view path, HashedFile& file) = 0;
    // Takes the lock of that name that every process of the machine shares, waiting for it at
    // most `milliseconds`; null when it cannot be had.
    virtual std::unique_ptr<HeldLock> take_lock(std::string_view name, int milliseconds) = 0;

    // The current user's security identifier as text ("S-1-5-21-..."); empty when unknown.
    virtual Text user_sid() = 0;
    // The user's folder for local application data; empty when unknown.
    virtual Text local_app_data() = 0;
    virtual std::uint32_t process_id() = 0;
    // The system's own sentence for an error code.
    virtual Text describe_error(SystemError error) = 0;
};

}  // namespace quelvarn
