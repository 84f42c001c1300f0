#include "support/fake_tool_store.h"

#include <algorithm>

#include "text/sha256.h"

namespace quelvarn::fakes {

namespace {

// Error codes the fake gives that portable code does not name.
constexpr SystemError kErrorPathNotFound = 3;
constexpr SystemError kErrorSharingViolation = 32;

class FakeHold : public HeldFile {
  public:
    FakeHold(std::mutex& mutex, std::map<Text, int>& holds, Text key)
        : mutex_(mutex), holds_(holds), key_(std::move(key)) {}
    ~FakeHold() override {
        std::lock_guard<std::mutex> guard(mutex_);
        if (--holds_[key_] == 0) holds_.erase(key_);
    }

  private:
    std::mutex& mutex_;
    std::map<Text, int>& holds_;
    Text key_;
};

class FakeLock : public HeldLock {};

bool starts_with(const Text& text, const Text& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

Text FakeToolStore::key(std::string_view path) {
    Text folded(path);
    while (folded.size() > 3 && folded.back() == '\\') folded.pop_back();
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

bool FakeToolStore::parent_exists(const Text& folded) const {
    const std::size_t slash = folded.find_last_of('\\');
    if (slash == Text::npos) return false;
    const Text parent = folded.substr(0, slash);
    return parent.size() == 2 || folders_.count(parent) > 0;  // "c:" is the drive
}

bool FakeToolStore::held_below(const Text& folded) const {
    for (const auto& [path, count] : holds_) {
        if (path == folded || starts_with(path, folded + "\\")) return true;
    }
    return false;
}

PathKind FakeToolStore::path_kind(std::string_view path) {
    std::lock_guard<std::mutex> guard(mutex_);
    const Text folded = key(path);
    if (folded.size() <= 3 || folders_.count(folded)) return PathKind::folder;
    return files_.count(folded) ? PathKind::file : PathKind::none;
}

SystemError FakeToolStore::list_folder(std::string_view path, std::vector<Text>& names) {
    std::lock_guard<std::mutex> guard(mutex_);
    Text folded = key(path);
    if (!folded.empty() && folded.back() == '\\') folded.pop_back();
    if (folded.size() > 2 && !folders_.count(folded)) return kErrorPathNotFound;
    names.clear();
    auto add_children = [&](const Text& entry, const Text& given) {
        if (!starts_with(entry, folded + "\\")) return;
        const Text rest = entry.substr(folded.size() + 1);
        if (rest.find('\\') == Text::npos)
            names.push_back(given.substr(given.size() - rest.size()));
    };
    for (const auto& [entry, given] : folders_) add_children(entry, given);
    for (const auto& [entry, file] : files_) add_children(entry, file.first);
    return 0;
}

SystemError FakeToolStore::file_size(std::string_view path, std::uint64_t& size) {
    std::lock_guard<std::mutex> guard(mutex_);
    auto found = files_.find(key(path));
    if (found == files_.end()) return kErrorFileNotFound;
    size = found->second.second.size();
    return 0;
}

SystemError FakeToolStore::make_folder(std::string_view path, std::string_view sddl) {
    std::lock_guard<std::mutex> guard(mutex_);
    auto failing = failing_folders.find(Text(path));
    if (failing != failing_folders.end()) return failing->second;
    const Text folded = key(path);
    if (folders_.count(folded) || files_.count(folded)) return kErrorAlreadyExists;
    if (!parent_exists(folded)) return kErrorPathNotFound;
    folders_[folded] = Text(path);
    made_folders.push_back({Text(path), Text(sddl)});
    return 0;
}

SystemError FakeToolStore::make_folders(std::string_view path) {
    for (std::size_t slash = path.find('\\', 3);; slash = path.find('\\', slash + 1)) {
        const std::string_view level = path.substr(0, slash);
        const PathKind kind = path_kind(level);
        if (kind == PathKind::file) return kErrorAlreadyExists;
        if (kind == PathKind::none) {
            if (SystemError error = make_folder(level, "")) return error;
        }
        if (slash == std::string_view::npos) return 0;
    }
}

SystemError FakeToolStore::rename_folder(std::string_view from, std::string_view to) {
    if (before_rename) before_rename();
    std::lock_guard<std::mutex> guard(mutex_);
    const Text source = key(from);
    const Text target = key(to);
    if (!folders_.count(source)) return kErrorFileNotFound;
    if (folders_.count(target) || files_.count(target)) return kErrorAlreadyExists;
    if (held_below(source)) return kErrorSharingViolation;
    const Text given_target(to);
    auto moved = [&](const Text& entry) {
        return entry == source || starts_with(entry, source + "\\");
    };
    std::map<Text, Text> folders;
    for (const auto& [entry, given] : folders_) {
        if (moved(entry)) {
            folders[target + entry.substr(source.size())] =
                given_target + given.substr(from.size());
        } else {
            folders[entry] = given;
        }
    }
    std::map<Text, std::pair<Text, Text>> files;
    for (const auto& [entry, file] : files_) {
        if (moved(entry)) {
            files[target + entry.substr(source.size())] = {
                given_target + file.first.substr(from.size()), file.second};
        } else {
            files[entry] = file;
        }
    }
    folders_.swap(folders);
    files_.swap(files);
    return 0;
}

SystemError FakeToolStore::remove_tree(std::string_view path) {
    std::lock_guard<std::mutex> guard(mutex_);
    const Text folded = key(path);
    if (!folders_.count(folded) && !files_.count(folded)) return kErrorFileNotFound;
    if (held_below(folded)) return kErrorSharingViolation;
    auto below = [&](const Text& entry) {
        return entry == folded || starts_with(entry, folded + "\\");
    };
    for (auto it = folders_.begin(); it != folders_.end();) {
        it = below(it->first) ? folders_.erase(it) : std::next(it);
    }
    for (auto it = files_.begin(); it != files_.end();) {
        it = below(it->first) ? files_.erase(it) : std::next(it);
    }
    removed.emplace_back(path);
    return 0;
}

SystemError FakeToolStore::hold_and_hash(std::string_view path, HashedFile& file) {
    std::lock_guard<std::mutex> guard(mutex_);
    const Text folded = key(path);
    auto found = files_.find(folded);
    if (found == files_.end())
        return folders_.count(folded) ? kErrorAccessDenied : kErrorFileNotFound;
    ++holds_[folded];
    file.hold = std::make_unique<FakeHold>(mutex_, holds_, folded);
    file.size = found->second.second.size();
    file.sha256 = sha256_hex(found->second.second);
    return 0;
}

std::unique_ptr<HeldLock> FakeToolStore::take_lock(std::string_view name, int) {
    locks_taken.emplace_back(name);
    if (while_waiting_for_lock) while_waiting_for_lock(name);
    if (std::find(unavailable_locks.begin(), unavailable_locks.end(), name) !=
        unavailable_locks.end()) {
        return nullptr;
    }
    return std::make_unique<FakeLock>();
}

Text FakeToolStore::describe_error(SystemError error) {
    return "error " + std::to_string(error);
}

void FakeToolStore::add_file(std::string_view path, std::string_view content) {
    std::lock_guard<std::mutex> guard(mutex_);
    files_[key(path)] = {Text(path), Text(content)};
}

void FakeToolStore::add_folder(std::string_view path) {
    std::lock_guard<std::mutex> guard(mutex_);
    folders_[key(path)] = Text(path);
}

SystemError FakeToolStore::write_file(std::string_view path, std::string_view content) {
    std::lock_guard<std::mutex> guard(mutex_);
    const Text folded = key(path);
    if (!parent_exists(folded)) return kErrorPathNotFound;
    if (folders_.count(folded)) return kErrorAccessDenied;
    files_[folded] = {Text(path), Text(content)};
    return 0;
}

std::map<Text, Text> FakeToolStore::snapshot() const {
    std::lock_guard<std::mutex> guard(mutex_);
    std::map<Text, Text> entries;
    for (const auto& [entry, given] : folders_) entries[given] = "<folder>";
    for (const auto& [entry, file] : files_) entries[file.first] = file.second;
    return entries;
}

std::optional<Text> FakeToolStore::file(std::string_view path) const {
    std::lock_guard<std::mutex> guard(mutex_);
    auto found = files_.find(key(path));
    if (found == files_.end()) return std::nullopt;
    return found->second.second;
}

bool FakeToolStore::held(std::string_view path) const {
    std::lock_guard<std::mutex> guard(mutex_);
    return holds_.count(key(path)) > 0;
}

SystemError FakePayloads::write_payload(int index, std::string_view path) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        writes.emplace_back(path);
    }
    if (index == failing_index) return failing_error;
    auto wrong = wrong_content.find(index);
    return store_.write_file(path, wrong != wrong_content.end() ? wrong->second : content(index));
}

ToolPins FakePayloads::pins() {
    static const Text digests[] = {sha256_hex(content(0)), sha256_hex(content(1)),
                                   sha256_hex(content(2))};
    ToolPins pins{};
    for (int i = 0; i < 3; ++i) {
        pins[i] = {kToolFileNames[i], content(i).size(), digests[i]};
    }
    return pins;
}

}  // namespace quelvarn::fakes
