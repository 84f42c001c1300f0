#include "app/shell.h"
#include "platform/platform.h"

namespace quelvarn {

bool is_directory(std::string_view path) { return platform().files->is_directory(path); }

void provision_tools() {}

}  // namespace quelvarn
