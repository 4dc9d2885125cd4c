// Where the output files of a split end: after N lines (the host's count), before the line
// that would take a file past a size, or where the part that a line's first byte falls in
// changes. The job asks; the cutter keeps the arithmetic.
#pragma once

#include <algorithm>
#include <cstdint>

#include "splitter/split_job.h"

namespace tarnwick {

class FileCutter {
 public:
  explicit FileCutter(const SplitOptions& options)
      : by_(options.cut_by), max_bytes_(options.max_file_bytes), parts_(options.parts) {}

  CutBy by() const { return by_; }

  // With a size limit: whether a file of `bytes` (mark, header and lines) is within it,
  // and how many more bytes a file of `used` bytes has room for.
  bool Fits(std::uint64_t bytes) const { return bytes <= max_bytes_; }
  std::uint64_t Room(std::uint64_t used) const { return used < max_bytes_ ? max_bytes_ - used : 0; }

  // With parts: the size of the source, which places the lines.
  void SetSourceSize(std::uint64_t size) { source_size_ = size; }
  std::int32_t parts() const { return parts_; }
  // The offset at which part `part` (1-based, at most `parts`) starts: the first offset o
  // with floor(o * parts / size) + 1 == part.
  std::uint64_t PartStart(std::int32_t part) const {
    const auto k = static_cast<unsigned __int128>(parts_);
    const auto product = static_cast<unsigned __int128>(part - 1) * source_size_;
    return static_cast<std::uint64_t>((product + k - 1) / k);
  }

 private:
  CutBy by_;
  std::uint64_t max_bytes_;
  std::int32_t parts_;
  std::uint64_t source_size_ = 0;
};

}  // namespace tarnwick
