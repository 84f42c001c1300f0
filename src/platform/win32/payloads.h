// The FFmpeg tools, carried as zlib-compressed RCDATA resources of the program.
#pragma once

#include <windows.h>

#include "platform/payloads.h"

namespace quelvarn::win32 {

// Payload i is resource kFirstPayloadResource + i; cmake/payloads.cmake numbers them alike.
inline constexpr int kFirstPayloadResource = 301;

class ResourcePayloads final : public PayloadWriter {
public:
    // `module` holds the resources: the running program when null, or a module loaded as data.
    explicit ResourcePayloads(HMODULE module = nullptr) : module_(module) {}

    // Inflates straight from the mapped resource into the file, a piece at a time.
    SystemError write_payload(int index, std::string_view path) override;

private:
    HMODULE module_;
};

}  // namespace quelvarn::win32
