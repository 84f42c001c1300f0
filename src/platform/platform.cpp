#include "platform/platform.h"

namespace quelvarn {

namespace {
Platform installed;
}

Platform& platform() { return installed; }

void set_platform(const Platform& services) { installed = services; }

}  // namespace quelvarn
