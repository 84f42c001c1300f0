// Every text the window shows the user besides its layout: the progress label's texts and the
// message boxes. The user guide explains these; keep the two in step.
#pragma once

#include <string_view>

namespace quelvarn::messages {

// Progress label.
inline constexpr std::string_view kProgressPrefix = "进度：";
inline constexpr std::string_view kProgressDone = "进度：100 %";
inline constexpr std::string_view kProgressFailed = "进度：失败";

// Boxes. A text ending in a colon or a blank is followed by a path or a cause.
inline constexpr std::string_view kDropFirst = "请先把视频文件拖放到“视频路径”框中。";
inline constexpr std::string_view kOutputIsInput =
    "输出文件就是输入文件本身，不能覆盖。请先把视频移到别的文件夹再转换。";
inline constexpr std::string_view kFileMissing = "文件不存在11";
inline constexpr std::string_view kInputOutputError = "输入输出错误";
inline constexpr std::string_view kConverterMissingAfter = " 不存在";
inline constexpr std::string_view kConverterNotStarted = "无法启动 ";
inline constexpr std::string_view kConversionFailedCause = "转换失败：";
inline constexpr std::string_view kConversionFailedExitCode = "转换失败，转换程序的退出代码为 ";
inline constexpr std::string_view kCannotSaveOutput = "无法保存输出文件：";

}  // namespace quelvarn::messages
