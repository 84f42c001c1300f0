#include <memory>

#include "app/globals.h"
#include "app/shell.h"
#include "app/tools.h"
#include "payload_pins.h"
#include "platform/platform.h"

namespace quelvarn {

namespace {

// The converter this process checked and holds open; null when none could be had.
std::unique_ptr<VerifiedTool> verified_converter;

Text tools_failure_message(const std::vector<ToolsFailure>& failures) {
    Text message = "无法写入转换工具，转换将无法进行。";
    for (const ToolsFailure& failure : failures) {
        message += join_texts({"\n", failure.folder, "：", failure.reason});
    }
    return message;
}

}  // namespace

void provision_tools() {
    ToolStore* store = platform().tools;
    if (store == nullptr) return;
    PreparedTools prepared = prepare_tools(*store, payload_writer(), kBundledToolPins);
    verified_converter = std::move(prepared.converter);
    ffmpeg_path = prepared.converter_path;
    if (!verified_converter && !prepared.failures.empty()) {
        platform().window->show_message(tools_failure_message(prepared.failures));
    }
}

void set_verified_converter(std::unique_ptr<VerifiedTool> converter) {
    verified_converter = std::move(converter);
}

Text runnable_converter() { return verified_converter ? verified_converter->path() : Text(); }

}  // namespace quelvarn
