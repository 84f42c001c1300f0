// The main window's handlers: a drop probes the file, the button converts it. They read what the
// user typed from the controls, keep everything else in the session, and write what the user
// should see.
#pragma once

#include <string_view>
#include <vector>

#include "ui/session.h"

namespace quelvarn {

class MainWindow {
  public:
    explicit MainWindow(Session& session) : session_(session) {}

    // Files dropped on the path box, in the drop's order.
    void on_file_dropped(const std::vector<Text>& paths);
    void on_change_resolution_clicked();
    // Drops are refused while a probe or a conversion runs.
    bool accepting_drops() const { return !session_.run_in_progress; }
    // The program is closing: stops the converter this program started (never another
    // process) and removes the unfinished output.
    void abandon_run();

  private:
    Session& session_;
};

}  // namespace quelvarn
