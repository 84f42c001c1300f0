#include "support/fake_platform.h"

#include <algorithm>
#include <cstdio>
#include <deque>

namespace quelvarn::fakes {

// ---- window ----

void FakeWindow::load_window(const WindowLayout& window_layout, WindowEvents& window_events) {
    layout = &window_layout;
    events = &window_events;
    for (int i = 0; i < window_layout.row_count; ++i) {
        const ControlRow& row = window_layout.rows[i];
        if (!texts.count(row.name)) texts[Text(row.name)] = Text(row.initial_text);
    }
    window_events.on_created();
}

void FakeWindow::end_program(int code) {
    throw ProgramEnded{code};
}

bool FakeWindow::bind_drop_target(std::string_view drop_target, std::string_view control) {
    bindings.emplace_back(drop_target, control);
    return true;
}

void FakeWindow::set_window_caption(std::string_view text) {
    captions.emplace_back(text);
}

Text FakeWindow::read_control_text(std::string_view control) {
    return text(control);
}

void FakeWindow::write_control_text(std::string_view control, std::string_view text) {
    texts[Text(control)] = Text(text);
    writes.emplace_back(Text(control), Text(text));
}

void FakeWindow::enable_control(std::string_view control, bool enabled) {
    enabled_flags[Text(control)] = enabled;
}

void FakeWindow::drain_message_queue() {
    ++drain_count;
    if (on_drain) on_drain();
}

int FakeWindow::show_message(std::string_view text, unsigned style, std::string_view caption) {
    messages.push_back({Text(text), style, Text(caption)});
    return on_message ? on_message(messages.back()) : 0;
}

Text FakeWindow::text(std::string_view control) const {
    auto found = texts.find(control);
    return found == texts.end() ? Text() : found->second;
}

bool FakeWindow::enabled(std::string_view control) const {
    auto found = enabled_flags.find(control);
    return found == enabled_flags.end() || found->second;
}

// ---- taskbar ----

void FakeTaskbar::show_progress(double percent) {
    char text[32];
    std::snprintf(text, sizeof text, "progress %g", percent);
    calls.push_back(text);
}

// ---- files ----

namespace {

bool is_drive(std::string_view key) {
    return key.size() == 2 && key[1] == ':';
}

Text parent_of(std::string_view key) {
    std::size_t cut = key.rfind('\\');
    return cut == std::string_view::npos ? Text() : Text(key.substr(0, cut));
}

bool under(std::string_view key, std::string_view folder) {
    return key.size() > folder.size() && key.compare(0, folder.size(), folder) == 0 &&
           key[folder.size()] == '\\';
}

}  // namespace

Text FakeFiles::key(std::string_view path) {
    Text folded(path);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (folded.size() > 3 && folded.back() == '\\') folded.pop_back();
    if (folded.size() == 3 && folded[1] == ':' && folded[2] == '\\') folded.pop_back();
    return folded;
}

bool FakeFiles::parent_is_folder(std::string_view path) const {
    Text parent = parent_of(key(path));
    return is_drive(parent) || folders_.count(parent) > 0;
}

bool FakeFiles::make_folder(std::string_view path) {
    if (path_present(path) || !parent_is_folder(path)) return false;
    folders_[key(path)] = Text(path);
    return true;
}

bool FakeFiles::path_present(std::string_view path) {
    Text k = key(path);
    return is_drive(k) || files_.count(k) > 0 || folders_.count(k) > 0;
}

bool FakeFiles::is_directory(std::string_view path) {
    Text k = key(path);
    return is_drive(k) || folders_.count(k) > 0;
}

bool FakeFiles::save_file(std::string_view path, const Bytes& content) {
    if (failing_saves.count(path) || is_directory(path) || !parent_is_folder(path)) return false;
    files_[key(path)] = {Text(path), content};
    return true;
}

bool FakeFiles::delete_file(std::string_view path) {
    if (held_open.count(path)) return false;
    return files_.erase(key(path)) > 0;
}

bool FakeFiles::create_new_file(std::string_view path) {
    std::string_view folder = path.substr(0, path.find_last_of('\\') + 1);
    if (!folder.empty()) folder.remove_suffix(1);
    if (path_present(path) || read_only_folders.count(folder)) return false;
    return save_file(path, {});
}

bool FakeFiles::rename_path(std::string_view from, std::string_view to, bool replace) {
    Text source = key(from);
    Text target = key(to);
    if (!parent_is_folder(to) || folders_.count(target)) return false;
    if (auto file = files_.find(source); file != files_.end()) {
        if (files_.count(target) && (!replace || held_open.count(to))) return false;
        Bytes content = std::move(file->second.second);
        files_.erase(file);
        files_[target] = {Text(to), std::move(content)};
        return true;
    }
    if (!folders_.count(source) || files_.count(target) || under(target, source)) return false;
    // Move the folder and everything under it.
    std::map<Text, std::pair<Text, Bytes>> moved_files;
    for (auto it = files_.begin(); it != files_.end();) {
        if (!under(it->first, source)) {
            ++it;
            continue;
        }
        Text rest = it->first.substr(source.size());
        moved_files[target + rest] = {Text(to) + it->second.first.substr(source.size()),
                                      std::move(it->second.second)};
        it = files_.erase(it);
    }
    std::map<Text, Text> moved_folders;
    for (auto it = folders_.begin(); it != folders_.end();) {
        if (it->first != source && !under(it->first, source)) {
            ++it;
            continue;
        }
        Text rest = it->first.substr(source.size());
        moved_folders[target + rest] = Text(to) + it->second.substr(source.size());
        it = folders_.erase(it);
    }
    files_.merge(moved_files);
    folders_.merge(moved_folders);
    return true;
}

bool FakeFiles::remove_tree(std::string_view path) {
    Text folder = key(path);
    if (!folders_.count(folder)) return false;
    for (auto it = files_.begin(); it != files_.end();) {
        it = under(it->first, folder) ? files_.erase(it) : std::next(it);
    }
    for (auto it = folders_.begin(); it != folders_.end();) {
        it = it->first == folder || under(it->first, folder) ? folders_.erase(it) : std::next(it);
    }
    return true;
}

bool FakeFiles::same_file(std::string_view a, std::string_view b) {
    auto long_key = [this](std::string_view path) {
        for (const auto& [long_path, short_path] : short_names) {
            if (key(short_path) == key(path)) return key(long_path);
        }
        return key(path);
    };
    Text left = long_key(a);
    return files_.count(left) > 0 && left == long_key(b);
}

Text FakeFiles::program_folder() {
    return program_folder_text;
}

Text FakeFiles::short_path_name(std::string_view path, int capacity) {
    if (!path_present(path)) return {};
    auto found = short_names.find(path);
    Text answer = found == short_names.end() ? Text(path) : found->second;
    return static_cast<int>(answer.size()) + 1 <= capacity ? answer : Text();
}

void FakeFiles::add_file(std::string_view path, const Bytes& content) {
    files_[key(path)] = {Text(path), content};
}

void FakeFiles::add_folder(std::string_view path) {
    folders_[key(path)] = Text(path);
}

std::optional<Bytes> FakeFiles::file(std::string_view path) const {
    auto found = files_.find(key(path));
    if (found == files_.end()) return std::nullopt;
    return found->second.second;
}

// ---- processes ----

namespace {

// Time is counted in wait() calls: piece i is written once its waits have passed after the
// previous one, and the child exits after the last piece and its own waits.
class ScriptedChild : public ChildProcess {
  public:
    ScriptedChild(ChildRecord& record, std::function<void()>& on_wait)
        : record_(record), on_wait_(on_wait) {
        advance();
    }
    ~ScriptedChild() override { record_.destroyed = true; }

    std::uint32_t process_id() const override { return record_.script.process_id; }
    std::optional<std::size_t> bytes_waiting() override {
        advance();
        std::size_t total = 0;
        for (const Bytes& piece : pipe_) total += piece.size();
        total -= front_offset_;
        if (total == 0) {
            ++busy_polls_;
            record_.longest_busy_polls = std::max(record_.longest_busy_polls, busy_polls_);
            if (exited() && !record_.script.pipe_held_open) return std::nullopt;
        } else {
            busy_polls_ = 0;
        }
        return total;
    }

    std::size_t read(std::uint8_t* buffer, std::size_t capacity) override {
        ++record_.reads;
        if (pipe_.empty()) return 0;
        // A read never crosses from one write into the next, so the script sets the splits.
        const Bytes& front = pipe_.front();
        std::size_t count = std::min(capacity, front.size() - front_offset_);
        std::copy_n(front.begin() + static_cast<std::ptrdiff_t>(front_offset_), count, buffer);
        front_offset_ += count;
        if (front_offset_ == front.size()) {
            pipe_.pop_front();
            front_offset_ = 0;
        }
        return count;
    }

    std::optional<std::uint32_t> exit_code() override {
        advance();
        if (record_.terminated) return record_.script.terminated_exit_code;
        if (exited()) return record_.script.exit_code;
        return std::nullopt;
    }

    void wait(int milliseconds) override {
        ++record_.waits;
        ++ticks_;
        busy_polls_ = 0;
        record_.wait_milliseconds.push_back(milliseconds);
        if (on_wait_) on_wait_();
        advance();
    }

    void terminate() override {
        record_.terminated = true;
        next_piece_ = record_.script.pieces.size();
    }

  private:
    bool exited() const {
        return record_.terminated ||
               (next_piece_ == record_.script.pieces.size() &&
                ticks_ - last_write_tick_ >= record_.script.waits_before_exit);
    }

    void advance() {
        const std::vector<ScriptPiece>& pieces = record_.script.pieces;
        while (next_piece_ < pieces.size() &&
               ticks_ - last_write_tick_ >= pieces[next_piece_].waits_before) {
            if (!pieces[next_piece_].bytes.empty()) pipe_.push_back(pieces[next_piece_].bytes);
            last_write_tick_ = ticks_;
            ++next_piece_;
        }
    }

    ChildRecord& record_;
    std::function<void()>& on_wait_;
    std::deque<Bytes> pipe_;
    std::size_t front_offset_ = 0;
    std::size_t next_piece_ = 0;
    int ticks_ = 0;
    int last_write_tick_ = 0;
    int busy_polls_ = 0;
};

}  // namespace

std::unique_ptr<ChildProcess> ScriptedProcesses::start_child(std::string_view program_path,
                                                             std::string_view command_line,
                                                             std::string_view working_folder) {
    auto record = std::make_unique<ChildRecord>();
    record->program_path = Text(program_path);
    record->command_line = Text(command_line);
    record->working_folder = Text(working_folder);
    if (!scripts.empty()) {
        record->script = std::move(scripts.front());
        scripts.erase(scripts.begin());
    }
    children.push_back(std::move(record));
    ChildRecord& child = *children.back();
    if (child.script.start_fails) return nullptr;
    child.started = true;
    return std::make_unique<ScriptedChild>(child, on_wait);
}

// ---- installation ----

FakePlatform::FakePlatform() : previous_(platform()) {
    set_platform({&window, &files, &processes, nullptr, nullptr, &taskbar, &clock});
}

FakePlatform::~FakePlatform() {
    set_platform(previous_);
}

Bytes bytes_of(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

}  // namespace quelvarn::fakes
