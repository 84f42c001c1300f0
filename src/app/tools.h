// Which FFmpeg tools the program runs: only the ones it carries, checked byte for byte before
// the first run and held open until it ends; written out first when no folder holds them.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "platform/payloads.h"
#include "platform/tool_store.h"
#include "text/text.h"

namespace quelvarn {

// The folder every user of the machine shares; written once, used by every later start.
inline constexpr std::string_view kSharedToolsFolder = "C:\\ffmpeg";

// A folder the tools could not be written to, and the system's reason.
struct ToolsFailure {
    Text folder;
    Text reason;
};

struct PreparedTools {
    // Null when no folder holds the tools and none could be written.
    std::unique_ptr<VerifiedTool> converter;
    // Where the converter is, or where it would have been written.
    Text converter_path;
    // Without a converter: the folders that could not be written, in the order they were tried.
    std::vector<ToolsFailure> failures;
};

struct ToolsOptions {
    // Writes the three tools at once, one thread each, instead of one after the other.
    bool parallel_writes = true;
    // How long to wait for another instance that is writing the same folder.
    int lock_milliseconds = 120000;
};

// Finds the tools the program carries, or writes them: C:\ffmpeg when it is absent or holds
// exactly them; otherwise (someone else's C:\ffmpeg, or C:\ unwritable) the user's own
// %LOCALAPPDATA%\Quelvarn\tools\<first 12 digits of the converter's hash>. A folder that is not
// ours is never changed and nothing in it is run. Without payloads nothing is written.
PreparedTools prepare_tools(ToolStore& store, PayloadWriter* payloads, const ToolPins& pins,
                            const ToolsOptions& options = {});

// The per-user folder for these tools; empty when the system names no local data folder.
Text user_tools_folder(ToolStore& store, const ToolPins& pins);

// The security descriptor of a new tools folder: only its creator, the administrators and the
// system may change it, every user may read and run what is in it, and nothing is inherited
// from the folder above. Its files inherit it.
Text tools_folder_sddl(std::string_view user_sid);

}  // namespace quelvarn
