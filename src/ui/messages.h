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
// At start, when the tools could not be written anywhere; each folder and its reason follow,
// one a line.
inline constexpr std::string_view kToolsNotWritten = "无法写入转换工具，转换将无法进行。";

// Typed input refused before anything starts.
inline constexpr std::string_view kRelativePath =
    "请填写视频文件的完整路径（例如 D:\\视频\\片段.mp4），不能是相对路径：";
inline constexpr std::string_view kWidthInvalid =
    "“分辨率帧宽”只能填 -1（按比例）或 2 到 8192 之间的整数（奇数会减为偶数）。";
inline constexpr std::string_view kHeightInvalid =
    "“分辨率帧高”只能填 -1（按比例）或 2 到 8192 之间的整数（奇数会减为偶数）。";
inline constexpr std::string_view kBothSidesKeepAspect =
    "“分辨率帧宽”和“分辨率帧高”不能都是 -1，请至少填写其中一个的像素数。";
inline constexpr std::string_view kNoVideo = "该文件中没有视频画面，无法修改分辨率：";
inline constexpr std::string_view kPathTooLong = "路径太长，转换程序无法打开：";
inline constexpr std::string_view kOutputFolderUnusable = "无法创建或写入输出文件夹：";

// A conversion the converter did not complete, and a result kept beside the final name.
inline constexpr std::string_view kConverterEndedEarly =
    "转换程序在转换完成之前就结束了（可能被其他程序终止），没有保存输出文件。";
inline constexpr std::string_view kOutputKeptAs =
    "原有的输出文件无法替换（可能正被其他程序打开），这次的转换结果已保存为：";

}  // namespace quelvarn::messages
