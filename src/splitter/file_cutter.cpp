// The three ways the files of a split end.
#include "splitter/file_cutter.h"

namespace tarnwick {
namespace {

// After N lines: N as the host says, taken after every line, or once per file from a host
// whose settings cannot change.
class LinesCutter final : public FileCutter {
 public:
  LinesCutter(SplitHost& host, bool fixed_settings, bool classic, std::int64_t max_lines)
      : host_(host), fixed_(fixed_settings), classic_(classic) {
    if (!fixed_) limits_.lines_from_host = &host_;
    limits_.max_lines = max_lines;
  }
  void BeginFile(std::uint64_t) override {
    if (fixed_) limits_.lines = host_.LinesPerFile();
  }
  // N compared as a real number: any N not above 1 gives one line a file, 2.5 gives three.
  bool IsComplete(std::int64_t lines) override {
    return static_cast<double>(lines) >= (fixed_ ? limits_.lines : host_.LinesPerFile());
  }
  // The classic split (trimmed lines, no header) starts the next file after every full
  // one, so the last may be empty.
  bool MakesEmptyFiles() const override { return classic_; }

 private:
  SplitHost& host_;
  bool fixed_;
  bool classic_;
};

// Before the line that would take the file past `max` bytes (its mark, header and lines),
// unless the file holds no line yet: a line that alone does not fit has a file of its own.
class SizeCutter final : public FileCutter {
 public:
  explicit SizeCutter(std::uint64_t max) : max_(max) {}
  void Prepare(InputFile& source, std::uint64_t) override { source_ = &source; }
  void BeginFile(std::uint64_t counted) override {
    limits_.bytes = counted < max_ ? max_ - counted : 0;
  }
  bool CountsBytes() const override { return true; }
  bool EndsBefore(std::int64_t lines, std::uint64_t bytes, const LineToCome& line) override {
    if (lines == 0) return false;
    const std::uint64_t room = bytes < limits_.bytes ? limits_.bytes - bytes : 0;
    if (line.size_known) return line.size > room;
    if (!look_ahead_) look_ahead_ = std::make_unique<char[]>(kLookAheadBytes);
    return !measure_(*source_, line.offset, room, look_ahead_.get(), stopped_);
  }
  bool LeavesRoomAfter(std::uint64_t bytes) const override { return bytes <= max_; }

 private:
  std::uint64_t max_;
  InputFile* source_ = nullptr;
  std::unique_ptr<char[]> look_ahead_;  // where the source is read ahead to measure a line
};

// A line goes into the part its first byte's offset falls in, of `parts` parts of about
// equal size; every part is made, the last takes the lines of a source that grew.
class PartsCutter final : public FileCutter {
 public:
  explicit PartsCutter(std::int32_t parts) : parts_(parts) {}
  void Prepare(InputFile&, std::uint64_t source_size) override { source_size_ = source_size; }
  void BeginFile(std::uint64_t) override {
    ++begun_;
    limits_.next_part = begun_ < parts_ ? PartStart(begun_ + 1) : FileLimits::kNone;
  }
  bool IsForLaterFile(std::uint64_t offset) const override {
    return begun_ < parts_ && offset >= limits_.next_part;
  }
  bool MakesEmptyFiles() const override { return true; }

 private:
  // The offset at which part `part` (1-based) starts: the first offset o with
  // floor(o * parts / size) + 1 == part.
  std::uint64_t PartStart(std::int32_t part) const {
    const auto k = static_cast<unsigned __int128>(parts_);
    const auto product = static_cast<unsigned __int128>(part - 1) * source_size_;
    return static_cast<std::uint64_t>((product + k - 1) / k);
  }

  std::int32_t parts_;
  std::uint64_t source_size_ = 0;
  std::int32_t begun_ = 0;
};

}  // namespace

std::unique_ptr<FileCutter> FileCutter::For(const SplitOptions& options, SplitHost& host,
                                            bool fixed_settings, std::int64_t max_lines) {
  switch (options.cut_by) {
    case CutBy::kLines:
      break;
    case CutBy::kBytes:
      return std::make_unique<SizeCutter>(options.max_file_bytes);
    case CutBy::kParts:
      return std::make_unique<PartsCutter>(options.parts);
  }
  // Zero header lines is no header.
  const bool classic = !options.keep_lines && options.header_lines.value_or(0) == 0;
  return std::make_unique<LinesCutter>(host, fixed_settings, classic, max_lines);
}

}  // namespace tarnwick
