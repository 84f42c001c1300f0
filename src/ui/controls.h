// The names of the main window's controls, as the layout table gives them.
#pragma once

#include <string_view>

namespace quelvarn::controls {

inline constexpr std::string_view kProgressLabel = "透明标签_进度";
inline constexpr std::string_view kDurationStore = "标签1";
inline constexpr std::string_view kPathBox = "编辑框1";
inline constexpr std::string_view kPathCaption = "透明标签3";
inline constexpr std::string_view kGroup = "分组框1";
inline constexpr std::string_view kLaterNote = "透明标签4";
inline constexpr std::string_view kUsageNote = "透明标签2";
inline constexpr std::string_view kHeightBox = "编辑框_帧高";
inline constexpr std::string_view kWidthBox = "编辑框_帧宽";
inline constexpr std::string_view kSizeCaptions = "透明标签1";
inline constexpr std::string_view kChangeButton = "按钮_分辨率修改";
inline constexpr std::string_view kDropTarget = "拖放对象1";

}  // namespace quelvarn::controls
