// The line loop of the split job: takes the reader's blocks line by line, shapes each line,
// lets the cutter decide where files end and appends the lines to the output files. Whole
// lines take a fast path that keeps its state in registers and copies runs of unchanged
// lines in one piece; the general path takes one line at a time: a line longer than the
// bound (in pieces), the last line of the source without a line end, the header, the line
// that decides the line-end rule, and the line at a limit of the file or the count.
#pragma once

#include <atomic>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "splitter/file_cutter.h"
#include "splitter/file_namer.h"
#include "splitter/line_end.h"
#include "splitter/line_reader.h"
#include "splitter/line_shaper.h"
#include "splitter/output_files.h"
#include "splitter/split_job.h"

namespace tarnwick {

// A job's rules for the line loop: the line-end rule and the shaping, chosen once.
template <class RuleType, template <class> class ShapeType>
struct Scan {
  using Rule = RuleType;
  using Shape = ShapeType<typename Rule::Units>;
  using CrOnly = Scan<typename Rule::CrOnly, ShapeType>;
};

// How the line loop ended.
enum class JobEnd {
  kSourceEnded,   // the end of the source
  kStopSeen,      // a stop seen before a line
  kReadStopped,   // a stop ended a read that waited for data
  kStopInLine,    // a stop seen inside a line longer than the bound
  kClosedByHost,  // the host closed the files from inside the pump (StopAndCloseFiles)
  kFailed,        // an error: the loop's own (error()) or else the output's
};

// What the line loop needs of the job, fixed for its run.
struct LoopSettings {
  const std::atomic<bool>* fixed_stop = nullptr;  // the host's, when its settings are fixed
  std::int32_t header_lines = 0;                  // repeated at the start of every file
  bool trims_paths = true;                        // the folder's spaces at both ends go
  bool replace_existing = false;                  // files are emptied when opened
};

class LineCopier {
  static constexpr std::atomic<bool> kNoStop{false};

 public:
  LineCopier(SplitHost& host, FileSystem& files, LineReader& reader, FileCutter& cutter,
             OutputNames& names, OutputFiles& output, SplitProgress& progress,
             const LoopSettings& settings)
      : host_(host),
        files_(files),
        reader_(reader),
        cutter_(cutter),
        names_(names),
        output_(output),
        progress_(progress),
        settings_(settings),
        header_left_(settings.header_lines) {
    cutter_.StopMeasuringWhen([this] { return StopSeenInLine(); });
  }

  // Copies the lines of the source from its first block; with kAuto's rule (`deciding`)
  // the first line end decides whether a lone LF ends lines.
  template <class S>
  JobEnd Run(bool deciding);

  // The host's StopAndCloseFiles: the lines processed so far go to their file, which is
  // closed with every other.
  void CloseFiles();

  // The steps of the job's end. A header not yet complete becomes the header, and at the
  // end of a source that was only its header one file holds it; every part up to the last
  // is made; the current file is handed over and closed. False when the output failed or
  // the numbers ran out (error()).
  bool EndHeader(bool at_end);
  bool MakeRemainingParts();
  bool FinishFile();
  // Tells the host of the files written and closed so far.
  void ReportClosedFiles();

  // The loop's own failure, when it had one (the output's are the output's).
  const std::optional<SplitError>& error() const { return error_; }

 private:
  enum class FastExit { kGeneral, kBlockEnd, kStop, kFileComplete };
  enum class LineResult { kBlank, kWritten, kFailed, kReadEnded, kStopped, kClosedByHost };
  // The fast path's place, held in registers while it runs: the block's lines before `pos`
  // are done, those from `run_start` (unchanged lines) not yet copied to `out`.
  struct FastPlace {
    const char* pos;
    const char* run_start;
    char* out;
    std::size_t out_size;
    std::int64_t lines;

    // Copies the run of unchanged lines up to `pos`; the next run starts at `next`.
    void CopyRun(const char* next) {
      const auto run = static_cast<std::size_t>(pos - run_start);
      std::memcpy(out + out_size, run_start, run);
      out_size += run;
      run_start = next;
    }
    // The run before the line at `pos` that needs a change, then the line as the shaping
    // writes it (its line end at `end`, the next line at `after`). False for a blank line.
    template <class S>
    bool CopyChangedLine(const char* end, const char* after) {
      const std::string_view crlf = S::Rule::Units::kCrLf;
      CopyRun(after);
      const ShapedLine line = S::Shape::Whole(pos, end, after);
      if (line.blank()) return false;
      const auto length = static_cast<std::size_t>(line.last - line.first);
      std::memcpy(out + out_size, line.first, length);
      std::memcpy(out + out_size + length, crlf.data(), crlf.size());
      out_size += length + crlf.size();
      return true;
    }
  };
  // Where the fast path stood when it called the pump: the lines up to `pos` are complete,
  // those from `run_start` not yet copied to the output.
  struct PumpPoint {
    const char* run_start = nullptr;  // null: no fast path is in the pump
    const char* pos = nullptr;
    std::size_t out_size = 0;
    std::int64_t lines = 0;  // lines of the fast path not yet given to the output
  };

  template <class S>
  void UseRules();
  template <class S>
  JobEnd Loop();
  template <class S, bool kFixedSettings>
  FastExit CopyWholeLines();
  template <class S>
  LineResult CopyLine();
  template <class S>
  LineResult CopyLastLine();
  template <class S>
  LineResult CopyLongLine();
  template <class S>
  bool CopyOddTail();
  bool StopSeenInLine();
  template <class Rule>
  const char* TakeEnd(LineFinder<Rule>& finder, const char* end);
  template <class Rule>
  bool NextBlock();
  template <class Rule>
  LineFinder<Rule> Finder() const {
    return LineFinder<Rule>{block_.base, block_.offsets, next_end_, block_.count};
  }
  bool BeforeContent(const char* first, std::uint64_t size, bool size_known);
  LineResult EndLine();
  bool AfterLine(bool& file_done);
  bool NextFile();
  bool BeginFile();
  bool ReadStop() const;
  std::uint64_t Offset(const char* byte) const {
    return block_.offset + static_cast<std::uint64_t>(byte - block_.begin);
  }
  const char* PartLimit() const;
  std::size_t OutputLimit() const;

  SplitHost& host_;
  FileSystem& files_;
  LineReader& reader_;
  FileCutter& cutter_;
  OutputNames& names_;
  OutputFiles& output_;
  SplitProgress& progress_;
  LoopSettings settings_;

  LineBlock block_;
  const char* pos_ = nullptr;  // the next line's first byte in the block
  std::size_t next_end_ = 0;   // the block's first line end not yet taken
  bool first_line_ = true;     // the source's first line end is still to come
  bool deciding_ = false;      // ... and with kAuto's rule it decides the rule
  bool decided_cr_ = false;    // it was a CR: lone LFs are characters from now on
  std::int32_t files_begun_ = 0;
  std::int64_t lines_in_file_ = 0;
  // The next file's path when its number would pass the largest: an error once a line (or
  // a file that is always made) needs it.
  std::string overflowed_;
  bool stopped_in_line_ = false;   // a stop was seen inside a line, while it was measured
  std::size_t smallest_line_ = 1;  // bytes of the shortest line the job can write
  std::int32_t header_left_;       // lines of the header still to come
  std::optional<SplitError> error_;
  PumpPoint pump_point_;
  bool closed_by_host_ = false;
};

template <class S>
JobEnd LineCopier::Run(bool deciding) {
  deciding_ = deciding;
  UseRules<S>();
  // A trimmed line holds a unit and CR LF at the least, a kept one its line end.
  smallest_line_ = (S::Shape::kKeep ? 1 : 3) * S::Rule::kUnit;
  output_.SetLineEndAfterOldText(S::Rule::Units::kCrLf, S::Shape::kKeep);
  if (!NextBlock<typename S::Rule>()) return JobEnd::kReadStopped;
  if (header_left_ > 0) {
    output_.BeginHeader(kLargestHeader);
  } else if (!BeginFile()) {
    return JobEnd::kFailed;
  }
  return Loop<S>();
}

// The cutter measures long lines, and the output finds the lines it holds, by `S`'s rules
// (trimmed lines always end at CR LF).
template <class S>
void LineCopier::UseRules() {
  using Rule = typename S::Rule;
  cutter_.MeasureLinesBy(&MeasureRestOfLine<Rule, S::Shape::kKeep>);
  output_.SetWholeLines(S::Shape::kKeep ? &WholeLinesIn<Rule>
                                        : &WholeLinesIn<typename Rule::CrOnly>);
}

// One pass per line: the end of the block, the stop flag, the line, its count and N, the
// message pump; the fast path makes many passes at once. The first line of the source takes
// the general path: its line end decides the rule of a kAuto job and is the one written
// after an existing file's incomplete last line.
template <class S>
JobEnd LineCopier::Loop() {
  using Rule = typename S::Rule;
  for (;;) {
    if constexpr (Rule::kAnyEnds) {
      if (decided_cr_) {  // the first line end was a CR: lone LFs are characters
        decided_cr_ = false;
        UseRules<typename S::CrOnly>();
        reader_.NarrowToCrs<Rule>(pos_, block_);
        pos_ = block_.begin;
        next_end_ = block_.first;
        return Loop<typename S::CrOnly>();
      }
    }
    assert(block_.begin <= pos_ && pos_ <= block_.end && next_end_ <= block_.count);
    if (pos_ == block_.end) {
      if (closed_by_host_) return JobEnd::kClosedByHost;
      if (block_.last)
        return !reader_.has_odd_tail() || CopyOddTail<S>() ? JobEnd::kSourceEnded : JobEnd::kFailed;
      if (settings_.fixed_stop != nullptr) host_.PumpMessages();  // once per block: see SplitHost
      if (closed_by_host_) return JobEnd::kClosedByHost;
      if (!NextBlock<Rule>()) return JobEnd::kReadStopped;
      continue;
    }
    bool stop = false;
    if (!first_line_ && !output_.in_header() && overflowed_.empty()) {
      const FastExit exit =
          settings_.fixed_stop != nullptr ? CopyWholeLines<S, true>() : CopyWholeLines<S, false>();
      if (exit == FastExit::kBlockEnd) continue;
      if (exit == FastExit::kFileComplete) {
        if (!NextFile()) return JobEnd::kFailed;
        continue;
      }
      stop = exit == FastExit::kStop;
    } else {
      stop = ReadStop();
    }
    if (closed_by_host_) return JobEnd::kClosedByHost;
    if (stop) return JobEnd::kStopSeen;
    while (!output_.in_header() && cutter_.IsForLaterFile(Offset(pos_))) {
      if (!NextFile()) return JobEnd::kFailed;
    }
    const LineResult result = CopyLine<S>();
    bool file_done = false;
    switch (result) {
      case LineResult::kBlank:
        break;
      case LineResult::kWritten:
        if (!AfterLine(file_done)) return JobEnd::kFailed;
        break;
      case LineResult::kFailed:
        return JobEnd::kFailed;
      case LineResult::kReadEnded:
        return JobEnd::kReadStopped;
      case LineResult::kStopped:
        return JobEnd::kStopInLine;
      case LineResult::kClosedByHost:
        return JobEnd::kClosedByHost;
    }
    if (file_done) continue;  // no message processing for the line that completes a file
    if (settings_.fixed_stop == nullptr) host_.PumpMessages();
  }
}

// The fast path: line after line (stop flag, line, count, N, pump) while each line ends in
// the block, within the cutter's limits and the count limit. Runs of lines that need no
// change are copied in one piece when a line needing a change comes or the path is left;
// the host cannot see the buffer meanwhile (its StopAndCloseFiles finds the run through
// pump_point_). The state lives in locals, so the host calls do not force it out of
// registers.
template <class S, bool kFixedSettings>
LineCopier::FastExit LineCopier::CopyWholeLines() {
  using Rule = typename S::Rule;
  constexpr std::size_t kCrLf = 2 * Rule::kUnit;
  FastPlace at{pos_, pos_, output_.data(), output_.size(), lines_in_file_};
  const std::int64_t first_lines = lines_in_file_;
  const char* const fast_end = PartLimit();
  const std::size_t out_limit = OutputLimit();
  LineFinder<Rule> finder = Finder<Rule>();
  std::int64_t total = progress_.lines_written;
  const std::int64_t limit = cutter_.limits().max_lines;
  // The lines of a block read before a failed or stopped read are written all the same.
  const std::atomic<bool>* const stop_flag =
      block_.before_failure ? &kNoStop : settings_.fixed_stop;
  SplitHost* const n_host = cutter_.limits().lines_from_host;
  const double fixed_n = cutter_.limits().lines;
  const auto lines_per_file = [&] {  // N now: from the host after every line, unless fixed
    if constexpr (kFixedSettings) return fixed_n;
    return n_host != nullptr ? n_host->LinesPerFile() : fixed_n;
  };
  const auto pump = [&] {
    pump_point_ = PumpPoint{at.run_start, at.pos, at.out_size, at.lines - first_lines};
    host_.PumpMessages();
    pump_point_.run_start = nullptr;
  };
  FastExit exit = FastExit::kBlockEnd;
  while (at.pos < fast_end) {
    if (kFixedSettings ? stop_flag->load(std::memory_order_relaxed)
                       : closed_by_host_ || host_.StopRequested()) {
      exit = FastExit::kStop;
      break;
    }
    const char* line_end = finder.Peek();
    // The output grows by at most the line and CR LF.
    if (line_end == nullptr || at.lines >= limit ||
        at.out_size + static_cast<std::size_t>(line_end + kCrLf - at.run_start) > out_limit) {
      exit = FastExit::kGeneral;
      break;
    }
    const char* after = finder.Take(line_end);
    const bool counts = S::Shape::Unchanged(at.pos, line_end, after) ||
                        at.template CopyChangedLine<S>(line_end, after);
    at.pos = after;
    if (counts) {  // a blank line is neither written nor counted
      ++at.lines;
      progress_.lines_written = ++total;
      if (static_cast<double>(at.lines) >= lines_per_file()) {
        exit = FastExit::kFileComplete;
        break;
      }
    }
    if (!kFixedSettings) pump();
  }
  if (exit == FastExit::kBlockEnd && at.pos != block_.end) exit = FastExit::kGeneral;  // a part
  if (!closed_by_host_) {
    at.CopyRun(at.pos);
    assert(at.out_size <= output_.capacity());
    output_.AddCompleteLines(at.out_size, at.lines - first_lines);
  }
  pos_ = at.pos;
  next_end_ = finder.next;
  lines_in_file_ = at.lines;
  return exit;
}

// The general path for the line at pos_ (the source's first, a header line, one at a limit):
// whole in the block, the last of the source without a line end, or longer than the bound.
template <class S>
LineCopier::LineResult LineCopier::CopyLine() {
  using Rule = typename S::Rule;
  LineFinder<Rule> finder = Finder<Rule>();
  const char* end = finder.Peek();
  if (end == nullptr) return block_.piece ? CopyLongLine<S>() : CopyLastLine<S>();
  const char* after = TakeEnd(finder, end);
  const ShapedLine line = S::Shape::Whole(pos_, end, after);
  pos_ = after;
  if (line.blank()) return LineResult::kBlank;
  const auto length = static_cast<std::size_t>(line.last - line.first);
  const std::size_t crlf = line.crlf ? Rule::Units::kCrLf.size() : 0;
  if (!BeforeContent(line.first, length + crlf, true)) return LineResult::kFailed;
  output_.Append(line.first, length);
  output_.Append(Rule::Units::kCrLf.data(), crlf);
  return EndLine();
}

// The last line of the source, without a line end.
template <class S>
LineCopier::LineResult LineCopier::CopyLastLine() {
  const char* const end = block_.end;
  const ShapedLine line = S::Shape::Whole(pos_, end, end);
  pos_ = end;
  if (line.blank()) return LineResult::kBlank;
  const auto length = static_cast<std::size_t>(line.last - line.first);
  const std::size_t crlf = line.crlf ? S::Rule::Units::kCrLf.size() : 0;
  if (!BeforeContent(line.first, length + crlf, true)) return LineResult::kFailed;
  output_.Append(line.first, length);
  output_.Append(S::Rule::Units::kCrLf.data(), crlf);
  return EndLine();
}

// A final odd byte of a source of 16-bit units ends the last file as it ended the source:
// after the last whole line, never inside one. It is no line and not counted.
template <class S>
bool LineCopier::CopyOddTail() {
  if (!EndHeader(/*at_end=*/true) || (files_begun_ == 0 && !BeginFile())) return false;
  while (cutter_.IsForLaterFile(Offset(block_.end))) {
    if (!NextFile()) return false;
  }
  if (!BeforeContent(block_.end, 1, true)) return false;
  const char tail = reader_.TakeOddTail();
  output_.Append(&tail, 1);
  output_.EndPiece();
  return !output_.failed();
}

// A line longer than the bound, piece by piece as the blocks come: never held whole. The
// cutter judges it before its first byte is written, measuring it in the source. A stop is
// seen between pieces, the pump runs for each: the line then ends the job, cut back.
template <class S>
LineCopier::LineResult LineCopier::CopyLongLine() {
  using Rule = typename S::Rule;
  typename S::Shape::Pieces line;
  bool judged = false;
  for (;;) {
    LineFinder<Rule> finder = Finder<Rule>();
    const char* end = finder.Peek();  // the line's end, once a block holds it
    const char* limit = end != nullptr ? end : block_.end;
    const char* first = line.ContentStart(pos_, limit);
    if (line.started() && !judged) {
      judged = true;
      if (!BeforeContent(first, 0, false)) return LineResult::kFailed;
      if (closed_by_host_) return LineResult::kClosedByHost;
      if (stopped_in_line_) return LineResult::kStopped;
    }
    const char* after = end != nullptr ? TakeEnd(finder, end) : limit;
    line.Write(output_, first, limit, after, end != nullptr);
    pos_ = after;
    if (end != nullptr || block_.last) break;
    if (output_.failed()) return LineResult::kFailed;
    if (StopSeenInLine()) return closed_by_host_ ? LineResult::kClosedByHost : LineResult::kStopped;
    if (!NextBlock<Rule>()) return LineResult::kReadEnded;
    assert(block_.in_line);
  }
  if (!line.started()) return LineResult::kBlank;
  line.End(output_);
  return EndLine();
}

// Takes the line end at `end`; the source's first one decides the rule of a kAuto job.
template <class Rule>
const char* LineCopier::TakeEnd(LineFinder<Rule>& finder, const char* end) {
  const char* after = finder.Take(end);
  next_end_ = finder.next;
  if (first_line_) {
    first_line_ = false;
    output_.NoteSourceLineEnd(std::string_view(end, static_cast<std::size_t>(after - end)));
    if constexpr (Rule::kAnyEnds) decided_cr_ = deciding_ && Rule::IsCr(end);
  }
  return after;
}

template <class Rule>
bool LineCopier::NextBlock() {
  const bool read = reader_.Next<Rule>(block_);
  progress_.bytes_read = reader_.bytes_read();
  pos_ = block_.begin;
  next_end_ = block_.first;
  return read;
}

}  // namespace tarnwick
