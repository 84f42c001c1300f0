// The one owner of COM objects: holds one reference and releases it in its destructor. Not
// copyable; ownership moves, or is taken and handed on.
#pragma once

namespace quelvarn::win32 {

template <typename T>
class ComPtr {
  public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(ComPtr&& other) noexcept : object_(other.detach()) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) attach(other.detach());
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

    // For a function that hands out a new reference through an out-parameter.
    T** put() {
        reset();
        return &object_;
    }
    // Takes over a reference the caller holds (a new object starts with one).
    void attach(T* object) {
        reset();
        object_ = object;
    }
    // Hands the reference on; the pointer is empty afterwards.
    T* detach() {
        T* object = object_;
        object_ = nullptr;
        return object;
    }
    void reset() {
        if (T* object = detach()) object->Release();
    }

  private:
    T* object_ = nullptr;
};

}  // namespace quelvarn::win32
