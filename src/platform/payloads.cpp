#include "platform/payloads.h"

namespace quelvarn {

namespace {
PayloadWriter* installed = nullptr;
}

PayloadWriter* payload_writer() { return installed; }

void set_payload_writer(PayloadWriter* writer) { installed = writer; }

}  // namespace quelvarn
