#include "app/provision.h"

#include "platform/platform.h"

namespace quelvarn {

namespace {

// The tools are written here first and the folder is renamed to the tools folder only when
// every file is complete, so a start that fails part-way leaves nothing a later start trusts.
constexpr std::string_view kStagingFolder = "C:\\ffmpeg.partial";

void remove_staging(FileServices& files) {
    if (files.is_directory(kStagingFolder)) {
        files.remove_tree(kStagingFolder);
    } else if (files.path_present(kStagingFolder)) {
        files.delete_file(kStagingFolder);
    }
}

bool write_tools(FileServices& files, PayloadWriter& payloads) {
    // A start that crashed while writing may have left a staging folder behind.
    remove_staging(files);
    if (!files.make_folder(kStagingFolder)) return false;
    for (int i = 0; i < static_cast<int>(kToolFileNames.size()); ++i) {
        const Text target = join_texts({kStagingFolder, "\\", kToolFileNames[i]});
        if (!payloads.write_payload(i, target)) return false;
    }
    return files.rename_path(kStagingFolder, kToolsFolder, false);
}

}  // namespace

void provision_tools() {
    FileServices& files = *platform().files;
    // The folder's existence is the only marker: an existing folder is never touched.
    if (files.is_directory(kToolsFolder)) return;
    PayloadWriter* payloads = platform().payloads;
    // A file of that name would make the final rename fail; writing the tools would be wasted.
    if (payloads == nullptr || files.path_present(kToolsFolder)) return;
    if (!write_tools(files, *payloads)) remove_staging(files);
}

}  // namespace quelvarn
