#include "platform/win32/system.h"

#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/files.h"
#include "platform/win32/payloads.h"
#include "platform/win32/process.h"
#include "platform/win32/tool_store.h"
#include "platform/win32/window_framework.h"

namespace quelvarn::win32 {

bool install_services() {
    if (!initialise_window_framework()) return false;
    // The FFmpeg tools ride along as resources of this program.
    static ResourcePayloads payloads;
    set_platform({&window_framework(), &win32_files(), &win32_processes(), &payloads,
                  &win32_tool_store(), &window_taskbar(), &steady_clock()});
    return true;
}

void end_program(int code) {
    window_framework().end_program(code);
    // end_program does not return; the call below only tells the compiler so.
    ExitProcess(static_cast<UINT>(code));
}

}  // namespace quelvarn::win32
