#include "app/provision.h"

#include "app/tools.h"
#include "platform/platform.h"
#include "ui/messages.h"

namespace quelvarn {

void provision_tools(Session& session, const ToolPins& pins) {
    ToolStore* store = platform().tools;
    if (store == nullptr) return;
    PreparedTools prepared = prepare_tools(*store, platform().payloads, pins);
    session.converter = std::move(prepared.converter);
    session.converter_path = prepared.converter_path;
    if (session.converter || prepared.failures.empty()) return;
    Text message(messages::kToolsNotWritten);
    for (const ToolsFailure& failure : prepared.failures) {
        message += join_texts({"\n", failure.folder, "：", failure.reason});
    }
    platform().window->show_message(message);
}

}  // namespace quelvarn
