#include "ui/handlers.h"

#include <vector>

#include "app/globals.h"
#include "app/shell.h"
#include "platform/platform.h"
#include "runner/runner.h"
#include "text/extract.h"
#include "text/paths.h"
#include "ui/controls.h"

namespace quelvarn {

namespace {

constexpr std::string_view kOutputFolderName = "分辨率";
constexpr std::string_view kFailedProgress = "进度：失败";

// Set while a probe or a conversion runs: one run at a time.
bool run_in_progress = false;

// The temporary output of the conversion in progress; removed when the run does not succeed,
// also when the program is closed in the middle of it.
Text pending_output;

// The status handler of a run, remembering whether it already put a box in front of the user.
struct StatusReporter {
    bool box_shown = false;

    void operator()(const Text& status_text, const Text& extra_text) {
        if (status_text == "文件不存在" || status_text == "输入输出错误") box_shown = true;
        report_status(status_text, extra_text);
    }
};

// Marks the window busy for the lifetime of a run.
class BusyWindow {
  public:
    BusyWindow() {
        run_in_progress = true;
        platform().window->enable_control(controls::kChangeButton, false);
    }
    ~BusyWindow() {
        platform().window->enable_control(controls::kChangeButton, true);
        run_in_progress = false;
    }
    BusyWindow(const BusyWindow&) = delete;
    BusyWindow& operator=(const BusyWindow&) = delete;
};

// The first path of a drop; the drop target ends every path of a multi-file drop with "\r\n".
Text first_dropped_path(std::string_view dropped_text) {
    size_t end = dropped_text.find_first_of("\r\n");
    return Text(dropped_text.substr(0, end));
}

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

void fail_conversion(const Text& message, bool box_already_shown) {
    WindowServices& window = *platform().window;
    window.write_control_text(controls::kProgressLabel, kFailedProgress);
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
        if (line.rfind("frame=", 0) == 0 || line.rfind("size=", 0) == 0) {
            size_t speed = line.find("speed=");
            size_t value =
                speed == std::string_view::npos ? speed : line.find_first_not_of(' ', speed + 6);
            size_t gap = value == std::string_view::npos ? value : line.find(' ', value);
            line = gap == std::string_view::npos ? std::string_view() : trim_line(line.substr(gap));
        }
        bool noise = line.empty() || line == "Conversion failed!" ||
                     line.rfind("Last message repeated", 0) == 0;
        if (!noise) lines.push_back(line);
        start = end + 1;
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind("Press [q] to stop", 0) == 0 && i + 1 < lines.size()) {
            return Text(without_component_tags(lines[i + 1]));
        }
    }
    return lines.empty() ? Text() : Text(without_component_tags(lines.back()));
}

Text failure_message(const RunResult& result, std::string_view report) {
    switch (result.outcome) {
        case RunOutcome::missing_program:
            return join_texts({ffmpeg_path, " 不存在"});
        case RunOutcome::not_started:
            return join_texts({"无法启动 ", ffmpeg_path});
        case RunOutcome::exited:
            break;
    }
    Text cause = failure_cause(report);
    if (!cause.empty()) return join_texts({"转换失败：", cause});
    return join_texts({"转换失败，转换程序的退出代码为 ", std::to_string(result.exit_code)});
}

}  // namespace

bool tool_run_in_progress() {
    return run_in_progress;
}

void discard_pending_output() {
    if (pending_output.empty()) return;
    platform().files->delete_file(pending_output);
    pending_output.clear();
}

void on_file_dropped(std::string_view dropped_text) {
    if (run_in_progress) return;
    WindowServices& window = *platform().window;
    Text path = first_dropped_path(dropped_text);
    window.write_control_text(controls::kPathBox, "");
    window.write_control_text(controls::kPathBox, path);

    {
        BusyWindow busy;
        StatusReporter reporter;
        run_console_tool(runnable_converter(), join_texts({" -i ", quote_argument(path)}),
                         std::ref(reporter), nullptr, &probe_output);
    }
    window.write_control_text(controls::kDurationStore,
                              text_between(probe_output, "Duration: ", ","));
}

void on_change_resolution_clicked() {
    if (run_in_progress) return;
    WindowServices& window = *platform().window;
    FileServices& files = *platform().files;

    Text input = window.read_control_text(controls::kPathBox);
    if (strip_blanks(input).empty()) {
        window.show_message("请先把视频文件拖放到“视频路径”框中。");
        return;
    }

    Text output_folder = join_texts({files.program_folder(), "\\", kOutputFolderName});
    files.make_folder(output_folder);
    Text base_name = output_base_name(input);
    Text output = join_texts({output_folder, "\\", base_name, ".mp4"});
    // The converter writes here first; only a complete result replaces the final name.
    Text temporary = join_texts({output_folder, "\\", base_name, ".converting.mp4"});
    if (files.same_file(input, output) || files.same_file(input, temporary)) {
        window.show_message("输出文件就是输入文件本身，不能覆盖。请先把视频移到别的文件夹再转换。");
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
    StatusReporter reporter;
    // Kept for the failure box: the converter explains a failure a few lines before its end.
    Text report;
    {
        BusyWindow busy;
        pending_output = temporary;
        result = run_console_tool(runnable_converter(), command_line, std::ref(reporter), nullptr, &report);
    }

    bool succeeded = result.outcome == RunOutcome::exited && result.exit_code == 0;
    if (succeeded && files.rename_path(temporary, output, true)) {
        pending_output.clear();
        return;
    }
    discard_pending_output();
    if (succeeded) {
        fail_conversion(join_texts({"无法保存输出文件：", output}), false);
    } else {
        fail_conversion(failure_message(result, report), reporter.box_shown);
    }
}

}  // namespace quelvarn
