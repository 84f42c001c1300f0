// What the runner does with the converter's report: line-end normalisation, the progress step
// and the status step. Each class carries what it needs across reads, so a line, a marker or a
// "time=" report split between two reads is handled as if it had arrived in one piece.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/text.h"

namespace quelvarn {

inline constexpr std::string_view kStatusDone = "任务完成";
inline constexpr std::string_view kStatusInputOutputError = "输入输出错误";
inline constexpr std::string_view kStatusFileMissing = "文件不存在";
inline constexpr std::string_view kStatusRunning = "正常运行";

inline constexpr std::string_view kProgressPrefix = "进度：";
inline constexpr std::string_view kProgressDone = "进度：100 %";

// LF becomes CR LF, then a blank followed by CR becomes the blank: both left to right, without
// overlap and without rescanning what was inserted. The one bit carried between reads (the last
// byte written was a blank) makes the result independent of where the reads split.
class ReportNormaliser {
  public:
    // Appends the normalised form of `bytes` to `out`.
    void feed(const std::uint8_t* bytes, std::size_t count, Text& out);

  private:
    bool after_blank_ = false;
};

// The normalised form of one whole report (tests and one-off use).
Text normalise_report(const Bytes& bytes);

// The status of a text by the vocabulary in its order; "正常运行" when no marker occurs.
Text status_of(std::string_view text);

// The percentage of elapsed against a duration other than 0: the ratio rounded to 4 places,
// times 100, written with at most 13 significant digits ("53.48", "100", "12.5").
Text percent_text(std::int32_t elapsed, std::int32_t duration);

// The progress step and the status step over a stream of pieces. Each piece is analysed
// together with the few bytes before it that could still start a marker, and a "time=" report
// is used once it is complete (its 8 clock bytes have arrived), in the piece that completes it.
class ChunkAnalyser {
  public:
    // Runs the progress step (label and the two progress globals) on the piece and returns the
    // status of the piece.
    Text analyse(std::string_view piece);

  private:
    void progress_step(std::string_view view, std::size_t search_from);
    Text status_step(std::string_view view);

    Text carry_;
};

// The last line of a report that holds more than blanks, without its line end and blanks.
class LastLineTracker {
  public:
    void feed(std::string_view piece);
    Text last_line() const;

  private:
    Text current_;
    Text last_;
};

}  // namespace quelvarn
