// The FFmpeg tools at start-up: found or written (app/tools.h), then held by the session.
#pragma once

#include "platform/payloads.h"
#include "ui/session.h"

namespace quelvarn {

// Gives the session the checked converter, or the path a run will name as missing; says in one
// box which folders could not be written and why when there is no converter.
void provision_tools(Session& session, const ToolPins& pins);

}  // namespace quelvarn
