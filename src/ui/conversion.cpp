#include "ui/conversion.h"

#include <string>
#include <vector>

#include "platform/platform.h"
#include "text/paths.h"
#include "ui/conversion_command.h"
#include "ui/messages.h"
#include "ui/typed_input.h"

namespace quelvarn {

namespace {

constexpr std::string_view kOutputFolderName = "分辨率";
// A probe report is a few kilobytes; a file with huge metadata is not kept beyond this.
constexpr std::size_t kLongestProbeReport = 1 << 20;
// Temporary names tried before the output folder counts as unwritable.
constexpr int kTemporaryAttempts = 100;
// Free names "name (2).mp4" ... tried before the result stays under its temporary name.
constexpr int kFreeNameAttempts = 999;

// Only the converter checked at start-up is ever run; without one the run finds no program.
Text runnable_converter(const Session& session) {
    return session.converter ? session.converter->path() : Text();
}

// The file name without its folder and without its last extension, whatever its case.
Text output_base_name(std::string_view path) {
    size_t separator = path.find_last_of("\\/");
    std::string_view name = separator == std::string_view::npos ? path : path.substr(separator + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
    return Text(name);
}

ShortNameFunction system_short_name() {
    return [](std::string_view path, int capacity) {
        return platform().files->short_path_name(path, capacity);
    };
}

// A new empty file in `folder` whose name no output can have (outputs end in ".mp4") and no other
// process uses (it holds our process identifier, and it was created new); empty when the folder
// takes no file.
Text reserve_temporary(Session& session, std::string_view folder) {
    FileServices& files = *platform().files;
    std::string process = std::to_string(platform().processes->own_process_id());
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        Text name = join_texts({folder, "\\~quelvarn-", process, "-",
                                std::to_string(++session.temporaries_made), ".partial"});
        if (files.create_new_file(name)) return name;
        if (!files.path_present(name)) return {};
    }
    return {};
}

// Puts a complete result under its final name, or when that cannot be replaced (open in a
// player, read-only), under the first free "name (N).mp4" beside it. Never deletes it.
ConversionOutcome keep_result(std::string_view temporary, std::string_view folder,
                              std::string_view base_name) {
    FileServices& files = *platform().files;
    Text output = join_texts({folder, "\\", base_name, ".mp4"});
    if (files.rename_path(temporary, output, true)) {
        return {ConversionOutcome::Kind::converted, output, {}, {}};
    }
    Text kept(temporary);
    for (int number = 2; number < 2 + kFreeNameAttempts; ++number) {
        Text candidate =
            join_texts({folder, "\\", base_name, " (", std::to_string(number), ").mp4"});
        if (files.path_present(candidate)) continue;
        if (files.rename_path(temporary, candidate, false)) {
            kept = candidate;
            break;
        }
    }
    return {
        ConversionOutcome::Kind::converted, kept, join_texts({messages::kOutputKeptAs, kept}), {}};
}

Text failure_message(const RunResult& result, const ConversionReport& report,
                     std::string_view converter_path) {
    switch (result.outcome) {
        case RunOutcome::missing_program:
            return join_texts({converter_path, messages::kConverterMissingAfter});
        case RunOutcome::not_started:
            return join_texts({messages::kConverterNotStarted, converter_path});
        case RunOutcome::exited:
            break;
    }
    // Converting, then gone without the converter's own verdict: ended from outside.
    if (report.started() && !report.failure_reported()) return Text(messages::kConverterEndedEarly);
    Text cause = report.failure_cause();
    if (!cause.empty()) return join_texts({messages::kConversionFailedCause, cause});
    if (result.exit_code == 0) return Text(messages::kConverterEndedEarly);
    return join_texts({messages::kConversionFailedExitCode, std::to_string(result.exit_code)});
}

}  // namespace

Text probe_file(Session& session, std::string_view path, const RunListener& listener) {
    Text report;
    RunOptions options;
    options.listener = listener;
    options.report_text = [&report](std::string_view piece) {
        if (report.size() < kLongestProbeReport) report.append(piece);
    };
    options.control = &session.run;
    Text source = converter_path_form(path, system_short_name());
    if (source.empty()) source = Text(path);
    RunResult result = run_console_tool(runnable_converter(session),
                                        join_texts({" -i ", quote_argument(source)}), options);
    session.probed_path = Text(path);
    if (result.outcome != RunOutcome::exited) {
        session.probe.reset();
        return {};
    }
    session.probe = parse_probe_report(report);
    return session.probe->duration_text;
}

ConversionOutcome convert_file(Session& session, std::string_view typed_input,
                               std::string_view width, std::string_view height,
                               const RunListener& listener) {
    FileServices& files = *platform().files;
    ConversionOutcome outcome;
    auto refused = [&outcome](std::initializer_list<std::string_view> message) {
        outcome.kind = ConversionOutcome::Kind::refused;
        outcome.message = join_texts(message);
        return outcome;
    };

    Text input = cleaned_path(typed_input);
    if (input.empty()) return refused({messages::kDropFirst});
    std::optional<int> frame_width = parse_frame_side(width);
    if (!frame_width) return refused({messages::kWidthInvalid});
    std::optional<int> frame_height = parse_frame_side(height);
    if (!frame_height) return refused({messages::kHeightInvalid});
    if (*frame_width == -1 && *frame_height == -1) {
        return refused({messages::kBothSidesKeepAspect});
    }
    if (!is_absolute_path(input)) return refused({messages::kRelativePath, input});
    if (!files.path_present(input)) return refused({messages::kFileMissing});
    Text source = converter_path_form(input, system_short_name());
    if (source.empty()) return refused({messages::kPathTooLong, input});

    Text output_folder = join_texts({files.program_folder(), "\\", kOutputFolderName});
    Text base_name = output_base_name(input);
    if (files.same_file(input, join_texts({output_folder, "\\", base_name, ".mp4"}))) {
        return refused({messages::kOutputIsInput});
    }

    // A typed or pasted path was not probed by a drop: its own duration and streams count.
    if (input != session.probed_path) {
        outcome.probed_duration = probe_file(session, input, listener);
    }
    // A cover picture is no moving picture.
    if (session.probe && !main_video_stream(*session.probe)) {
        return refused({messages::kNoVideo, input});
    }

    files.make_folder(output_folder);
    if (!files.is_directory(output_folder)) {
        return refused({messages::kOutputFolderUnusable, output_folder});
    }
    // The converter writes here first; only a complete result takes the final name.
    Text temporary = reserve_temporary(session, output_folder);
    if (temporary.empty()) return refused({messages::kOutputFolderUnusable, output_folder});
    Text target = converter_path_form(temporary, system_short_name());
    if (target.empty()) {
        files.delete_file(temporary);
        return refused({messages::kPathTooLong, temporary});
    }

    // Built from what the probe found. A probe that could not run found nothing, and the run
    // then says why.
    std::vector<Text> arguments;
    if (session.probe) {
        arguments =
            conversion_arguments(*session.probe, {source, target, *frame_width, *frame_height});
    }
    if (arguments.empty()) arguments = {"-y", "-i", source, "-f", "mp4", target};
    Text command_line = command_line_of(arguments);

    ConversionReport report;
    session.pending_output = temporary;
    RunOptions options;
    options.duration_seconds = probed_seconds(session);
    options.listener = listener;
    options.report_text = [&report](std::string_view piece) { report.feed(piece); };
    options.control = &session.run;
    RunResult result = run_console_tool(runnable_converter(session), command_line, options);

    // Exit code 0 alone is not enough: a converter ended from outside may report it too.
    bool succeeded =
        result.outcome == RunOutcome::exited && result.exit_code == 0 && report.completed();
    // Closing the window in the middle of the run may have removed it already.
    bool pending = !session.pending_output.empty();
    session.pending_output.clear();
    if (succeeded && pending) {
        ConversionOutcome kept = keep_result(temporary, output_folder, base_name);
        kept.probed_duration = outcome.probed_duration;
        return kept;
    }
    if (pending) files.delete_file(temporary);
    outcome.kind = ConversionOutcome::Kind::failed;
    outcome.message = failure_message(result, report, session.converter_path);
    return outcome;
}

}  // namespace quelvarn
