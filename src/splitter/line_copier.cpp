// The line loop's steps between lines: the cutter's judgements, file changes, the header.
#include "splitter/line_copier.h"

#include <algorithm>
#include <utility>

#include "splitter/text_value.h"

namespace tarnwick {

void LineCopier::CloseFiles() {
  if (closed_by_host_) return;
  closed_by_host_ = true;
  if (pump_point_.run_start != nullptr) {
    // Inside the fast path: its unchanged lines not yet copied join the buffer first.
    const auto run = static_cast<std::size_t>(pump_point_.pos - pump_point_.run_start);
    std::memcpy(output_.data() + pump_point_.out_size, pump_point_.run_start, run);
    output_.AddCompleteLines(pump_point_.out_size + run, pump_point_.lines);
  }
  output_.Abandon(/*stopped=*/true);
}

bool LineCopier::EndHeader(bool at_end) {
  if (output_.in_header()) {
    if (!output_.EndHeader()) return false;
    if (!cutter_.LeavesRoomAfter(output_.prologue_size() + smallest_line_)) {
      error_ = SplitError{SplitErrorKind::kHeaderPastSize, {}, {}, {}};
      return false;
    }
  }
  if (!at_end) return true;
  // A source that is only its header gives one file holding it, as every file would start;
  // a cut that makes every file (parts) makes them without a header line too.
  const bool header_only = output_.has_header() && !output_.made_a_file();
  if (files_begun_ == 0 && (header_only || cutter_.MakesEmptyFiles()) && !BeginFile()) {
    return false;
  }
  if (header_only) output_.MakeCurrentFile();
  return true;
}

bool LineCopier::MakeRemainingParts() {
  if (files_begun_ == 0) return true;
  while (cutter_.IsForLaterFile(FileLimits::kNone)) {
    if (!NextFile()) return false;
  }
  return true;
}

// Hands over the rest of the current file and its closing. A file whose number ran out is
// an error only where it must be made.
bool LineCopier::FinishFile() {
  if (files_begun_ == 0) return true;
  if (!overflowed_.empty()) {
    assert(output_.size() == 0);  // nothing goes into a file without a number
    if (!cutter_.MakesEmptyFiles() && !output_.must_make_current()) return true;
    error_ = SplitError{SplitErrorKind::kNumberOverflow, overflowed_, {}, {}};
    return false;
  }
  if (!output_.Finish()) return false;
  ReportClosedFiles();
  return true;
}

void LineCopier::ReportClosedFiles() {
  for (const std::string& path : output_.TakeClosedFiles()) host_.FileFinished(path);
}

// Before a line's first byte is written (its first non-space, when trimmed): the file it
// goes into must have a number, and room for another line; then the cutter may end the
// file before the line. False when the job ended.
bool LineCopier::BeforeContent(const char* first, std::uint64_t size, bool size_known) {
  if (output_.in_header()) return true;
  if (!overflowed_.empty()) {
    error_ = SplitError{SplitErrorKind::kNumberOverflow, overflowed_, {}, {}};
    return false;
  }
  if (lines_in_file_ >= cutter_.limits().max_lines) {
    error_ = SplitError{SplitErrorKind::kCountOverflow, output_.path(), {}, {}};
    return false;
  }
  const LineToCome line{Offset(first), size, size_known};
  if (!cutter_.EndsBefore(lines_in_file_, output_.bytes_in_file(), line)) return true;
  if (!NextFile()) return false;
  if (overflowed_.empty()) return true;
  error_ = SplitError{SplitErrorKind::kNumberOverflow, overflowed_, {}, {}};
  return false;
}

// Inside a line: the pump runs, then whether a stop came (or the host closed the files).
bool LineCopier::StopSeenInLine() {
  host_.PumpMessages();
  stopped_in_line_ = closed_by_host_ || ReadStop();
  return stopped_in_line_;
}

LineCopier::LineResult LineCopier::EndLine() {
  output_.EndLine();
  return output_.failed() ? LineResult::kFailed : LineResult::kWritten;
}

// After a line was written: the header's last line begins the first file; any other line
// counts, and may complete its file (`file_done`). False when the job ended.
bool LineCopier::AfterLine(bool& file_done) {
  if (output_.in_header()) {
    if (--header_left_ > 0) return true;
    return EndHeader(/*at_end=*/false) && BeginFile();
  }
  ++lines_in_file_;
  ++progress_.lines_written;
  file_done = cutter_.IsComplete(lines_in_file_);
  return !file_done || NextFile();
}

bool LineCopier::NextFile() {
  return FinishFile() && BeginFile();
}

// Begins the next numbered file: the folder is taken now; the file is opened when first
// written to. False when there is no folder; a number past the largest is kept until a
// line needs its file.
bool LineCopier::BeginFile() {
  std::string folder = host_.OutputFolder();
  if (settings_.trims_paths) folder = std::string(TrimSpaces(folder));
  if (folder.empty()) {
    error_ = SplitError{SplitErrorKind::kNoOutputFolder, {}, {}, {}};
    return false;
  }
  ++files_begun_;
  lines_in_file_ = 0;
  std::string path;
  if (!names_.Next(std::move(folder), kPathSeparator, path)) {
    overflowed_ = std::move(path);
    return true;
  }
  progress_.file_number = static_cast<std::int32_t>(names_.number());
  // The mark and the header count where they will be written: not in an existing file that
  // holds text already (the output decides the same when it opens it).
  std::size_t counted = output_.prologue_size();
  if (counted > 0 && cutter_.CountsBytes() && !settings_.replace_existing &&
      files_.ExistingSize(path) > static_cast<std::int64_t>(output_.mark_size())) {
    counted = 0;
  }
  cutter_.BeginFile(counted);
  output_.Begin(std::move(path));
  return true;
}

// The stop flag, from the host or (with fixed settings) read directly; for the lines of a
// block read before a failed or stopped read, no stop.
bool LineCopier::ReadStop() const {
  if (settings_.fixed_stop == nullptr) return host_.StopRequested();
  return !block_.before_failure && settings_.fixed_stop->load(std::memory_order_relaxed);
}

// Where the fast path must leave the block: at the first line of the next part, or its end.
const char* LineCopier::PartLimit() const {
  const std::uint64_t next_part = cutter_.limits().next_part;
  const auto size = static_cast<std::uint64_t>(block_.end - block_.begin);
  if (next_part >= block_.offset + size) return block_.end;
  if (next_part <= block_.offset) return block_.begin;
  return block_.begin + (next_part - block_.offset);
}

// How far the fast path may fill the output buffer: its capacity, or what the current file
// still has room for.
std::size_t LineCopier::OutputLimit() const {
  const std::uint64_t room = cutter_.limits().bytes;
  const std::uint64_t handed = output_.handed_in_file();
  const std::uint64_t left = room > handed ? room - handed : 0;
  return static_cast<std::size_t>(std::min<std::uint64_t>(output_.capacity(), left));
}

}  // namespace tarnwick
