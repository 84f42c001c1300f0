// The Win32 taskbar button: progress and error through the shell's ITaskbarList3, and a flash
// of the button when the window is not in front.
#pragma once

#include <windows.h>
#include <shobjidl.h>

#include <functional>

#include "platform/taskbar.h"
#include "platform/win32/com_ptr.h"

namespace quelvarn::win32 {

class TaskbarButton final : public TaskbarServices {
  public:
    // The button of the window `window` gives (asked at each call: the window is made later
    // than the services). The taskbar list is made on first use unless one is given.
    explicit TaskbarButton(std::function<HWND()> window, ComPtr<ITaskbarList3> list = {});

    void show_progress(double percent) override;
    void show_error() override;
    void clear() override;
    void flash_if_inactive() override;

    // Lets go of the shell's taskbar list (before COM ends); the button shows nothing more.
    void release();

  private:
    // Null when the system has no taskbar list (then the button shows nothing).
    ITaskbarList3* list();
    void set_state(HWND window, TBPFLAG state);

    std::function<HWND()> window_;
    ComPtr<ITaskbarList3> list_;
    bool made_ = false;
    TBPFLAG state_ = TBPF_NOPROGRESS;
};

}  // namespace quelvarn::win32
