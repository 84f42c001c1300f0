// The program: owns the session and the main window's handlers, answers the window's events,
// and provisions the tools when the window has been created.
#pragma once

#include <string_view>
#include <vector>

#include "payload_pins.h"
#include "platform/window.h"
#include "ui/main_window.h"
#include "ui/session.h"

namespace quelvarn {

class Program final : public WindowEvents {
  public:
    // `pins` say what the tools must be: the ones this program carries unless a test says else.
    explicit Program(const ToolPins& pins = kBundledToolPins) : pins_(pins) {}

    // Loads the main window and runs the message loop until the program ends. The platform
    // services must be installed.
    int run();

    void on_created() override;
    void on_clicked(std::string_view button) override;
    void on_files_dropped(std::string_view drop_target, const std::vector<Text>& paths) override;
    bool accepting_files(std::string_view drop_target) override;
    void on_destroying() override;

  private:
    const ToolPins& pins_;
    Session session_;
    MainWindow main_window_{session_};
};

}  // namespace quelvarn
