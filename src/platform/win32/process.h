// Child processes on the wide Win32 API: started hidden, standard output and standard error on
// one anonymous pipe that only the child inherits.
#pragma once

#include <windows.h>

#include "platform/process.h"

namespace quelvarn::win32 {

// Owns one kernel handle and closes it; null and INVALID_HANDLE_VALUE mean none.
class OwnedHandle {
  public:
    OwnedHandle() = default;
    explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
    ~OwnedHandle() { reset(); }
    OwnedHandle(OwnedHandle&& other) noexcept : handle_(other.release()) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE release() {
        HANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    void reset(HANDLE handle = nullptr) {
        if (*this) CloseHandle(handle_);
        handle_ = handle;
    }

  private:
    HANDLE handle_ = nullptr;
};

class Win32Processes final : public ProcessServices {
  public:
    std::unique_ptr<ChildProcess> start_child(std::string_view program_path,
                                              std::string_view command_line,
                                              std::string_view working_folder) override;
};

}  // namespace quelvarn::win32

namespace quelvarn {

// The one instance the program installs with set_platform.
ProcessServices& win32_processes();

}  // namespace quelvarn
