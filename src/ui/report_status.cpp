#include "platform/platform.h"
#include "ui/handlers.h"

namespace quelvarn {

void report_status(const Text& status_text, const Text&) {
    WindowServices& window = *platform().window;
    if (status_text == "任务完成") {
        window.drain_message_queue();
    } else if (status_text == "文件不存在") {
        window.show_message("文件不存在11");
    } else if (status_text == "输入输出错误") {
        window.drain_message_queue();
        window.show_message("输入输出错误");
    }
}

}  // namespace quelvarn
