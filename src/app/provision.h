// The FFmpeg tools folder: where the tools live and how a first start writes them.
#pragma once

#include <string_view>

namespace quelvarn {

inline constexpr std::string_view kToolsFolder = "C:\\ffmpeg";
inline constexpr std::string_view kConverterPath = "C:\\ffmpeg\\ffmpeg.exe";

// Writes the embedded tools into the tools folder when that folder does not exist.
void provision_tools();

}  // namespace quelvarn
