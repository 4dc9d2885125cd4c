// Where the output files of a split end: after N lines, before the line that would take a
// file past a size, or where the part that a line's first byte falls in changes. One small
// type per way, chosen once per job; it makes every decision of where a file ends. The line
// loop checks only the limits it publishes for the current file, per line, and asks it at
// those limits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>

#include "splitter/line_end.h"
#include "splitter/split_job.h"

namespace tarnwick {

// The current file's limits, checked by the line loop per line.
struct FileLimits {
  static constexpr double kNoCount = std::numeric_limits<double>::infinity();
  static constexpr std::uint64_t kNone = std::numeric_limits<std::uint64_t>::max();
  // The file is complete once it holds this many lines...
  double lines = kNoCount;
  // ...or, when given, as many as the host's LinesPerFile says after each line.
  SplitHost* lines_from_host = nullptr;
  // At most this many bytes of lines go into the file: a line that could pass it is judged
  // by EndsBefore first.
  std::uint64_t bytes = kNone;
  // A line that starts at or after this source offset belongs to a later file.
  std::uint64_t next_part = kNone;
  // Lines a file may hold at the most: another one is an error.
  std::int64_t max_lines = std::numeric_limits<std::int64_t>::max();
};

// A line about to be written, as the cutter judges it.
struct LineToCome {
  std::uint64_t offset = 0;  // in the source, of its first byte that is written
  std::uint64_t size = 0;    // the bytes it adds to the file, when known
  bool size_known = true;    // false for a line longer than the bound: measured in the source
};

// Whether the rest of a line from `offset` in the source adds at most `room` bytes as the
// job writes it, read ahead in `buffer` of kLookAheadBytes (the job's reading is left where
// it is). A source that cannot be read so (a pipe), or fails, counts as not fitting; when
// `stopped` says so between reads, the line counts as fitting (the job is ending).
using RestOfLineFits = bool (*)(InputFile& source, std::uint64_t offset, std::uint64_t room,
                                char* buffer, const std::function<bool()>& stopped);
inline constexpr std::size_t kLookAheadBytes = 64 * 1024;

class FileCutter {
 public:
  // The cutter for a job's options; `host` gives N when cutting by lines.
  // `max_lines` bounds the lines of a file cut by lines.
  static std::unique_ptr<FileCutter> For(const SplitOptions& options, SplitHost& host,
                                         bool fixed_settings, std::int64_t max_lines);
  virtual ~FileCutter() = default;

  // Before the first file: the source, and its size (for parts).
  virtual void Prepare(InputFile& /*source*/, std::uint64_t /*source_size*/) {}
  // How a line longer than the bound is measured (for sizes), by the job's rules, and when
  // the measuring gives up because the job is stopping.
  void MeasureLinesBy(RestOfLineFits measure) { measure_ = measure; }
  void StopMeasuringWhen(std::function<bool()> stopped) { stopped_ = std::move(stopped); }
  // A file begins; `counted` bytes of it (its mark and header) count toward a size.
  virtual void BeginFile(std::uint64_t counted) = 0;
  const FileLimits& limits() const { return limits_; }

  // Whether a line whose first byte is at `offset` belongs to a later file than the current.
  virtual bool IsForLaterFile(std::uint64_t /*offset*/) const { return false; }
  // Whether the current file, holding `lines` lines and `bytes` bytes of this job, ends
  // before `line`.
  virtual bool EndsBefore(std::int64_t /*lines*/, std::uint64_t /*bytes*/,
                          const LineToCome& /*line*/) {
    return false;
  }
  // Whether the current file is complete once it holds `lines` lines.
  virtual bool IsComplete(std::int64_t /*lines*/) { return false; }
  // Whether a file has room for `bytes` (its mark, header and shortest line).
  virtual bool LeavesRoomAfter(std::uint64_t /*bytes*/) const { return true; }
  // Whether a file that no line went into is still made, created empty or left as it was.
  virtual bool MakesEmptyFiles() const { return false; }
  // Whether the bytes of a file count (BeginFile's `counted` is then needed).
  virtual bool CountsBytes() const { return false; }

 protected:
  FileLimits limits_;
  RestOfLineFits measure_ = nullptr;
  std::function<bool()> stopped_;
};

// RestOfLineFits under `Rule`: trimmed (kKeep false) up to its last non-space unit and
// ended by CR LF, or kept with its own line end.
template <class Rule, bool kKeep>
bool MeasureRestOfLine(InputFile& source, std::uint64_t offset, std::uint64_t room, char* buffer,
                       const std::function<bool()>& stopped) {
  using Units = typename Rule::Units;
  constexpr std::size_t kUnit = Rule::kUnit;
  std::uint64_t seen = 0;     // bytes scanned
  std::uint64_t written = 0;  // of them, those written whatever follows
  std::size_t have = 0;       // bytes in the buffer: part of a unit, or a CR whose LF may follow
  for (;;) {
    if (seen > 0 && stopped && stopped()) return true;
    const std::int64_t count = source.ReadAt(offset, buffer + have, kLookAheadBytes - have);
    if (count < 0) return false;
    if (count == 0) {  // the end of the source; a final odd byte is no part of the line
      if (kKeep && have >= kUnit) written = seen + kUnit;  // a CR waiting for its LF
      return written + (kKeep ? 0 : Units::kCrLf.size()) <= room;
    }
    offset += static_cast<std::uint64_t>(count);
    have += static_cast<std::size_t>(count);
    std::size_t at = 0;
    for (; at + kUnit <= have; at += kUnit) {
      const char* unit = buffer + at;
      if (Rule::EndsLine(unit)) {
        if constexpr (!kKeep) return written + Units::kCrLf.size() <= room;
        if (!Rule::IsCr(unit)) return seen + kUnit <= room;
        if (at + 2 * kUnit > have) break;  // the unit after the CR is not read yet
        return seen + (Rule::IsLf(unit + kUnit) ? 2 : 1) * kUnit <= room;
      }
      seen += kUnit;
      if (kKeep || !SpaceTrim<Units>::IsSpace(unit)) written = seen;
      if (written > room) return false;
    }
    have -= at;
    std::memmove(buffer, buffer + at, have);
  }
}

}  // namespace tarnwick
