#include "ui/layout.h"

#include <iterator>

#include "ui/controls.h"

namespace quelvarn {

namespace {

using K = ControlKind;
namespace c = controls;

constexpr std::string_view kUsageNote =
    "说明：当分辨率宽为-1时，设置的分辨率后，宽度自动成比例 "
    "相反：当分辨率高为-1时，设置的分辨率后，"
    "高度自动成比例 如果自己设置分辨率高和宽时，一定要注意比例，否则会变形\r\n";

// clang-format off
const ControlRow kRows[] = {
    {K::transparent_label, c::kProgressLabel, {}, 397, 20, 91, 16, "进度："},
    // Outside the client area: it only stores the probed duration.
    {K::label, c::kDurationStore, {}, 720, 24, 80, 24, "标签"},
    {K::edit_box, c::kPathBox, {}, 67, 18, 325, 20, ""},
    {K::transparent_label, c::kPathCaption, {}, 8, 16, 64, 24, "视频路径："},
    {K::group_box, c::kGroup, {}, 8, 48, 480, 200, ""},
    {K::transparent_label, c::kLaterNote, c::kGroup, 320, 136, 128, 44, "其它功能后期再发"},
    {K::transparent_label, c::kUsageNote, c::kGroup, 8, 78, 464, 74, kUsageNote, true},
    {K::edit_box, c::kHeightBox, c::kGroup, 195, 40, 43, 20, "1920"},
    {K::edit_box, c::kWidthBox, c::kGroup, 79, 40, 43, 20, "-1"},
    {K::transparent_label, c::kSizeCaptions, c::kGroup, 8, 41, 240, 16,
     "分辨率帧宽：        分辨率帧高："},
    {K::push_button, c::kChangeButton, c::kGroup, 345, 34, 80, 32, "修改分辨率"},
    // Draws nothing; bound to the path box when the window has been created.
    {K::drop_target, c::kDropTarget, {}, 792, 136, 26, 26, ""},
};
// clang-format on

const WindowLayout kMainWindow = {
    "Quelvarn", 499, 284, kRows, static_cast<int>(std::size(kRows)),
};

}  // namespace

const WindowLayout& main_window_layout() {
    return kMainWindow;
}

const ControlRow* find_control_row(std::string_view name) {
    for (const ControlRow& row : kRows) {
        if (row.name == name) return &row;
    }
    return nullptr;
}

int layout_control_id(std::string_view name) {
    const ControlRow* row = find_control_row(name);
    return row ? kFirstControlId + static_cast<int>(row - kRows) : 0;
}

}  // namespace quelvarn
