// The FFmpeg tools the program carries inside itself, and the service that writes one out.
#pragma once

#include <array>
#include <string_view>

namespace quelvarn {

// File names of the tools in the tools folder, in the order they are written; the converter
// comes first. Payload i is written as kToolFileNames[i].
inline constexpr std::array<std::string_view, 3> kToolFileNames = {"ffmpeg.exe", "ffplay.exe",
                                                                   "ffprobe.exe"};

class PayloadWriter {
  public:
    virtual ~PayloadWriter() = default;

    // Writes payload `index` unchanged to `path`, creating or truncating the file. True only
    // when every byte was written and the file closed; after a failure no file is left there.
    virtual bool write_payload(int index, std::string_view path) = 0;
};

}  // namespace quelvarn
