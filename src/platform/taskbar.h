// The main window's taskbar button: where a user who has put the window aside sees how far a
// conversion has come and whether it failed.
#pragma once

namespace quelvarn {

class TaskbarServices {
  public:
    virtual ~TaskbarServices() = default;

    // The button shows a run in progress, `percent` (0 to 100) done.
    virtual void show_progress(double percent) = 0;
    // The button shows that the last run failed, until it shows something else.
    virtual void show_error() = 0;
    // The button shows no progress: nothing runs.
    virtual void clear() = 0;
    // Draws the user's eye to the button when the window is not in front, until it is brought
    // there; nothing when it is in front already.
    virtual void flash_if_inactive() = 0;
};

}  // namespace quelvarn
