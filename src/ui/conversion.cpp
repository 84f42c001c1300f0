#include "ui/conversion.h"

#include <vector>

#include "platform/platform.h"
#include "text/paths.h"
#include "ui/messages.h"

namespace quelvarn {

namespace {

constexpr std::string_view kOutputFolderName = "分辨率";

// The file name without its folder and without its last extension, whatever its case.
Text output_base_name(std::string_view path) {
    size_t separator = path.find_last_of("\\/");
    std::string_view name = separator == std::string_view::npos ? path : path.substr(separator + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
    return Text(name);
}

// -1 keeps the aspect ratio; -2 does too and rounds to the even size H.264 needs.
Text scale_size(std::string_view typed) {
    return typed == "-1" ? Text("-2") : Text(typed);
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

ConversionOutcome refused(std::string_view message) {
    return {ConversionOutcome::Kind::refused, {}, Text(message)};
}

ConversionOutcome failed(Text message) {
    return {ConversionOutcome::Kind::failed, {}, std::move(message)};
}

}  // namespace

Text probe_file(Session& session, std::string_view path, const RunListener& listener) {
    Text report;
    RunOptions options;
    options.listener = listener;
    options.captured_output = &report;
    options.control = &session.run;
    run_console_tool(session.converter_path, join_texts({" -i ", quote_argument(path)}), options);
    Text duration(text_between(report, "Duration: ", ","));
    session.probed_duration = clock_to_seconds(duration);
    return duration;
}

ConversionOutcome convert_file(Session& session, std::string_view input, std::string_view width,
                               std::string_view height, const RunListener& listener) {
    FileServices& files = *platform().files;
    if (strip_blanks(input).empty()) return refused(messages::kDropFirst);

    Text output_folder = join_texts({files.program_folder(), "\\", kOutputFolderName});
    files.make_folder(output_folder);
    Text base_name = output_base_name(input);
    Text output = join_texts({output_folder, "\\", base_name, ".mp4"});
    // The converter writes here first; only a complete result replaces the final name.
    Text temporary = join_texts({output_folder, "\\", base_name, ".converting.mp4"});
    if (files.same_file(input, output) || files.same_file(input, temporary)) {
        return refused(messages::kOutputIsInput);
    }

    Text source = short_path_if_spaced(input, [&files](std::string_view path, int capacity) {
        return files.short_path_name(path, capacity);
    });
    Text scale = join_texts({"scale=", scale_size(width), ":", scale_size(height)});
    Text command_line = join_texts({" -i ", quote_argument(source), " -vf ", quote_argument(scale),
                                    " ", quote_argument(temporary), " -y"});

    // Kept for the failure box: the converter explains a failure a few lines before its end.
    Text report;
    session.pending_output = temporary;
    RunOptions options;
    options.duration_seconds = session.probed_duration;
    options.listener = listener;
    options.captured_output = &report;
    options.control = &session.run;
    RunResult result = run_console_tool(session.converter_path, command_line, options);

    bool succeeded = result.outcome == RunOutcome::exited && result.exit_code == 0;
    if (succeeded && files.rename_path(temporary, output, true)) {
        session.pending_output.clear();
        return {ConversionOutcome::Kind::converted, output, {}};
    }
    // Closing the window in the middle of the run may have removed it already.
    if (!session.pending_output.empty()) {
        files.delete_file(session.pending_output);
        session.pending_output.clear();
    }
    if (succeeded) return failed(join_texts({messages::kCannotSaveOutput, output}));
    return failed(failure_message(result, report, session.converter_path));
}

}  // namespace quelvarn
