#include "ui/handlers.h"

#include "platform/platform.h"
#include "ui/controls.h"

namespace quelvarn {

void on_file_dropped(std::string_view dropped_text) {
    WindowServices& window = *platform().window;
    window.write_control_text(controls::kPathBox, "");
    window.write_control_text(controls::kPathBox, dropped_text);
}

void on_change_resolution_clicked() {}

}  // namespace quelvarn
