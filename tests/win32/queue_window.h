// The window services a runner needs in a test or a benchmark: control texts in a table and the
// thread's real message queue. Loading a window and ending the program are not part of it.
#pragma once

#include <windows.h>

#include <functional>
#include <map>

#include "platform/window.h"

namespace quelvarn::test_support {

class QueueWindow : public WindowServices {
  public:
    void set_window_caption(std::string_view) override {}
    Text read_control_text(std::string_view control) override {
        auto found = texts.find(control);
        return found == texts.end() ? Text() : found->second;
    }
    void write_control_text(std::string_view control, std::string_view text) override {
        texts[Text(control)] = Text(text);
    }
    void enable_control(std::string_view, bool) override {}
    void drain_message_queue() override {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (on_drain) on_drain();
    }
    int show_message(std::string_view, unsigned, std::string_view) override { return 0; }
    void load_window(const WindowLayout&, WindowEvents&) override {}
    void run_message_loop() override {}
    [[noreturn]] void end_program(int code) override { ExitProcess(static_cast<UINT>(code)); }
    bool bind_drop_target(std::string_view, std::string_view) override { return false; }
    void trace(std::string_view) override {}

    std::map<Text, Text, std::less<>> texts;
    // Runs after every drain, as a handler of a window message would.
    std::function<void()> on_drain;
};

}  // namespace quelvarn::test_support
