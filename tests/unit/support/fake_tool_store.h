// An in-memory drive for the tool store: folders and files by path (letters fold, as on
// Windows), files held open that cannot be removed, named locks, and failures on request.
// Safe to use from several threads, as the parallel writers do.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <optional>

#include "platform/payloads.h"
#include "platform/tool_store.h"

namespace quelvarn::fakes {

class FakeToolStore : public ToolStore {
  public:
    struct MadeFolder {
        Text path;
        Text sddl;
    };

    PathKind path_kind(std::string_view path) override;
    SystemError list_folder(std::string_view path, std::vector<Text>& names) override;
    SystemError file_size(std::string_view path, std::uint64_t& size) override;
    SystemError make_folder(std::string_view path, std::string_view sddl) override;
    SystemError make_folders(std::string_view path) override;
    SystemError rename_folder(std::string_view from, std::string_view to) override;
    SystemError remove_tree(std::string_view path) override;
    SystemError hold_and_hash(std::string_view path, HashedFile& file) override;
    std::unique_ptr<HeldLock> take_lock(std::string_view name, int milliseconds) override;
    Text user_sid() override { return sid; }
    Text local_app_data() override { return app_data; }
    std::uint32_t process_id() override { return pid; }
    Text describe_error(SystemError error) override;

    void add_file(std::string_view path, std::string_view content);
    void add_folder(std::string_view path);
    // Writes a file into an existing folder; the error of a failing write otherwise.
    SystemError write_file(std::string_view path, std::string_view content);
    // Every path under the drive with its content ("<folder>" for folders), sorted.
    std::map<Text, Text> snapshot() const;
    std::optional<Text> file(std::string_view path) const;
    bool held(std::string_view path) const;

    Text sid = "S-1-5-21-1-2-3-1001";
    Text app_data = "C:\\Users\\u\\AppData\\Local";
    std::uint32_t pid = 77;
    // make_folder of these paths fails with the error given.
    std::map<Text, SystemError> failing_folders;
    // Locks that another user holds: taking one fails at once.
    std::vector<Text> unavailable_locks;
    // Runs inside take_lock (before it returns), as if another instance finished meanwhile.
    std::function<void(std::string_view)> while_waiting_for_lock;
    // Runs before each rename_folder.
    std::function<void()> before_rename;

    std::vector<MadeFolder> made_folders;
    std::vector<Text> locks_taken;
    std::vector<Text> removed;

  private:
    static Text key(std::string_view path);
    bool parent_exists(const Text& folded) const;
    bool held_below(const Text& folded) const;

    mutable std::mutex mutex_;
    // Keyed by the folded path; files keep their name as given.
    std::map<Text, std::pair<Text, Text>> files_;
    std::map<Text, Text> folders_;
    std::map<Text, int> holds_;
};

// A payload writer over the fake store: payload i is "payload i" (or `contents[i]` when set).
class FakePayloads : public PayloadWriter {
  public:
    explicit FakePayloads(FakeToolStore& store) : store_(store) {}

    SystemError write_payload(int index, std::string_view path) override;

    // The bytes the writer puts out for payload i.
    static Text content(int index) { return "payload " + std::to_string(index); }
    // Pins that match what the writer puts out.
    static ToolPins pins();

    // write_payload of this index fails with this error (none when -1).
    int failing_index = -1;
    SystemError failing_error = kErrorDiskFull;
    // Writes these bytes instead of the right ones for an index.
    std::map<int, Text> wrong_content;
    std::vector<Text> writes;

  private:
    FakeToolStore& store_;
    std::mutex mutex_;
};

}  // namespace quelvarn::fakes
