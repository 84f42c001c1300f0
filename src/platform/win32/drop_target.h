// The drop-target component: an OLE drop target on one window that accepts file lists, plain
// text, "HTML Format" and "UniformResourceLocator" data. A drop of files becomes one files event,
// delivered through a message posted to the window that raises the program's events.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>

#include "platform/win32/com_ptr.h"
#include "text/text.h"

namespace quelvarn::win32 {

class FileDropTarget;

// The component of the layout, bound at most once to a window.
class DropTargetComponent {
  public:
    // Drops are announced with `event_message` posted to `event_window`.
    DropTargetComponent(HWND event_window, UINT event_message, std::function<bool()> accepting);
    ~DropTargetComponent();
    DropTargetComponent(const DropTargetComponent&) = delete;
    DropTargetComponent& operator=(const DropTargetComponent&) = delete;

    // Registers the drop target on `window`; false when it is bound already or registration
    // fails (the first binding stays).
    bool bind(HWND window);
    // Withdraws the registration; the window must still exist.
    void revoke();
    void set_enabled(bool enabled);
    // The text of the oldest files event not yet raised.
    std::optional<Text> take_files_event();

  private:
    ComPtr<FileDropTarget> target_;
    HWND bound_window_ = nullptr;
    bool ever_bound_ = false;
};

}  // namespace quelvarn::win32
