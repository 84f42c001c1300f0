#include "app/tools.h"

#include <algorithm>
#include <thread>

namespace quelvarn {

namespace {

constexpr std::string_view kStagingSuffix = ".partial";

bool same_name(std::string_view a, std::string_view b) {
    auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return fold(x) == fold(y); });
}

std::string_view parent_of(std::string_view path) {
    const std::size_t slash = path.find_last_of('\\');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}

std::string_view leaf_of(std::string_view path) {
    const std::size_t slash = path.find_last_of('\\');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Writes the tools to a staging folder of this process's own, then renames it into place.
// "C:\ffmpeg.1234.partial" for process 1234: two instances never share one.
Text staging_folder(std::string_view folder, std::uint32_t process_id) {
    return join_texts({folder, ".", std::to_string(process_id), kStagingSuffix});
}

// "ffmpeg.<digits>.partial": what an earlier start left when it crashed while writing.
bool is_staging_name(std::string_view name, std::string_view leaf) {
    if (name.size() <= leaf.size() + 1 + kStagingSuffix.size()) return false;
    if (!same_name(name.substr(0, leaf.size() + 1), join_texts({leaf, "."}))) return false;
    if (!same_name(name.substr(name.size() - kStagingSuffix.size()), kStagingSuffix)) return false;
    const std::string_view digits =
        name.substr(leaf.size() + 1, name.size() - leaf.size() - 1 - kStagingSuffix.size());
    return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// One folder that holds the tools, or is to hold them.
class ToolsFolder {
  public:
    ToolsFolder(ToolStore& store, PayloadWriter* payloads, const ToolPins& pins,
                const ToolsOptions& options, Text folder)
        : store_(store),
          payloads_(payloads),
          pins_(pins),
          options_(options),
          folder_(std::move(folder)) {}

    Text converter_path() const { return join_texts({folder_, "\\", pins_[0].file_name}); }

    // The converter, when the folder holds exactly the three tools and the converter is
    // byte-identical to ours. Anything more (a DLL the converter would load, a bin\ layout)
    // makes it someone else's.
    std::unique_ptr<VerifiedTool> verify() {
        std::vector<Text> names;
        if (store_.list_folder(folder_, names) != 0 || names.size() != pins_.size()) return nullptr;
        for (const ToolPin& pin : pins_) {
            if (std::none_of(names.begin(), names.end(),
                             [&](const Text& name) { return same_name(name, pin.file_name); })) {
                return nullptr;
            }
        }
        // The other two are never run: their sizes show that they were written whole.
        for (std::size_t i = 1; i < pins_.size(); ++i) {
            std::uint64_t size = 0;
            const Text path = join_texts({folder_, "\\", pins_[i].file_name});
            if (store_.file_size(path, size) != 0 || size != pins_[i].size) return nullptr;
        }
        HashedFile converter;
        if (store_.hold_and_hash(converter_path(), converter) != 0) return nullptr;
        if (converter.size != pins_[0].size || converter.sha256 != pins_[0].sha256) return nullptr;
        return std::make_unique<VerifiedTool>(converter_path(), std::move(converter.hold));
    }

    // Writes the tools into the folder, which must not exist. 0 and the converter, or the
    // error that stopped it; nothing of a failed attempt is left behind.
    SystemError write(std::unique_ptr<VerifiedTool>& converter) {
        if (payloads_ == nullptr) return kErrorFileNotFound;
        const Text staging = staging_folder(folder_, store_.process_id());
        const Text sddl = tools_folder_sddl(store_.user_sid());
        if (SystemError error = store_.make_folder(staging, sddl)) return error;
        if (SystemError error = write_payloads(staging)) {
            store_.remove_tree(staging);
            return error;
        }
        if (SystemError error = store_.rename_folder(staging, folder_)) {
            store_.remove_tree(staging);
            // Someone else (another user's instance, which our lock does not reach) may have
            // put the same tools there in the meantime.
            if ((converter = verify())) return 0;
            return error;
        }
        if ((converter = verify())) return 0;
        // Ours since the rename a moment ago: a copy that does not read back right goes.
        store_.remove_tree(folder_);
        return kErrorFileCorrupt;
    }

    // Removes what crashed starts left while writing this folder. Only under the lock: without
    // it a staging folder may belong to an instance that is writing it right now.
    void remove_crash_leftovers() {
        const std::string_view parent = parent_of(folder_);
        std::vector<Text> names;
        if (parent.empty() || store_.list_folder(join_texts({parent, "\\"}), names) != 0) return;
        for (const Text& name : names) {
            if (is_staging_name(name, leaf_of(folder_))) {
                store_.remove_tree(join_texts({parent, "\\", name}));
            }
        }
    }

    PathKind kind() { return store_.path_kind(folder_); }
    SystemError remove() { return store_.remove_tree(folder_); }
    const Text& path() const { return folder_; }

  private:
    SystemError write_payloads(const Text& staging) {
        std::array<SystemError, std::tuple_size_v<ToolPins>> errors{};
        auto write_one = [&](std::size_t i) {
            errors[i] = payloads_->write_payload(static_cast<int>(i),
                                                 join_texts({staging, "\\", pins_[i].file_name}));
        };
        if (options_.parallel_writes) {
            std::vector<std::thread> writers;
            for (std::size_t i = 1; i < errors.size(); ++i) writers.emplace_back(write_one, i);
            write_one(0);
            for (std::thread& writer : writers) writer.join();
        } else {
            for (std::size_t i = 0; i < errors.size(); ++i) {
                write_one(i);
                if (errors[i] != 0) break;
            }
        }
        for (SystemError error : errors) {
            if (error != 0) return error;
        }
        return 0;
    }

    ToolStore& store_;
    PayloadWriter* payloads_;
    const ToolPins& pins_;
    const ToolsOptions& options_;
    Text folder_;
};

enum class Found { verified, foreign, failed };

// Uses the folder when it holds our tools, or writes them there when it is absent. A folder
// that is `ours` (the per-user one) is replaced when it holds anything else; any other is left
// as it is and reported foreign.
Found use_or_write(ToolsFolder& folder, bool ours, const Text& lock_name,
                   const ToolsOptions& options, ToolStore& store,
                   std::unique_ptr<VerifiedTool>& converter, SystemError& error) {
    PathKind kind = folder.kind();
    if (kind == PathKind::folder && (converter = folder.verify())) return Found::verified;
    if (kind != PathKind::none && !ours) return Found::foreign;

    // Serialises the instances that start together: the second waits here and then finds the
    // folder the first wrote. Without the lock (another user holds it) the writing is still
    // safe, only leftovers stay.
    std::unique_ptr<HeldLock> lock = store.take_lock(lock_name, options.lock_milliseconds);
    kind = folder.kind();
    if (kind == PathKind::folder && (converter = folder.verify())) return Found::verified;
    if (kind != PathKind::none) {
        if (!ours) return Found::foreign;
        if ((error = folder.remove())) return Found::failed;
    }
    if (lock) folder.remove_crash_leftovers();
    error = folder.write(converter);
    return error ? Found::failed : Found::verified;
}

}  // namespace

Text user_tools_folder(ToolStore& store, const ToolPins& pins) {
    const Text data = store.local_app_data();
    if (data.empty()) return {};
    return join_texts({data, "\\Quelvarn\\tools\\", pins[0].sha256.substr(0, 12)});
}

Text tools_folder_sddl(std::string_view user_sid) {
    // Without the user's identifier, the owner's rights: the creator is the owner.
    const std::string_view creator = user_sid.empty() ? std::string_view("OW") : user_sid;
    return join_texts(
        {"D:P(A;OICI;FA;;;", creator, ")(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;FRFX;;;BU)"});
}

PreparedTools prepare_tools(ToolStore& store, PayloadWriter* payloads, const ToolPins& pins,
                            const ToolsOptions& options) {
    PreparedTools prepared;
    ToolsFolder shared(store, payloads, pins, options, Text(kSharedToolsFolder));
    SystemError error = 0;
    Found found = use_or_write(shared, false, "Global\\Quelvarn-tools-shared", options, store,
                               prepared.converter, error);
    prepared.converter_path = shared.converter_path();
    if (found == Found::verified) return prepared;
    if (found == Found::failed) {
        prepared.failures.push_back({shared.path(), store.describe_error(error)});
    }

    const Text user_folder = user_tools_folder(store, pins);
    if (user_folder.empty()) return prepared;
    ToolsFolder own(store, payloads, pins, options, user_folder);
    prepared.converter_path = own.converter_path();
    error = payloads ? store.make_folders(parent_of(user_folder)) : 0;
    if (error == 0) {
        const Text sid = store.user_sid();
        const Text lock_name = sid.empty() ? Text("Local\\Quelvarn-tools-user")
                                           : join_texts({"Global\\Quelvarn-tools-", sid});
        found = use_or_write(own, true, lock_name, options, store, prepared.converter, error);
    }
    if (prepared.converter) {
        prepared.failures.clear();
    } else if (error != 0) {
        prepared.failures.push_back({own.path(), store.describe_error(error)});
    }
    return prepared;
}

}  // namespace quelvarn
