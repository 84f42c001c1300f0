#include "platform/win32/taskbar.h"

#include <cmath>
#include <utility>

namespace quelvarn::win32 {

namespace {

// Progress in tenths of a percent: the bar moves smoothly on a wide button.
constexpr ULONGLONG kProgressSteps = 1000;

}  // namespace

TaskbarButton::TaskbarButton(std::function<HWND()> window, ComPtr<ITaskbarList3> list)
    : window_(std::move(window)), list_(std::move(list)), made_(static_cast<bool>(list_)) {}

ITaskbarList3* TaskbarButton::list() {
    if (!made_) {
        // Once: a system without a taskbar list stays without one.
        made_ = true;
        if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_ITaskbarList3, reinterpret_cast<void**>(list_.put()))) ||
            FAILED(list_->HrInit())) {
            list_.reset();
        }
    }
    return list_.get();
}

void TaskbarButton::set_state(HWND window, TBPFLAG state) {
    if (state == state_) return;
    if (SUCCEEDED(list()->SetProgressState(window, state))) state_ = state;
}

void TaskbarButton::show_progress(double percent) {
    HWND window = window_();
    if (!window || !list()) return;
    if (!(percent > 0)) percent = 0;
    if (percent > 100) percent = 100;
    set_state(window, TBPF_NORMAL);
    list()->SetProgressValue(window,
                             static_cast<ULONGLONG>(std::lround(percent * kProgressSteps / 100)),
                             kProgressSteps);
}

void TaskbarButton::show_error() {
    HWND window = window_();
    if (!window || !list()) return;
    set_state(window, TBPF_ERROR);
    // A full bar: a failure that came before any progress still shows.
    list()->SetProgressValue(window, kProgressSteps, kProgressSteps);
}

void TaskbarButton::clear() {
    HWND window = window_();
    if (!window || !list()) return;
    set_state(window, TBPF_NOPROGRESS);
}

void TaskbarButton::release() {
    list_.reset();
    made_ = true;
}

void TaskbarButton::flash_if_inactive() {
    HWND window = window_();
    if (!window || GetForegroundWindow() == window) return;
    FLASHWINFO flash = {};
    flash.cbSize = sizeof flash;
    flash.hwnd = window;
    // The button only, until the window comes to the front.
    flash.dwFlags = FLASHW_TRAY | FLASHW_TIMERNOFG;
    FlashWindowEx(&flash);
}

}  // namespace quelvarn::win32
