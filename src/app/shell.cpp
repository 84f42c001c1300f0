#include "app/shell.h"

#include "app/globals.h"
#include "platform/shell_services.h"
#include "runner/runner.h"
#include "ui/controls.h"
#include "ui/handlers.h"
#include "ui/layout.h"

namespace quelvarn {

int start_up() {
    ShellServices& shell = *shell_services();
    shell.register_cleanup(release_globals);
    // The four global texts start empty; nothing else needs setting up.
    shell.load_window(main_window_layout());
    shell.run_message_loop();
    return 0;
}

void on_main_window_created() {
    provision_tools();
    ShellServices& shell = *shell_services();
    shell.bind_drop_target(controls::kDropTarget, shell.control_handle(controls::kPathBox));
}

void on_main_window_destroying() {
    // Only the converter this program started is stopped: an ffmpeg.exe of another program
    // keeps running and keeps its work.
    terminate_running_tool();
    discard_pending_output();
    shell_services()->end_program(0);
}

}  // namespace quelvarn
