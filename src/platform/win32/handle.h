// The one owner of Win32 handles: a handle of any kind, closed by its own function, with the
// empty value(s) of its kind. Not copyable; ownership moves, or is taken and handed on.
#pragma once

#include <windows.h>

namespace quelvarn::win32 {

// Traits: `Type`, `none()` (the value an empty owner holds), `valid(handle)` and
// `close(handle)` (true when the system closed it).
template <typename Traits>
class UniqueHandle {
  public:
    using Type = typename Traits::Type;

    UniqueHandle() = default;
    explicit UniqueHandle(Type handle) : handle_(handle) {}
    ~UniqueHandle() { close(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Type get() const { return handle_; }
    explicit operator bool() const { return Traits::valid(handle_); }

    // Hands the handle on; the owner is empty afterwards.
    Type release() {
        Type handle = handle_;
        handle_ = Traits::none();
        return handle;
    }
    void reset(Type handle = Traits::none()) {
        close();
        handle_ = handle;
    }
    // False only when the system failed to close a handle held: closing a written file can
    // still fail to write what the system held back. The owner is empty afterwards either way.
    bool close() {
        Type handle = release();
        return !Traits::valid(handle) || Traits::close(handle);
    }

  private:
    Type handle_ = Traits::none();
};

// Kernel objects: files, pipes, processes, threads, events.
struct KernelHandleTraits {
    using Type = HANDLE;
    static Type none() { return nullptr; }
    // Some functions report failure as null, others as INVALID_HANDLE_VALUE.
    static bool valid(Type handle) { return handle && handle != INVALID_HANDLE_VALUE; }
    static bool close(Type handle) { return CloseHandle(handle) != 0; }
};

struct FindHandleTraits {
    using Type = HANDLE;
    static Type none() { return INVALID_HANDLE_VALUE; }
    static bool valid(Type handle) { return handle && handle != INVALID_HANDLE_VALUE; }
    static bool close(Type handle) { return FindClose(handle) != 0; }
};

// Icons loaded without LR_SHARED; shared ones belong to the system.
struct IconHandleTraits {
    using Type = HICON;
    static Type none() { return nullptr; }
    static bool valid(Type handle) { return handle != nullptr; }
    static bool close(Type handle) { return DestroyIcon(handle) != 0; }
};

// Fonts the program made; stock fonts belong to the system.
struct FontHandleTraits {
    using Type = HFONT;
    static Type none() { return nullptr; }
    static bool valid(Type handle) { return handle != nullptr; }
    static bool close(Type handle) { return DeleteObject(handle) != 0; }
};

using KernelHandle = UniqueHandle<KernelHandleTraits>;
using FindHandle = UniqueHandle<FindHandleTraits>;
using IconHandle = UniqueHandle<IconHandleTraits>;
using FontHandle = UniqueHandle<FontHandleTraits>;

}  // namespace quelvarn::win32
