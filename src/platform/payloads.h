// The FFmpeg tools the program carries inside itself, and the service that writes one out.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/tool_store.h"

namespace quelvarn {

// File names of the tools in the tools folder, in the order they are written; the converter
// comes first. Payload i is written as kToolFileNames[i].
inline constexpr std::array<std::string_view, 3> kToolFileNames = {"ffmpeg.exe", "ffplay.exe",
                                                                   "ffprobe.exe"};

// What a tool the program carries must be, byte for byte: payloads/payloads.lock pins it.
struct ToolPin {
    std::string_view file_name;
    std::uint64_t size;
    // SHA-256, lower-case hexadecimal.
    std::string_view sha256;
};

using ToolPins = std::array<ToolPin, 3>;

class PayloadWriter {
  public:
    virtual ~PayloadWriter() = default;

    // Writes payload `index` unchanged to `path`, creating or truncating the file, and flushes
    // it to the disk. 0 only when every byte was written, flushed and the file closed; after a
    // failure no file is left there. May be called from several threads at once.
    virtual SystemError write_payload(int index, std::string_view path) = 0;
};

}  // namespace quelvarn
