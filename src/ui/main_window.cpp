#include "ui/main_window.h"

#include <cstdint>
#include <vector>

#include "platform/platform.h"
#include "runner/runner.h"
#include "ui/controls.h"
#include "ui/conversion.h"
#include "ui/layout.h"
#include "ui/messages.h"
#include "ui/progress_caption.h"
#include "ui/progress_view.h"

namespace quelvarn {

namespace {

// A conversion's progress where a user who has put the window aside looks: the caption (which
// the taskbar button shows too) and the taskbar button's bar. Both are back to rest when it ends.
class ProgressOutside {
  public:
    // The duration is read at each report: a typed path is probed within the conversion's run.
    explicit ProgressOutside(const Session& session) : session_(session) {
        // A new run: the mark of an earlier failure goes.
        if (TaskbarServices* taskbar = platform().taskbar) taskbar->clear();
    }
    ~ProgressOutside() {
        if (caption_shown_) platform().window->set_window_caption(main_window_layout().caption);
    }
    ProgressOutside(const ProgressOutside&) = delete;
    ProgressOutside& operator=(const ProgressOutside&) = delete;

    void show(const RunProgress& progress) {
        if (!progress.percent) return;
        estimator_.report(platform_clock().seconds(), progress.elapsed_seconds);
        Text caption = progress_caption(main_window_layout().caption, *progress.percent,
                                        estimator_.seconds_left(probed_seconds(session_)));
        // The caption changes only every second or so; the same text is not set again.
        if (caption != caption_) {
            platform().window->set_window_caption(caption);
            caption_ = caption;
            caption_shown_ = true;
        }
        if (TaskbarServices* taskbar = platform().taskbar)
            taskbar->show_progress(*progress.percent);
    }

    // The run is over: the button shows whether it failed and catches the eye of a user who is
    // elsewhere.
    void end(bool failed) {
        TaskbarServices* taskbar = platform().taskbar;
        if (!taskbar) return;
        if (failed) {
            taskbar->show_error();
        } else {
            taskbar->clear();
        }
        taskbar->flash_if_inactive();
    }

  private:
    const Session& session_;
    TimeLeftEstimator estimator_;
    Text caption_;
    bool caption_shown_ = false;
};

// Shows each report of a run on the progress label (and, for a conversion, outside the window),
// raises the boxes its statuses call for, and remembers whether one did.
class RunView {
  public:
    explicit RunView(ProgressOutside* outside = nullptr) : outside_(outside) {}

    void operator()(const RunUpdate& update) {
        WindowServices& window = *platform().window;
        if (update.progress) {
            window.write_control_text(controls::kProgressLabel,
                                      progress_label_text(*update.progress));
            if (outside_) outside_->show(*update.progress);
        }
        if (std::optional<std::string_view> box = status_box_text(update.status)) {
            box_shown = true;
            window.show_message(*box);
        }
    }

    bool box_shown = false;

  private:
    ProgressOutside* outside_;
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

void fail_conversion(std::string_view message, bool box_already_shown) {
    WindowServices& window = *platform().window;
    window.write_control_text(controls::kProgressLabel, messages::kProgressFailed);
    if (!box_already_shown) window.show_message(message);
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

    // A new file: the mark of an earlier failure goes from the taskbar button.
    if (TaskbarServices* taskbar = platform().taskbar) taskbar->clear();
    Text duration;
    {
        BusyWindow busy(session_);
        RunView view;
        duration = probe_file(session_, path, std::ref(view));
    }
    // The off-screen label keeps the probed duration as the window has always shown it.
    window.write_control_text(controls::kDurationStore, duration);
}

void MainWindow::on_change_resolution_clicked() {
    if (session_.run_in_progress) return;
    WindowServices& window = *platform().window;
    Text input = window.read_control_text(controls::kPathBox);
    Text width = window.read_control_text(controls::kWidthBox);
    Text height = window.read_control_text(controls::kHeightBox);

    ConversionOutcome outcome;
    bool box_shown = false;
    {
        BusyWindow busy(session_);
        ProgressOutside outside(session_);
        RunView view(&outside);
        outcome = convert_file(session_, input, width, height, std::ref(view));
        box_shown = view.box_shown;
        if (outcome.kind != ConversionOutcome::Kind::refused) {
            outside.end(outcome.kind == ConversionOutcome::Kind::failed);
        }
    }
    if (outcome.probed_duration) {
        window.write_control_text(controls::kDurationStore, *outcome.probed_duration);
    }
    switch (outcome.kind) {
        case ConversionOutcome::Kind::converted:
            window.write_control_text(controls::kProgressLabel, messages::kProgressDone);
            // The result was kept beside a final name that could not be replaced.
            if (!outcome.message.empty()) window.show_message(outcome.message);
            break;
        case ConversionOutcome::Kind::refused:
            // Nothing ran: an earlier run's "100 %" must not stand beside the refusal.
            window.write_control_text(controls::kProgressLabel, messages::kProgressPrefix);
            window.show_message(outcome.message);
            break;
        case ConversionOutcome::Kind::failed:
            // A status box during the run already named the cause: no second box.
            fail_conversion(outcome.message, box_shown);
            break;
    }
}

}  // namespace quelvarn
