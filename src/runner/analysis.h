// What the runner makes of the converter's report: line-end normalisation, the status of each
// piece and the progress it reports. Each class carries what it needs across reads, so a line, a
// marker or a "time=" report split between two reads is handled as if it had arrived in one
// piece.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "text/text.h"

namespace quelvarn {

// What a piece of the report says about the run.
enum class RunStatus {
    running,             // nothing in particular
    done,                // the converter's closing summary ("global headers:0kB")
    input_output_error,  // "Input/output error"
    file_missing,        // "No such file or directory"
};

// A "time=" report: how far the converter got, and against the duration the run was given.
struct RunProgress {
    // The clock as the converter wrote it, blanks removed ("00:01:05.32" loses nothing but
    // fits the 8 bytes the report gives it: "00:01:05").
    Text elapsed_clock;
    std::int32_t elapsed_seconds = 0;
    // Percent done, rounded to hundredths; nullopt when the duration is unknown (0).
    std::optional<double> percent;
};

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

// The status of a text by the markers in their order; running when none occurs.
RunStatus status_of(std::string_view text);

// elapsed / duration as a percentage rounded to hundredths; duration must not be 0.
double percent_done(std::int32_t elapsed, std::int32_t duration);

// The status and the progress over a stream of pieces. Each piece is analysed together with the
// few bytes before it that could still start a marker, and a "time=" report is used once it is
// complete (its 8 clock bytes have arrived), in the piece that completes it. Of the reports a
// piece completes, the newest counts; its percentage stays between 0 and 100.
class ChunkAnalyser {
  public:
    struct Result {
        RunStatus status = RunStatus::running;
        // The newest "time=" report that completed in this piece, if any.
        std::optional<RunProgress> progress;
    };

    // `duration_seconds` 0: unknown, no percentage.
    explicit ChunkAnalyser(std::int32_t duration_seconds = 0) : duration_(duration_seconds) {}

    Result analyse(std::string_view piece);

  private:
    std::optional<RunProgress> progress_step(std::string_view view, std::size_t search_from) const;
    RunStatus status_step(std::string_view view) const;

    std::int32_t duration_;
    Text carry_;
};

// What a conversion's report is kept for, in bounded memory however long the run: whether the
// conversion started ("Press [q] to stop") and completed (the closing summary with "global
// headers" after it started), and the line that explains a failure. Progress reports are dropped
// as they arrive; each kept line is capped.
class ConversionReport {
  public:
    // A normalised piece of the report.
    void feed(std::string_view piece);
    bool started() const;
    bool completed() const;
    // The converter's own verdict on a failure ("Conversion failed!") was seen after it started.
    bool failure_reported() const;
    // The first message after the conversion started, or when it never started, the last one
    // before the end; without the "[scale @ 0000...]" tags. Empty when there is none.
    Text failure_cause() const;

  private:
    void take_line(std::string_view line);
    void drop_progress_reports();
    ConversionReport with_last_line() const;

    Text partial_;
    bool partial_overflowed_ = false;
    bool started_ = false;
    bool summary_seen_ = false;
    bool verdict_seen_ = false;
    Text last_message_;
    Text first_after_start_;
};

}  // namespace quelvarn
