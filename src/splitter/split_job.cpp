// The split job: streams the source in large blocks, trims and drops lines on the fly and
// gathers the output in a buffer, so no line is ever held whole and memory stays bounded.
//
// The job is a short pipeline: the source reader (block_reader.h) gives blocks with the
// list of their line ends; the line scanner here takes the lines from them, shaped as it
// goes (trimmed and dropped, or kept as they are); the cutter decides where a file ends
// (after N lines, before the line that would pass a size, or by the offset of a line in
// the source); the namer names the files; the output files (output_files.h) write the
// mark, the header and the lines on a helper thread. The scanner is a template over the
// code unit, the line-end rule and the shaping, chosen once per job. Lines that lie whole
// in the block take a fast path that keeps its state in registers and copies runs of
// unchanged lines in one piece; a line crossing the end of the block, a full output
// buffer, the count limit and the cutter's limits take the general path.
#include "splitter/split_job.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>
#include <utility>

#include "splitter/block_reader.h"
#include "splitter/cr_list.h"
#include "splitter/file_cutter.h"
#include "splitter/output_files.h"
#include "splitter/text_encoding.h"
#include "splitter/text_value.h"

namespace tarnwick {
namespace {

// The code units of a source, as the line scanner sees them: a byte (ANSI and UTF-8) or
// a 16-bit unit in either byte order. Chosen once per job; the scanner is compiled once
// for each.
struct ByteUnits {
  static constexpr std::size_t kSize = 1;
  static constexpr std::string_view kLineEnd{"\r\n", 2};
  static constexpr std::string_view kSpace{" ", 1};
  static bool IsSpace(const char* unit) { return *unit == ' '; }
  static bool IsCr(const char* unit) { return *unit == '\r'; }
  static bool IsLf(const char* unit) { return *unit == '\n'; }
  static std::size_t ListCrs(const char* bytes, std::size_t count, std::uint32_t* out) {
    return tarnwick::ListCrs(bytes, count, out);
  }
  static std::size_t ListLineEnds(const char* bytes, std::size_t count, std::uint32_t* out) {
    return tarnwick::ListLineEnds(bytes, count, out);
  }
};

template <bool kBigEndian>
struct Utf16Units {
  static constexpr std::size_t kSize = 2;
  static constexpr std::string_view kLineEnd =
      kBigEndian ? std::string_view("\0\r\0\n", 4) : std::string_view("\r\0\n\0", 4);
  static constexpr std::string_view kSpace =
      kBigEndian ? std::string_view("\0 ", 2) : std::string_view(" \0", 2);
  static bool IsSpace(const char* unit) { return Is(unit, ' '); }
  static bool IsCr(const char* unit) { return Is(unit, '\r'); }
  static bool IsLf(const char* unit) { return Is(unit, '\n'); }
  static std::size_t ListCrs(const char* bytes, std::size_t count, std::uint32_t* out) {
    return kBigEndian ? ListCrUnitsBe(bytes, count, out) : ListCrUnitsLe(bytes, count, out);
  }
  static std::size_t ListLineEnds(const char* bytes, std::size_t count, std::uint32_t* out) {
    return kBigEndian ? ListLineEndUnitsBe(bytes, count, out)
                      : ListLineEndUnitsLe(bytes, count, out);
  }

 private:
  // Whether the unit is U+00xx with xx = `low` (both bytes compared at once).
  static bool Is(const char* unit, char low) {
    const char expected[2] = {kBigEndian ? '\0' : low, kBigEndian ? low : '\0'};
    std::uint16_t value;
    std::uint16_t wanted;
    std::memcpy(&value, unit, 2);
    std::memcpy(&wanted, expected, 2);
    return value == wanted;
  }
};

// 64 space units of `Units`, appended piece by piece for spaces held back inside a line.
template <class Units>
constexpr auto kSpaceRun = [] {
  std::array<char, 64 * Units::kSize> run{};
  for (std::size_t i = 0; i < run.size(); ++i) run[i] = Units::kSpace[i % Units::kSize];
  return run;
}();

// The line scanner's rules for one job: the code units, whether a lone LF ends a line
// (the listing then holds CRs and LFs) and whether lines are kept as they are.
template <class UnitsType, bool kLfEndsLine, bool kKeepLines>
struct Scan : UnitsType {
  using Units = UnitsType;
  static constexpr bool kAnyEnds = kLfEndsLine;
  static constexpr bool kKeep = kKeepLines;
  // The same rules with only CR and CR LF ending a line.
  using CrOnly = Scan<UnitsType, false, kKeepLines>;
  static std::size_t List(const char* bytes, std::size_t count, std::uint32_t* out) {
    return kAnyEnds ? UnitsType::ListLineEnds(bytes, count, out)
                    : UnitsType::ListCrs(bytes, count, out);
  }
};

// What follows the bytes of a line about to be appended, for a size limit to judge the
// whole line by: a count of bytes known already, the source from an offset to the line's
// end, or at an offset the LF unit that may follow a CR the line ended with.
struct RestOfLine {
  enum Kind { kKnown, kFromSource, kLfAt };
  Kind kind;
  std::uint64_t value;  // bytes (kKnown) or an offset in the source
};

// Bytes of the source read at a time to measure a line longer than the output buffer.
constexpr std::size_t kLookAheadBytes = 64 * 1024;

// How the copying of one line ended.
enum class LineResult {
  kBlank,
  kWritten,
  kReadFailed,
  kWriteFailed,
  kCountOverflow,
  kEnded,  // starting the next file failed and ended the job
};

// Why the fast path handed over to the general path.
enum class FastExit {
  kGeneral,       // the next line needs the general path; the stop flag was read for it
  kBufferEnd,     // all buffered bytes are used
  kStop,          // a stop was seen
  kFileComplete,  // the last line completed the file
};

// Where the fast path stood when it called the message pump: the lines of the buffer up
// to `pos` are complete, those from `run_start` not yet copied to the output.
struct PumpPoint {
  const char* run_start = nullptr;  // null: no fast path is in the pump
  const char* pos = nullptr;
  std::size_t out_size = 0;
};

// The output buffer: with a size limit large enough, up to a bound, for a file of that
// size, so that a line that does not fit is still whole in it and can start the next file.
std::size_t WriteBufferSize(const SplitOptions& options, const SplitTuning& tuning) {
  std::size_t size = std::max<std::size_t>(tuning.write_buffer_size, 1);
  if (options.cut_by == CutBy::kBytes) {
    size = std::max(size, static_cast<std::size_t>(std::min<std::uint64_t>(
                              options.max_file_bytes + 4, tuning.largest_limit_buffer)));
  }
  return size;
}

// One run of the job; holds the open files, the buffers and the counters. The line
// scanner (CopyLinesInBuffer, CopyLine and the loop around them) is a template over the
// code units, instantiated for bytes and for 16-bit units of either byte order.
class SplitRun final : public SplitJobControl {
 public:
  SplitRun(SplitHost& host, FileSystem& files, const SplitOptions& options,
           const SplitTuning& tuning)
      : SplitRun(host, files, options, tuning,
                 tuning.background_writes ? std::make_unique<IoWorker>() : nullptr) {}

  SplitOutcome Run();
  void StopAndCloseFiles() override;
  // An exception that ends the job before its end (out of memory, a file layer that
  // throws) still leaves every file at a line boundary and closed.
  ~SplitRun() override {
    if (!ended_) {
      try {
        output_.Abandon();
        progress_.lines_written = output_.lines_kept();  // what the files hold
      } catch (...) {
      }
    }
    files_.SetStopFlag(nullptr);
  }

 private:
  SplitRun(SplitHost& host, FileSystem& files, const SplitOptions& options,
           const SplitTuning& tuning, std::unique_ptr<IoWorker> writer)
      : host_(host),
        files_(files),
        options_(options),
        progress_(options.progress != nullptr ? *options.progress : own_progress_),
        count_limit_(std::max<std::int32_t>(tuning.count_limit, 1)),
        cutter_(options),
        read_capacity_(std::clamp<std::size_t>(tuning.read_buffer_size, 1, kMaxReadBuffer)),
        reader_(read_capacity_),
        output_(files, WriteBufferSize(options, tuning), writer.get(), tuning.inline_write_bytes),
        writer_(std::move(writer)) {
    progress_ = SplitProgress{};
  }

  bool ReadMark(DetectedEncoding& detected);
  template <class Units, bool kKeep>
  SplitOutcome StartLines(LineEnds rule);
  template <class S>
  SplitOutcome Lines();
  template <class S>
  SplitOutcome LineLoop();
  template <class S, bool kFixedSettings>
  FastExit CopyLinesInBuffer();
  template <class S>
  bool PrepareNextLine();
  template <class S>
  LineResult CopyLine();
  template <class S>
  bool TakeLineEnd(const char* end);
  bool FileIsComplete();
  bool ReadStop();
  bool Refill();
  bool BeginNextOutput();
  bool FinishFile();
  void ReportClosedFiles();
  bool BeginPartsBefore(std::uint64_t offset);
  template <class S>
  bool MakeRoom(std::uint64_t more, RestOfLine rest);
  template <class S>
  bool RestOfLineFits(RestOfLine rest, std::uint64_t room);
  // The offset in the source of a byte of the current block.
  std::uint64_t SourceOffset(const char* byte) const {
    return block_offset_ + static_cast<std::uint64_t>(byte - block_);
  }
  const char* FastEnd() const;
  std::size_t FastOutputLimit() const;
  SplitOutcome EndOfSource(bool at_end);
  void CountLine() {
    ++lines_in_file_;
    ++progress_.lines_written;
  }
  // The outcome after a step that ended the job: the output's failure, if it was one.
  SplitOutcome Ended() { return output_.failed() ? FailOutput() : SplitOutcome::kFailed; }
  SplitOutcome Stopped();
  SplitOutcome EndStopped();
  SplitOutcome SourceReadFailed();
  SplitOutcome FailOutput();
  SplitOutcome Fail(SplitErrorKind kind, std::string path, std::string reason);
  SplitOutcome End(SplitOutcome outcome);

  SplitHost& host_;
  FileSystem& files_;
  const SplitOptions& options_;
  SplitProgress own_progress_;
  SplitProgress& progress_;
  std::int32_t count_limit_;
  FileCutter cutter_;
  std::size_t read_capacity_;

  std::string source_path_;
  std::unique_ptr<InputFile> source_;
  BlockReader reader_;
  std::string read_reason_;
  const char* block_ = nullptr;     // start of the current block
  const char* pos_ = nullptr;       // next unread byte of the read buffer
  const char* end_ = nullptr;       // end of the bytes read into the buffer
  std::uint64_t block_offset_ = 0;  // offset in the source of the block's first byte
  std::uint64_t next_offset_ = 0;   // offset of the byte after the block
  CrIndex crs_;
  bool source_ended_ = false;      // a read returned no bytes
  bool read_interrupted_ = false;  // a stop request interrupted the last read
  bool skip_lf_ = false;           // the last line ended at a CR that was the last unit read
  // With the rule kAuto, until the first line end: whether it has been seen, and whether
  // it was a CR (the scanner then goes on with the CR-only rule).
  bool deciding_ = false;
  bool decided_cr_ = false;

  OutputFiles output_;
  std::string output_path_;
  std::int32_t file_number_ = 0;
  std::int32_t files_begun_ = 0;
  std::int32_t lines_in_file_ = 0;
  std::size_t counted_prologue_ = 0;  // bytes of the mark and header the current file gets
  bool line_fits_ = false;  // with a size limit: the line being copied was measured to fit
  std::unique_ptr<char[]> look_ahead_;  // where the source is read ahead to measure a line
  bool header_phase_ = false;           // the lines being read are the header
  std::int32_t header_left_ = 0;

  // With a host of fixed settings: its stop flag, and N as read at the file's opening.
  const std::atomic<bool>* fixed_stop_ = nullptr;
  double fixed_lines_per_file_ = 0;

  // The host's StopAndCloseFiles: where the fast path stands while it pumps, and whether
  // the files have been closed (the job then only returns).
  PumpPoint pump_point_;
  bool closed_by_host_ = false;
  bool ended_ = false;  // End or Fail has run

  // Last, so it is destroyed first: a task still queued finishes while the file and
  // buffer it uses exist.
  std::unique_ptr<IoWorker> writer_;
};

SplitOutcome SplitRun::Run() {
  host_.SetJobControl(this);
  host_.JobStarted();
  fixed_stop_ = host_.FixedSettingsStopFlag();
  // A stop requested while the source waits for data (a pipe) ends the wait at once.
  if (fixed_stop_ != nullptr) files_.SetStopFlag(fixed_stop_);
  output_.SetLineCounter(&progress_.lines_written);
  source_path_ = host_.SourcePath();
  if (host_.TrimsPaths()) source_path_ = std::string(TrimSpaces(source_path_));
  std::string reason;
  source_ = host_.OpenSource(files_, source_path_, reason);
  if (!source_ && ReadStop()) return End(SplitOutcome::kStopped);  // a FIFO with no writer yet
  if (!source_) return Fail(SplitErrorKind::kSourceOpen, source_path_, std::move(reason));
  output_.SetSource(source_.get());
  progress_.source_size = source_->Size();
  if (cutter_.by() == CutBy::kParts) {
    if (source_->Size() < 0) return Fail(SplitErrorKind::kSourceSizeUnknown, source_path_, {});
    cutter_.SetSourceSize(static_cast<std::uint64_t>(source_->Size()));
  }
  // A file is made only when a line goes into it once the files are more than numbered
  // runs of N lines; parts are always made, all of them.
  output_.SetReplaceExisting(options_.replace_existing);
  output_.SetMakeEmptyFiles(cutter_.by() == CutBy::kParts ||
                            (cutter_.by() == CutBy::kLines && !options_.keep_lines &&
                             !options_.header_lines.has_value()));
  // The first bytes are read before any output exists: an unreadable source leaves no file.
  DetectedEncoding detected;
  if (!ReadMark(detected)) return SourceReadFailed();
  // A UTF-16 file cannot be read without its mark, so a forced UTF-16 job writes it too.
  const bool utf16 =
      detected.encoding == TextEncoding::kUtf16Le || detected.encoding == TextEncoding::kUtf16Be;
  output_.SetEncoding(detected.encoding, detected.mark_length > 0 || utf16);
  block_offset_ = next_offset_ = detected.mark_length;
  const LineEnds rule = options_.line_ends;
  const bool keep = options_.keep_lines;
  switch (detected.encoding) {
    case TextEncoding::kAnsi:
    case TextEncoding::kUtf8:
      return keep ? StartLines<ByteUnits, true>(rule) : StartLines<ByteUnits, false>(rule);
    case TextEncoding::kUtf16Le:
      return keep ? StartLines<Utf16Units<false>, true>(rule)
                  : StartLines<Utf16Units<false>, false>(rule);
    case TextEncoding::kUtf16Be:
      return keep ? StartLines<Utf16Units<true>, true>(rule)
                  : StartLines<Utf16Units<true>, false>(rule);
  }
  return StartLines<ByteUnits, false>(rule);
}

// Picks the scanner for the line-end rule. Until the first line end of a kAuto job, CRs and
// LFs are listed; a CR first then narrows the rule to CR and CR LF.
template <class Units, bool kKeep>
SplitOutcome SplitRun::StartLines(LineEnds rule) {
  output_.SetLineEnds(kKeep, rule != LineEnds::kCr);
  if (rule == LineEnds::kCr) return Lines<Scan<Units, false, kKeep>>();
  deciding_ = rule == LineEnds::kAuto;
  return Lines<Scan<Units, true, kKeep>>();
}

// Reads the first bytes of the source and decides its encoding; the bytes after the mark
// wait in the reader for the first block. False on a read failure.
bool SplitRun::ReadMark(DetectedEncoding& detected) {
  char first[kLongestMark];
  std::size_t have = 0;
  while (have < kLongestMark) {
    const std::int64_t count =
        source_->Read(first + have, std::min(kLongestMark - have, read_capacity_), read_reason_);
    if (count < 0) {
      read_interrupted_ = count == InputFile::kInterrupted;
      return false;
    }
    if (count == 0) break;
    have += static_cast<std::size_t>(count);
  }
  progress_.bytes_read += have;
  detected = DetectEncoding(std::string_view(first, have), options_.encoding);
  reader_.Prepend(std::string_view(first + detected.mark_length, have - detected.mark_length));
  return true;
}

// The start of the job's lines: the first block, the header or the first file.
template <class S>
SplitOutcome SplitRun::Lines() {
  reader_.Attach(source_.get(), S::kSize, &S::List);
  if (!Refill()) return SourceReadFailed();
  if (options_.header_lines.value_or(0) > 0) {
    header_phase_ = true;
    header_left_ = *options_.header_lines;
    output_.BeginHeader(kLargestHeader);
  } else if (!BeginNextOutput()) {
    return SplitOutcome::kFailed;
  }
  return LineLoop<S>();
}

// The job's loop over the lines of the source, to the end.
template <class S>
SplitOutcome SplitRun::LineLoop() {
  for (;;) {
    if constexpr (S::kAnyEnds) {
      if (decided_cr_) {  // the first line end was a CR: lone LFs are characters
        decided_cr_ = false;
        output_.SetLineEnds(S::kKeep, false);
        crs_.KeepOnlyCrs([](const char* unit) { return !S::IsLf(unit); });
        reader_.SetLister(&S::CrOnly::List);
        return LineLoop<typename S::CrOnly>();
      }
    }
    // One pass per line: end test, stop flag, line, count, N, message pump.
    if (pos_ == end_) {
      if (fixed_stop_ != nullptr) host_.PumpMessages();  // once per block: see SplitHost
      if (closed_by_host_) return Stopped();
      if (!PrepareNextLine<S>()) return SourceReadFailed();
    }
    // A final odd byte of 16-bit units is a line of its own, or the end of the last one.
    const bool odd_tail = S::kSize > 1 && reader_.has_odd_tail();
    const bool at_end = pos_ == end_ && !odd_tail;
    bool stop = false;
    if (pos_ != end_ && !deciding_ && !header_phase_) {
      const FastExit exit =
          fixed_stop_ != nullptr ? CopyLinesInBuffer<S, true>() : CopyLinesInBuffer<S, false>();
      switch (exit) {
        case FastExit::kGeneral:
          break;
        case FastExit::kBufferEnd:
          continue;
        case FastExit::kStop:
          stop = true;
          break;
        case FastExit::kFileComplete:
          if (!FinishFile()) return FailOutput();
          if (!BeginNextOutput()) return SplitOutcome::kFailed;
          continue;
      }
    } else if (!at_end) {
      stop = ReadStop();
    }
    if (closed_by_host_) return Stopped();
    if (at_end || stop) return EndOfSource(at_end);
    if (cutter_.by() == CutBy::kParts && !header_phase_ &&
        !BeginPartsBefore(block_offset_ + static_cast<std::uint64_t>(pos_ - block_))) {
      return Ended();
    }
    switch (CopyLine<S>()) {
      case LineResult::kBlank:
        break;
      case LineResult::kWritten:
        if (header_phase_) {
          if (--header_left_ == 0) {
            header_phase_ = false;
            if (!output_.EndHeader()) return FailOutput();
            if (!BeginNextOutput()) return SplitOutcome::kFailed;
          }
          break;
        }
        CountLine();
        if (FileIsComplete()) {
          if (!FinishFile()) return FailOutput();
          if (!BeginNextOutput()) return SplitOutcome::kFailed;
          continue;  // no message processing for the line that completes a file
        }
        break;
      case LineResult::kReadFailed:
        return SourceReadFailed();
      case LineResult::kWriteFailed:
        return FailOutput();
      case LineResult::kCountOverflow:
        return Fail(SplitErrorKind::kCountOverflow, output_path_, {});
      case LineResult::kEnded:
        return Ended();
    }
    if (fixed_stop_ == nullptr) host_.PumpMessages();
  }
}

// The stop flag, from the host or (with fixed settings) read directly.
bool SplitRun::ReadStop() {
  return fixed_stop_ != nullptr ? fixed_stop_->load(std::memory_order_relaxed)
                                : host_.StopRequested();
}

// The end of the source (or a stop): a header not yet complete becomes the header; with
// parts every part up to the last is made; the files are closed.
SplitOutcome SplitRun::EndOfSource(bool at_end) {
  if (header_phase_) {
    header_phase_ = false;
    if (!output_.EndHeader()) return FailOutput();
    if (cutter_.by() == CutBy::kParts && at_end && !BeginNextOutput()) {
      return SplitOutcome::kFailed;
    }
  }
  if (at_end && cutter_.by() == CutBy::kParts && files_begun_ > 0 &&
      !BeginPartsBefore(std::numeric_limits<std::uint64_t>::max())) {
    return Ended();
  }
  if (files_begun_ > 0 && !FinishFile()) return FailOutput();
  if (!output_.Settle()) return FailOutput();
  source_.reset();
  return End(at_end ? SplitOutcome::kFinished : SplitOutcome::kStopped);
}

// With a size limit, before `more` bytes of a line are appended: when they would take the
// file past the limit, and the file holds lines already, the file ends before the line,
// which starts the next file. A line too long to be held whole in the buffer until it ends
// stays in this file, in pieces, only when all of it fits: the rest of it is measured in
// the source. False when a failure ended the job.
template <class S>
bool SplitRun::MakeRoom(std::uint64_t more, RestOfLine rest) {
  if (cutter_.by() != CutBy::kBytes || lines_in_file_ == 0 || header_phase_ || line_fits_) {
    return true;
  }
  const std::uint64_t used = counted_prologue_ + output_.bytes_in_file() + more;
  if (cutter_.Fits(used)) {
    if (!output_.LineWouldSpill(more)) return true;
    if (RestOfLineFits<S>(rest, cutter_.Room(used))) {
      line_fits_ = true;
      return true;
    }
  }
  if (!output_.FinishBeforeCurrentLine()) return false;
  ReportClosedFiles();
  return BeginNextOutput();
}

// Whether the rest of the line adds at most `room` bytes as the job writes it: trimmed of
// trailing spaces and ended by CR LF, or kept with its own line end. The source is read
// ahead at offsets, the job's reading left where it is; a source that cannot be read so
// (a pipe) or fails counts as not fitting: the line then starts the next file.
template <class S>
bool SplitRun::RestOfLineFits(RestOfLine rest, std::uint64_t room) {
  constexpr std::size_t kUnit = S::kSize;
  if (rest.kind == RestOfLine::kKnown) return rest.value <= room;
  if (!look_ahead_) look_ahead_ = std::make_unique<char[]>(kLookAheadBytes);
  char* const buffer = look_ahead_.get();
  std::uint64_t offset = rest.value;  // of the byte after those in the buffer
  if (rest.kind == RestOfLine::kLfAt) {
    std::size_t have = 0;
    while (have < kUnit) {
      const std::int64_t count = source_->ReadAt(offset + have, buffer + have, kUnit - have);
      if (count < 0) return false;
      if (count == 0) break;
      have += static_cast<std::size_t>(count);
    }
    const bool lf = S::kKeep && have == kUnit && S::IsLf(buffer);
    return (lf ? kUnit : 0) <= room;
  }
  std::uint64_t seen = 0;     // bytes scanned
  std::uint64_t written = 0;  // of them, those that are written whatever follows
  std::size_t have = 0;       // bytes in the buffer: at most part of a unit between reads
  for (;;) {
    const std::int64_t count = source_->ReadAt(offset, buffer + have, kLookAheadBytes - have);
    if (count < 0) return false;
    if (count == 0) {  // the end of the source; a final odd byte is the line's last character
      if (have > 0) written = seen + have;
      return written + (S::kKeep ? 0 : S::kLineEnd.size()) <= room;
    }
    offset += static_cast<std::uint64_t>(count);
    have += static_cast<std::size_t>(count);
    std::size_t at = 0;
    for (; at + kUnit <= have; at += kUnit) {
      const char* unit = buffer + at;
      if (S::IsCr(unit) || (S::kAnyEnds && S::IsLf(unit))) {
        if constexpr (S::kKeep) {
          written = seen + kUnit;
          if (written > room) return false;
          if (!S::IsCr(unit)) return true;
          return RestOfLineFits<S>({RestOfLine::kLfAt, offset - have + at + kUnit}, room - written);
        } else {
          return written + S::kLineEnd.size() <= room;
        }
      }
      seen += kUnit;
      if (S::kKeep || !S::IsSpace(unit)) written = seen;
      if (written > room) return false;
    }
    have -= at;
    std::memmove(buffer, buffer + at, have);
  }
}

// Finishes parts and begins the next until the current part is the one a line starting
// at `offset` belongs to (the last part takes the lines of a source that grew). False when
// a failure ended the job.
bool SplitRun::BeginPartsBefore(std::uint64_t offset) {
  while (files_begun_ < cutter_.parts() && offset >= cutter_.PartStart(files_begun_ + 1)) {
    if (!FinishFile()) return false;
    if (!BeginNextOutput()) return false;
  }
  return true;
}

// The host's way to end the job from inside the pump: the lines processed so far go to
// their file, which is closed with every other, before this returns.
void SplitRun::StopAndCloseFiles() {
  if (closed_by_host_) return;
  closed_by_host_ = true;
  if (pump_point_.run_start != nullptr) {
    // Inside the fast path: its unchanged lines not yet copied join the buffer first.
    const auto run = static_cast<std::size_t>(pump_point_.pos - pump_point_.run_start);
    std::memcpy(output_.data() + pump_point_.out_size, pump_point_.run_start, run);
    output_.SetSizeOfCompleteLines(pump_point_.out_size + run);
  }
  output_.Abandon(/*stopped=*/true);
}

// Whether the current file has its N lines: N is taken now (as read at the file's opening
// with a host of fixed settings) and compared as a real number. Only when cut by lines.
bool SplitRun::FileIsComplete() {
  if (cutter_.by() != CutBy::kLines) return false;
  const double n = fixed_stop_ != nullptr ? fixed_lines_per_file_ : host_.LinesPerFile();
  return static_cast<double>(lines_in_file_) >= n;
}

// Where the fast path must leave the block: at the first line of the next part, or its end.
const char* SplitRun::FastEnd() const {
  if (cutter_.by() != CutBy::kParts || files_begun_ >= cutter_.parts()) return end_;
  const std::uint64_t next_part = cutter_.PartStart(files_begun_ + 1);
  if (next_part >= next_offset_) return end_;
  if (next_part <= block_offset_) return block_;
  return block_ + (next_part - block_offset_);
}

// How far the fast path may fill the output buffer: its capacity, or with a size limit
// what the current file has room for.
std::size_t SplitRun::FastOutputLimit() const {
  if (cutter_.by() != CutBy::kBytes) return output_.capacity();
  const std::uint64_t room = cutter_.Room(counted_prologue_ + output_.handed_in_file());
  return static_cast<std::size_t>(std::min<std::uint64_t>(output_.capacity(), room));
}

// The fast path: handles line after line (stop flag, line, count, N, pump) as long as
// each ends inside the buffer with the unit after its end, if any, also inside. Runs of
// lines that need no change (with trimming: no spaces at either end, CR LF; kept lines
// always) are copied in one piece when a line needing a change comes or the path is left;
// the host cannot see the buffer meanwhile (its StopAndCloseFiles finds the run through
// pump_point_). Lines crossing the end of the buffer, a full output buffer, the line limit
// and the cutter's limits are left to the general path. The state lives in locals, so the
// host calls do not force it out of registers.
template <class S, bool kFixedSettings>
FastExit SplitRun::CopyLinesInBuffer() {
  constexpr std::size_t kUnit = S::kSize;
  constexpr std::size_t kLineEnd = 2 * kUnit;  // CR and LF
  const char* pos = pos_;
  const char* run_start = pos;  // start of the unchanged lines not yet copied
  const char* const end = end_;
  const char* const fast_end = FastEnd();
  const char* const block = crs_.begin();
  const std::uint32_t* const list = crs_.list();
  std::size_t next = crs_.next();
  const std::size_t count = crs_.count();
  char* const out = output_.data();
  std::size_t out_size = output_.size();
  const std::size_t out_capacity = FastOutputLimit();
  std::int32_t lines = lines_in_file_;
  std::int64_t total = progress_.lines_written;
  const std::int32_t limit = count_limit_;
  const bool by_lines = cutter_.by() == CutBy::kLines;
  const double fixed_n = by_lines ? fixed_lines_per_file_ : std::numeric_limits<double>::infinity();
  FastExit exit = FastExit::kBufferEnd;
  // The message pump, with the place the host's StopAndCloseFiles needs.
  const auto pump = [&] {
    pump_point_ = PumpPoint{run_start, pos, out_size};
    host_.PumpMessages();
    pump_point_.run_start = nullptr;
  };
  while (pos < fast_end) {
    const bool stop = kFixedSettings ? fixed_stop_->load(std::memory_order_relaxed)
                                     : closed_by_host_ || host_.StopRequested();
    if (stop) {
      exit = FastExit::kStop;
      break;
    }
    if (next == count) {  // the line runs past the end of the buffer
      exit = FastExit::kGeneral;
      break;
    }
    const char* cr = block + list[next];  // the line's end: a CR, or with kAnyEnds an LF
    // The output grows by at most the line and CR LF.
    if (cr + kUnit == end || lines >= limit ||
        out_size + static_cast<std::size_t>(cr + kLineEnd - run_start) > out_capacity) {
      exit = FastExit::kGeneral;
      break;
    }
    const char* after;
    if constexpr (S::kAnyEnds) {
      if (S::IsLf(cr)) {
        after = cr + kUnit;
      } else if (S::IsLf(cr + kUnit)) {
        after = cr + kLineEnd;
        ++next;  // the LF's own entry
      } else {
        after = cr + kUnit;
      }
    } else {
      after = S::IsLf(cr + kUnit) ? cr + kLineEnd : cr + kUnit;
    }
    ++next;
    if constexpr (S::kKeep) {
      pos = after;
    } else if (cr == pos || S::IsSpace(pos) || S::IsSpace(cr - kUnit) || after == cr + kUnit) {
      // A line to trim or drop, or one ending at a lone CR or LF: copy the run before it.
      const auto run = static_cast<std::size_t>(pos - run_start);
      std::memcpy(out + out_size, run_start, run);
      out_size += run;
      run_start = after;
      const char* first = pos;
      while (first < cr && S::IsSpace(first)) first += kUnit;
      const char* last = cr;
      while (last > first && S::IsSpace(last - kUnit)) last -= kUnit;
      pos = after;
      if (first == last) {  // blank: neither written nor counted
        if (!kFixedSettings) pump();
        continue;
      }
      const auto length = static_cast<std::size_t>(last - first);
      std::memcpy(out + out_size, first, length);
      std::memcpy(out + out_size + length, S::kLineEnd.data(), kLineEnd);
      out_size += length + kLineEnd;
    } else {
      pos = after;
    }
    ++lines;
    progress_.lines_written = ++total;
    if (static_cast<double>(lines) >=
        (kFixedSettings || !by_lines ? fixed_n : host_.LinesPerFile())) {
      exit = FastExit::kFileComplete;
      break;
    }
    if (!kFixedSettings) pump();
  }
  if (exit == FastExit::kBufferEnd && pos != end) exit = FastExit::kGeneral;  // a new part
  if (!closed_by_host_) {
    const auto run = static_cast<std::size_t>(pos - run_start);
    std::memcpy(out + out_size, run_start, run);
    output_.SetSizeOfCompleteLines(out_size + run);
  }
  pos_ = pos;
  crs_.set_next(next);
  lines_in_file_ = lines;
  return exit;
}

// Reads the next block of the source into the buffer. False on a read failure.
bool SplitRun::Refill() {
  const Block block = reader_.Next(read_reason_);
  const std::int64_t count = block.count;
  if (count < 0) {
    read_interrupted_ = count == InputFile::kInterrupted;
    return false;
  }
  block_ = pos_ = block.bytes;
  end_ = block.bytes + count;
  block_offset_ = next_offset_;
  next_offset_ += static_cast<std::uint64_t>(count);
  crs_.Start(block);
  if (count == 0) source_ended_ = true;
  progress_.bytes_read += block.fresh;
  return true;
}

// Called when the buffer is used up: makes the next line's first unit available
// (pos_ < end_), or leaves pos_ == end_ at the end of the source. Consumes the LF of a
// CR LF pair split across two reads.
template <class S>
bool SplitRun::PrepareNextLine() {
  for (;;) {
    if (pos_ == end_) {
      if (source_ended_) return true;
      if (!Refill()) return false;
      continue;
    }
    if (skip_lf_) {
      skip_lf_ = false;
      if (S::IsLf(pos_)) {
        pos_ += S::kSize;
        if constexpr (S::kAnyEnds) crs_.Take();
        continue;
      }
    }
    return true;
  }
}

// Takes the listed line end at `end` (the first undecided one decides the rule) and moves
// past it, and past the LF of a CR LF in the buffer. True when it is a CR that is the last
// unit read, so an LF may follow in the next read.
template <class S>
bool SplitRun::TakeLineEnd(const char* end) {
  crs_.Take();
  pos_ = end + S::kSize;
  const bool lf = S::kAnyEnds && S::IsLf(end);
  if (deciding_) {
    deciding_ = false;
    decided_cr_ = !lf;
  }
  if (lf) return false;
  if (pos_ == end_) return true;
  if (S::IsLf(pos_)) {
    pos_ += S::kSize;
    if constexpr (S::kAnyEnds) crs_.Take();
  }
  return false;
}

// The general path for one line. Trimmed: leading spaces skipped, trailing spaces held
// back as a count until a later unit shows they are inside the line, CR LF appended. Kept:
// every unit as it is, with its own line end. The line may span any number of reads; a
// final odd byte of 16-bit units ends it.
template <class S>
LineResult SplitRun::CopyLine() {
  constexpr std::size_t kUnit = S::kSize;
  bool started = S::kKeep;           // a non-space unit of this line has been seen
  std::uint64_t pending_spaces = 0;  // bytes of spaces held back
  line_fits_ = false;
  if (S::kKeep && lines_in_file_ >= count_limit_ && !header_phase_) {
    return LineResult::kCountOverflow;
  }
  // Writes what the line holds after its leading spaces: the held-back spaces first. False
  // when the job ended while making room.
  const auto write = [&](const char* bytes, std::size_t count, RestOfLine rest) {
    if (!MakeRoom<S>(pending_spaces + count, rest)) return false;
    if (pending_spaces > 0) {
      using Units = typename S::Units;
      output_.AppendRepeated(std::string_view(kSpaceRun<Units>.data(), kSpaceRun<Units>.size()),
                             pending_spaces);
      pending_spaces = 0;
    }
    output_.Append(bytes, count);
    return true;
  };
  // Appends bytes of a kept line as they are.
  const auto keep = [&](const char* bytes, std::size_t count, RestOfLine rest) {
    if (!MakeRoom<S>(count, rest)) return false;
    output_.Append(bytes, count);
    return true;
  };
  for (;;) {
    const char* p = pos_;
    const char* cr = crs_.Peek();
    const char* stop = cr != nullptr ? cr : end_;
    if constexpr (S::kKeep) {
      if (cr != nullptr) {
        const bool cr_at_end = TakeLineEnd<S>(cr);
        const RestOfLine rest = cr_at_end && !source_ended_
                                    ? RestOfLine{RestOfLine::kLfAt, SourceOffset(pos_)}
                                    : RestOfLine{RestOfLine::kKnown, 0};
        if (!keep(p, static_cast<std::size_t>(pos_ - p), rest)) return LineResult::kEnded;
        if (cr_at_end && !source_ended_) {
          // The LF of a CR LF may start the next read: it belongs to this line.
          if (output_.failed()) return LineResult::kWriteFailed;
          if (!Refill()) {
            // The line is whole at its CR: it stays, and counts, whatever ends the job.
            output_.EndLine();
            if (!header_phase_) CountLine();
            return LineResult::kReadFailed;
          }
          if (pos_ != end_ && S::IsLf(pos_)) {
            if (!keep(pos_, kUnit, {RestOfLine::kKnown, 0})) return LineResult::kEnded;
            pos_ += kUnit;
            if constexpr (S::kAnyEnds) crs_.Take();
          }
        }
        break;
      }
      if (!keep(p, static_cast<std::size_t>(end_ - p),
                {RestOfLine::kFromSource, SourceOffset(end_)})) {
        return LineResult::kEnded;
      }
    } else {
      if (!started) {
        while (p < stop && S::IsSpace(p)) p += kUnit;
        if (p < stop) {
          if (lines_in_file_ >= count_limit_ && !header_phase_) {
            return LineResult::kCountOverflow;
          }
          started = true;
        }
      }
      if (p < stop) {
        const char* q = stop;
        while (q > p && S::IsSpace(q - kUnit)) q -= kUnit;
        const RestOfLine rest = cr != nullptr
                                    ? RestOfLine{RestOfLine::kKnown, S::kLineEnd.size()}
                                    : RestOfLine{RestOfLine::kFromSource, SourceOffset(q)};
        if (q > p && !write(p, static_cast<std::size_t>(q - p), rest)) return LineResult::kEnded;
        pending_spaces += static_cast<std::uint64_t>(stop - q);
      }
      if (cr != nullptr) {
        skip_lf_ = TakeLineEnd<S>(cr);
        break;
      }
    }
    pos_ = end_;
    if (!source_ended_) {
      if (output_.failed()) return LineResult::kWriteFailed;
      if (!Refill()) return LineResult::kReadFailed;
    }
    if (source_ended_) {
      if (S::kSize > 1 && reader_.has_odd_tail()) {
        if (!started && lines_in_file_ >= count_limit_ && !header_phase_) {
          return LineResult::kCountOverflow;
        }
        started = true;
        const char tail = reader_.TakeOddTail();
        const bool appended = S::kKeep ? keep(&tail, 1, {RestOfLine::kKnown, 0})
                                       : write(&tail, 1, {RestOfLine::kKnown, S::kLineEnd.size()});
        if (!appended) return LineResult::kEnded;
      }
      break;
    }
  }
  if (!started) return LineResult::kBlank;
  if constexpr (!S::kKeep) {
    if (!MakeRoom<S>(S::kLineEnd.size(), {RestOfLine::kKnown, 0})) return LineResult::kEnded;
    output_.Append(S::kLineEnd.data(), S::kLineEnd.size());
  }
  if (output_.failed()) return LineResult::kWriteFailed;
  output_.EndLine();
  return LineResult::kWritten;
}

// Starts the next numbered output file: takes the folder now and names the file; the
// file itself is opened when first written to. False when the number would pass the
// limit (the error has been reported).
bool SplitRun::BeginNextOutput() {
  std::string path = host_.OutputFolder();
  if (host_.TrimsPaths()) path = std::string(TrimSpaces(path));
  const std::int64_t number = files_begun_ == 0 ? std::int64_t{options_.first_number}
                                                : static_cast<std::int64_t>(file_number_) + 1;
  if (path.empty() || (path.back() != kPathSeparator && path.back() != '/')) {
    path += kPathSeparator;  // a folder given as "out/" or "C:\" has one already
  }
  path += options_.names.Name(number);
  if (number > count_limit_) {
    Fail(SplitErrorKind::kCountOverflow, std::move(path), {});
    return false;
  }
  file_number_ = static_cast<std::int32_t>(number);
  ++files_begun_;
  lines_in_file_ = 0;
  progress_.file_number = file_number_;
  if (fixed_stop_ != nullptr && cutter_.by() == CutBy::kLines) {
    fixed_lines_per_file_ = host_.LinesPerFile();
  }
  // With a size limit, the mark and the header count where they will be written: not in
  // an existing file that holds text already (the writer decides the same when it opens).
  counted_prologue_ = output_.prologue_size();
  if (cutter_.by() == CutBy::kBytes && counted_prologue_ > 0 && !output_.replace_existing() &&
      files_.ExistingSize(path) > 0) {
    counted_prologue_ = 0;
  }
  output_path_ = path;
  output_.Begin(std::move(path));
  return true;
}

// Hands over the current file's rest and its closing; tells the host of a file made.
// False when a failure is known.
bool SplitRun::FinishFile() {
  if (!output_.Finish()) return false;
  ReportClosedFiles();
  return true;
}

// Tells the host of the files written and closed so far.
void SplitRun::ReportClosedFiles() {
  for (const std::string& path : output_.TakeClosedFiles()) host_.FileFinished(path);
}

// Ends the job after the host's StopAndCloseFiles: the files are closed already. A
// failure of the output before it is still the job's failure.
SplitOutcome SplitRun::Stopped() {
  source_.reset();
  return EndStopped();
}

// Ends a stopped job whose files are closed: as stopped, unless the output failed before
// or a file could not be cut back to a line boundary (which the user must hear of).
SplitOutcome SplitRun::EndStopped() {
  if (output_.failed()) return FailOutput();
  if (!output_.incomplete_file().empty()) {
    return Fail(SplitErrorKind::kOutputWrite, output_.incomplete_file(), output_.cut_back_reason());
  }
  return End(SplitOutcome::kStopped);
}

// Ends the job after a failed read; a read that a stop request interrupted ends it as
// stopped, with the complete lines before it.
SplitOutcome SplitRun::SourceReadFailed() {
  if (!read_interrupted_) return Fail(SplitErrorKind::kSourceRead, source_path_, read_reason_);
  output_.Abandon(/*stopped=*/true);
  source_.reset();
  return EndStopped();
}

// Ends the job with the output failure that was kept.
SplitOutcome SplitRun::FailOutput() {
  output_.Settle();
  const SplitErrorKind kind = output_.failed_kind();
  // A header too long is a property of the source, before any file is opened.
  return Fail(kind, kind == SplitErrorKind::kHeaderTooLong ? source_path_ : output_.failed_path(),
              output_.reason());
}

// Ends the job with an error: keeps the complete lines written so far, closes every file
// and tells the host.
SplitOutcome SplitRun::Fail(SplitErrorKind kind, std::string path, std::string reason) {
  ended_ = true;
  output_.Abandon();
  source_.reset();
  // The lines now in the files, which the host shows.
  progress_.lines_written = output_.lines_kept();
  ReportClosedFiles();
  host_.SetJobControl(nullptr);
  SplitError error{kind, std::move(path), std::move(reason), output_.incomplete_file()};
  host_.JobFailed(error);
  return SplitOutcome::kFailed;
}

// Tells the host how the job ended (the files are closed).
SplitOutcome SplitRun::End(SplitOutcome outcome) {
  ended_ = true;
  progress_.lines_written = output_.lines_kept();
  ReportClosedFiles();
  host_.SetJobControl(nullptr);
  if (outcome == SplitOutcome::kFinished) {
    host_.JobFinished();
  } else {
    host_.JobStopped();
  }
  return outcome;
}

}  // namespace

SplitOutcome RunSplit(SplitHost& host, FileSystem& files, const SplitOptions& options,
                      const SplitTuning& tuning) {
  SplitRun run(host, files, options, tuning);
  return run.Run();
}

}  // namespace tarnwick
