// What the portable code needs from the window framework. Controls are addressed by the names
// the layout table gives them.
#pragma once

#include <string_view>

#include "text/text.h"

namespace quelvarn {

// Message box styles the program uses (the values of the system's MB_ constants).
inline constexpr unsigned kMessageOk = 0x0;
inline constexpr unsigned kMessageIconError = 0x10;
inline constexpr std::string_view kDefaultMessageCaption = "信息：";

class WindowServices {
public:
    virtual ~WindowServices() = default;

    // Current text of an edit box, or the caption of a label.
    virtual Text read_control_text(std::string_view control) = 0;
    // Replaces it; a transparent label repaints its parent's background under it first.
    virtual void write_control_text(std::string_view control, std::string_view text) = 0;
    virtual void enable_control(std::string_view control, bool enabled) = 0;
    // Dispatches the messages already queued for this thread, without waiting.
    virtual void drain_message_queue() = 0;
    // A task-modal box with no owner; returns the button number (0 for OK).
    virtual int show_message(std::string_view text, unsigned style = kMessageOk,
                             std::string_view caption = kDefaultMessageCaption) = 0;
};

}  // namespace quelvarn
