// In-memory stand-ins for the platform services, for unit tests of portable code: a window that
// is a table of control texts, a file system of maps, and child processes that play a script.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace quelvarn::fakes {

// What end_program throws in the fake: the program would end there.
struct ProgramEnded {
    int code;
};

class FakeWindow : public WindowServices {
  public:
    struct Message {
        Text text;
        unsigned style;
        Text caption;
    };

    // Remembers the layout and the events, and raises on_created.
    void load_window(const WindowLayout& layout, WindowEvents& events) override;
    void run_message_loop() override {}
    // Throws ProgramEnded.
    [[noreturn]] void end_program(int code) override;
    bool bind_drop_target(std::string_view drop_target, std::string_view control) override;
    void trace(std::string_view) override {}

    void set_window_caption(std::string_view text) override;
    Text read_control_text(std::string_view control) override;
    void write_control_text(std::string_view control, std::string_view text) override;
    void enable_control(std::string_view control, bool enabled) override;
    void drain_message_queue() override;
    int show_message(std::string_view text, unsigned style = kMessageOk,
                     std::string_view caption = kDefaultMessageCaption) override;

    // The text of a control; empty when it was never written.
    Text text(std::string_view control) const;
    // True unless the control was disabled.
    bool enabled(std::string_view control) const;

    // Every caption set, in order.
    std::vector<Text> captions;
    std::map<Text, Text, std::less<>> texts;
    std::map<Text, bool, std::less<>> enabled_flags;
    // Every write, in order: (control, text).
    std::vector<std::pair<Text, Text>> writes;
    int drain_count = 0;
    std::vector<Message> messages;
    // Runs inside drain_message_queue, as a window message's handler would.
    std::function<void()> on_drain;
    // Runs inside show_message; its result is the button. Without it the answer is 0 (OK).
    std::function<int(const Message&)> on_message;
    const WindowLayout* layout = nullptr;
    WindowEvents* events = nullptr;
    // (drop target, control) pairs bound.
    std::vector<std::pair<Text, Text>> bindings;
};

// Records what the taskbar button was asked to show: "progress 37.5", "error", "clear", "flash".
class FakeTaskbar : public TaskbarServices {
  public:
    void show_progress(double percent) override;
    void show_error() override { calls.push_back("error"); }
    void clear() override { calls.push_back("clear"); }
    void flash_if_inactive() override { calls.push_back("flash"); }

    std::vector<Text> calls;
};

// Time stands still unless a test moves it.
class FakeClock : public Clock {
  public:
    double seconds() override { return now; }

    double now = 1000;
};

// Paths are compared as given, except that ASCII letters fold (Windows paths ignore case).
// A drive ("C:") always exists as a folder.
class FakeFiles : public FileServices {
  public:
    bool make_folder(std::string_view path) override;
    bool path_present(std::string_view path) override;
    bool is_directory(std::string_view path) override;
    // Creates or truncates a file whose folder exists; false when it does not or the path is in
    // failing_saves.
    bool save_file(std::string_view path, const Bytes& content);
    bool delete_file(std::string_view path) override;
    bool create_new_file(std::string_view path) override;
    bool rename_path(std::string_view from, std::string_view to, bool replace) override;
    bool remove_tree(std::string_view path) override;
    bool same_file(std::string_view a, std::string_view b) override;
    Text program_folder() override;
    Text short_path_name(std::string_view path, int capacity) override;

    void add_file(std::string_view path, const Bytes& content = {});
    void add_folder(std::string_view path);
    // The content of a file, or nullopt when there is none of that name.
    std::optional<Bytes> file(std::string_view path) const;

    Text program_folder_text = "C:\\app";
    // Short forms the system would give, by long path (as given).
    std::map<Text, Text, std::less<>> short_names;
    // Paths whose save_file fails (nothing is written).
    std::set<Text, std::less<>> failing_saves;
    // Files another program holds open sharing only reads: they can be neither replaced nor
    // deleted (as given).
    std::set<Text, std::less<>> held_open;
    // Folders that take no new file (as given).
    std::set<Text, std::less<>> read_only_folders;

  private:
    static Text key(std::string_view path);
    bool parent_is_folder(std::string_view path) const;

    // Keyed by the folded path; each entry remembers the path as first given.
    std::map<Text, std::pair<Text, Bytes>> files_;
    std::map<Text, Text> folders_;
};

// One write of the child: its bytes become readable after `waits_before` more wait() calls.
struct ScriptPiece {
    Bytes bytes;
    int waits_before = 0;
};

struct ChildScript {
    std::vector<ScriptPiece> pieces;
    std::uint32_t exit_code = 0;
    // Extra wait() calls after the last write before the child exits.
    int waits_before_exit = 0;
    bool start_fails = false;
    // Someone else (a grandchild) keeps the pipe open after the child has exited.
    bool pipe_held_open = false;
    std::uint32_t process_id = 4242;
    std::uint32_t terminated_exit_code = 1;
};

// What one scripted child went through; owned by ScriptedProcesses, so it outlives the child.
struct ChildRecord {
    Text program_path;
    Text command_line;
    Text working_folder;
    ChildScript script;
    bool started = false;
    bool destroyed = false;
    bool terminated = false;
    int waits = 0;
    int reads = 0;
    std::vector<int> wait_milliseconds;
    // The longest run of polls that found nothing, with no wait between them.
    int longest_busy_polls = 0;
};

class ScriptedProcesses : public ProcessServices {
  public:
    std::unique_ptr<ChildProcess> start_child(std::string_view program_path,
                                              std::string_view command_line,
                                              std::string_view working_folder) override;
    std::uint32_t own_process_id() override { return 777; }

    // Scripts for the next starts, in order; a start without one plays an empty script.
    std::vector<ChildScript> scripts;
    std::vector<std::unique_ptr<ChildRecord>> children;
    // Runs inside every wait() of a child.
    std::function<void()> on_wait;

    ChildRecord& last() { return *children.back(); }
};

// Installs the three fakes for its lifetime and puts back what was installed before.
class FakePlatform {
  public:
    FakePlatform();
    ~FakePlatform();
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

    FakeWindow window;
    FakeFiles files;
    ScriptedProcesses processes;
    FakeTaskbar taskbar;
    FakeClock clock;

  private:
    Platform previous_;
};

// The bytes of a text, for building scripts.
Bytes bytes_of(std::string_view text);

}  // namespace quelvarn::fakes
