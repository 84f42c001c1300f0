#include "app/program.h"

#include "app/provision.h"
#include "platform/platform.h"
#include "ui/controls.h"
#include "ui/layout.h"

namespace quelvarn {

int Program::run() {
    WindowServices& window = *platform().window;
    window.load_window(main_window_layout(), *this);
    window.run_message_loop();
    return 0;
}

void Program::on_created() {
    provision_tools(session_, pins_);
    platform().window->bind_drop_target(controls::kDropTarget, controls::kPathBox);
}

void Program::on_clicked(std::string_view button) {
    if (button == controls::kChangeButton) main_window_.on_change_resolution_clicked();
}

void Program::on_files_dropped(std::string_view drop_target, const std::vector<Text>& paths) {
    if (drop_target == controls::kDropTarget) main_window_.on_file_dropped(paths);
}

bool Program::accepting_files(std::string_view) {
    return main_window_.accepting_drops();
}

void Program::on_destroying() {
    main_window_.abandon_run();
    platform().window->end_program(0);
}

}  // namespace quelvarn
