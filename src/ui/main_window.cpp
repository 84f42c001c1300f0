#include "ui/main_window.h"

#include <vector>

#include "platform/platform.h"
#include "runner/runner.h"
#include "text/paths.h"
#include "ui/controls.h"
#include "ui/messages.h"
#include "ui/progress_view.h"

namespace quelvarn {

namespace {

constexpr std::string_view kOutputFolderName = "分辨率";

// Shows each report of a run on the progress label, raises the boxes its statuses call for, and
// remembers whether one did.
class RunView {
  public:
    void operator()(const RunUpdate& update) {
        WindowServices& window = *platform().window;
        if (update.progress) {
            window.write_control_text(controls::kProgressLabel,
                                      progress_label_text(*update.progress));
        }
        if (std::optional<std::string_view> box = status_box_text(update.status)) {
            box_shown = true;
            window.show_message(*box);
        }
    }

    bool box_shown = false;
};

// Marks the window busy for the lifetime of a run.
class BusyWindow {
  public:
    explicit BusyWindow(Session& session) : session_(session) {
        session_.run_in_progress = true;
        platform().window->enable_control(controls::kChangeButton, false);
    }
    ~BusyWindow() {
        platform().window->enable_control(controls::kChangeButton, true);
        session_.run_in_progress = false;
    }
    BusyWindow(const BusyWindow&) = delete;
    BusyWindow& operator=(const BusyWindow&) = delete;

  private:
    Session& session_;
};

// The file name without its folder and without its last extension, whatever its case.
Text output_base_name(std::string_view path) {
    size_t separator = path.find_last_of("\\/");
    std::string_view name = separator == std::string_view::npos ? path : path.substr(separator + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
    return Text(name);
}

// -1 keeps the aspect ratio; -2 does too and rounds to the even size H.264 needs.
Text scale_size(const Text& typed) {
    return typed == "-1" ? Text("-2") : typed;
}

void fail_conversion(std::string_view message, bool box_already_shown) {
    WindowServices& window = *platform().window;
    window.write_control_text(controls::kProgressLabel, messages::kProgressFailed);
    if (!box_already_shown) window.show_message(message);
}

std::string_view trim_line(std::string_view line) {
    size_t begin = line.find_first_not_of(" \t\r");
    if (begin == std::string_view::npos) return {};
    return line.substr(begin, line.find_last_not_of(" \t\r") - begin + 1);
}

// Without the "[scale @ 0000000000f99700] " tags the converter puts before a component's lines.
std::string_view without_component_tags(std::string_view line) {
    while (line.size() > 2 && line.front() == '[') {
        size_t close = line.find("] ");
        if (close == std::string_view::npos ||
            line.substr(0, close).find(" @ ") == std::string_view::npos) {
            break;
        }
        line = line.substr(close + 2);
    }
    return line;
}

// The line of a failed conversion's report that says why. The converter ends every failure with
// the same "Conversion failed!"; the cause is the first message after the conversion started
// ("Press [q] to stop"), or, when it failed before that, the last line before the verdict.
Text failure_cause(std::string_view report) {
    std::vector<std::string_view> lines;
    for (size_t start = 0; start < report.size();) {
        size_t end = report.find('\n', start);
        if (end == std::string_view::npos) end = report.size();
        std::string_view line = trim_line(report.substr(start, end - start));
        // A progress report ends in blanks and a CR, which the runner turns into blanks, so the
        // next message may follow it on the same line, after its last field, speed=.
        if (starts_with(line, "frame=") || starts_with(line, "size=")) {
            size_t speed = line.find("speed=");
            size_t value =
                speed == std::string_view::npos ? speed : line.find_first_not_of(' ', speed + 6);
            size_t gap = value == std::string_view::npos ? value : line.find(' ', value);
            line = gap == std::string_view::npos ? std::string_view() : trim_line(line.substr(gap));
        }
        bool noise = line.empty() || line == "Conversion failed!" ||
                     starts_with(line, "Last message repeated");
        if (!noise) lines.push_back(line);
        start = end + 1;
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        if (starts_with(lines[i], "Press [q] to stop") && i + 1 < lines.size()) {
            return Text(without_component_tags(lines[i + 1]));
        }
    }
    return lines.empty() ? Text() : Text(without_component_tags(lines.back()));
}

Text failure_message(const RunResult& result, std::string_view report,
                     std::string_view converter_path) {
    switch (result.outcome) {
        case RunOutcome::missing_program:
            return join_texts({converter_path, messages::kConverterMissingAfter});
        case RunOutcome::not_started:
            return join_texts({messages::kConverterNotStarted, converter_path});
        case RunOutcome::exited:
            break;
    }
    Text cause = failure_cause(report);
    if (!cause.empty()) return join_texts({messages::kConversionFailedCause, cause});
    return join_texts({messages::kConversionFailedExitCode, std::to_string(result.exit_code)});
}

}  // namespace

void MainWindow::abandon_run() {
    // Only the converter this program started is stopped: an ffmpeg.exe of another program
    // keeps running and keeps its work.
    session_.run.terminate();
    if (session_.pending_output.empty()) return;
    platform().files->delete_file(session_.pending_output);
    session_.pending_output.clear();
}

void MainWindow::on_file_dropped(const std::vector<Text>& paths) {
    if (session_.run_in_progress || paths.empty()) return;
    WindowServices& window = *platform().window;
    const Text& path = paths.front();
    window.write_control_text(controls::kPathBox, "");
    window.write_control_text(controls::kPathBox, path);

    Text probe_report;
    {
        BusyWindow busy(session_);
        RunView view;
        RunOptions options;
        options.listener = std::ref(view);
        options.captured_output = &probe_report;
        options.control = &session_.run;
        run_console_tool(session_.converter_path, join_texts({" -i ", quote_argument(path)}),
                         options);
    }
    std::string_view duration = text_between(probe_report, "Duration: ", ",");
    session_.probed_duration = clock_to_seconds(duration);
    // The off-screen label keeps the probed duration as the window has always shown it.
    window.write_control_text(controls::kDurationStore, duration);
}

void MainWindow::on_change_resolution_clicked() {
    if (session_.run_in_progress) return;
    WindowServices& window = *platform().window;
    FileServices& files = *platform().files;

    Text input = window.read_control_text(controls::kPathBox);
    if (strip_blanks(input).empty()) {
        window.show_message(messages::kDropFirst);
        return;
    }

    Text output_folder = join_texts({files.program_folder(), "\\", kOutputFolderName});
    files.make_folder(output_folder);
    Text base_name = output_base_name(input);
    Text output = join_texts({output_folder, "\\", base_name, ".mp4"});
    // The converter writes here first; only a complete result replaces the final name.
    Text temporary = join_texts({output_folder, "\\", base_name, ".converting.mp4"});
    if (files.same_file(input, output) || files.same_file(input, temporary)) {
        window.show_message(messages::kOutputIsInput);
        return;
    }

    Text source = short_path_if_spaced(input, [&files](std::string_view path, int capacity) {
        return files.short_path_name(path, capacity);
    });
    Text scale = join_texts({"scale=", scale_size(window.read_control_text(controls::kWidthBox)),
                             ":", scale_size(window.read_control_text(controls::kHeightBox))});
    Text command_line = join_texts({" -i ", quote_argument(source), " -vf ", quote_argument(scale),
                                    " ", quote_argument(temporary), " -y"});

    RunResult result;
    RunView view;
    // Kept for the failure box: the converter explains a failure a few lines before its end.
    Text report;
    {
        BusyWindow busy(session_);
        session_.pending_output = temporary;
        RunOptions options;
        options.duration_seconds = session_.probed_duration;
        options.listener = std::ref(view);
        options.captured_output = &report;
        options.control = &session_.run;
        result = run_console_tool(session_.converter_path, command_line, options);
    }

    bool succeeded = result.outcome == RunOutcome::exited && result.exit_code == 0;
    if (succeeded && files.rename_path(temporary, output, true)) {
        session_.pending_output.clear();
        window.write_control_text(controls::kProgressLabel, messages::kProgressDone);
        return;
    }
    if (!session_.pending_output.empty()) {
        files.delete_file(session_.pending_output);
        session_.pending_output.clear();
    }
    if (succeeded) {
        fail_conversion(join_texts({messages::kCannotSaveOutput, output}), false);
    } else {
        fail_conversion(failure_message(result, report, session_.converter_path), view.box_shown);
    }
}

}  // namespace quelvarn
