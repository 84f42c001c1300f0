// The window framework when its window moves to a monitor of another DPI: the system sends
// WM_DPICHANGED with the new DPI and a suggested rectangle, and every control and the font must
// follow. Wine has one monitor, so the message is sent here as the system would send it.
#include <windows.h>

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/window_framework.h"

namespace quelvarn {
namespace {

using K = ControlKind;

const ControlRow kRows[] = {
    {K::edit_box, "path", {}, 67, 18, 325, 20, ""},
    {K::group_box, "group", {}, 8, 48, 480, 200, ""},
    {K::transparent_label, "note", "group", 8, 78, 464, 74, "说明：", true},
    {K::push_button, "button", "group", 345, 34, 80, 32, "修改分辨率"},
};

const WindowLayout kLayout = {"DPI", 499, 284, kRows, static_cast<int>(std::size(kRows))};

class NoEvents final : public WindowEvents {
  public:
    void on_created() override {}
    void on_clicked(std::string_view) override {}
    void on_files_dropped(std::string_view, const std::vector<Text>&) override {}
    bool accepting_files(std::string_view) override { return false; }
    void on_destroying() override {}
};

// A control by its row: row i has the identifier kFirstControlId + i under its parent.
HWND control(std::string_view name) {
    for (int i = 0; i < kLayout.row_count; ++i) {
        if (kRows[i].name != name) continue;
        HWND parent = kRows[i].parent.empty() ? win32::main_window() : control(kRows[i].parent);
        return GetDlgItem(parent, kFirstControlId + i);
    }
    return nullptr;
}

RECT place_in_parent(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

LONG font_height(HWND window) {
    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof font,
               &font);
    return font.lfHeight;
}

LONG stock_font_height() {
    LOGFONTW font = {};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
    return font.lfHeight;
}

TEST(DpiChange, ControlsAndFontFollowAndTheWindowTakesTheSuggestedRectangle) {
    ASSERT_TRUE(win32::initialise_window_framework());
    NoEvents events;
    win32::window_framework().load_window(kLayout, events);
    HWND main = win32::main_window();
    ASSERT_TRUE(main);
    // This test program is not DPI aware: the window starts at 96 DPI, as laid out.
    ASSERT_EQ(font_height(control("path")), stock_font_height());

    struct Step {
        int dpi;
        RECT suggested;
    };
    const Step steps[] = {
        {144, {100, 80, 849, 506}}, {120, {40, 30, 664, 385}}, {96, {0, 0, 499, 284}}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.dpi);
        RECT suggested = step.suggested;
        SendMessageW(main, WM_DPICHANGED, MAKEWPARAM(step.dpi, step.dpi),
                     reinterpret_cast<LPARAM>(&suggested));
        RECT frame;
        GetWindowRect(main, &frame);
        EXPECT_EQ(frame.left, step.suggested.left);
        EXPECT_EQ(frame.top, step.suggested.top);
        EXPECT_EQ(frame.right, step.suggested.right);
        EXPECT_EQ(frame.bottom, step.suggested.bottom);
        for (const ControlRow& row : kRows) {
            SCOPED_TRACE(std::string(row.name));
            HWND window = control(row.name);
            ASSERT_TRUE(window);
            RECT place = place_in_parent(window);
            EXPECT_EQ(place.left, MulDiv(row.left, step.dpi, 96));
            EXPECT_EQ(place.top, MulDiv(row.top, step.dpi, 96));
            EXPECT_EQ(place.right - place.left, MulDiv(row.width, step.dpi, 96));
            EXPECT_EQ(place.bottom - place.top, MulDiv(row.height, step.dpi, 96));
            EXPECT_EQ(font_height(window), MulDiv(stock_font_height(), step.dpi, 96));
        }
    }
}

}  // namespace
}  // namespace quelvarn
