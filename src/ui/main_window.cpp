#include "ui/main_window.h"

#include <vector>

#include "platform/platform.h"
#include "runner/runner.h"
#include "ui/controls.h"
#include "ui/conversion.h"
#include "ui/messages.h"
#include "ui/progress_view.h"

namespace quelvarn {

namespace {

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

    RunView view;
    ConversionOutcome outcome;
    {
        BusyWindow busy(session_);
        outcome = convert_file(session_, input, width, height, std::ref(view));
    }
    switch (outcome.kind) {
        case ConversionOutcome::Kind::converted:
            window.write_control_text(controls::kProgressLabel, messages::kProgressDone);
            break;
        case ConversionOutcome::Kind::refused:
            window.show_message(outcome.message);
            break;
        case ConversionOutcome::Kind::failed:
            // A status box during the run already named the cause: no second box.
            fail_conversion(outcome.message, view.box_shown);
            break;
    }
}

}  // namespace quelvarn
