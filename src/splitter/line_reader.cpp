// The source reader of the split job.
#include "splitter/line_reader.h"

#include <cstring>

namespace tarnwick {

LineReader::LineReader(std::size_t capacity, std::size_t bound)
    : capacity_(std::clamp<std::size_t>(capacity, 1, kMaxReadBuffer)),
      // A whole number of 16-bit units, at least a read.
      bound_(std::max<std::size_t>(std::max(bound, capacity_) & ~std::size_t{1}, 2)),
      size_(bound_ + capacity_ + kMaxCarry),
      // Not cleared: only what a read fills is touched, and so held in memory.
      bytes_(std::make_unique_for_overwrite<char[]>(size_ + kLineEndListSlack)),
      offsets_(std::make_unique_for_overwrite<std::uint32_t[]>(size_ + kLineEndListExtra)) {}

bool LineReader::ReadMark(InputFile& file, SourceEncoding choice, DetectedEncoding& detected) {
  file_ = &file;
  char first[kLongestMark];
  std::size_t have = 0;
  while (have < kLongestMark) {
    const std::int64_t count =
        file.Read(first + have, std::min(kLongestMark - have, capacity_), reason_);
    if (count < 0) {
      status_ = count;
      return false;
    }
    if (count == 0) break;
    have += static_cast<std::size_t>(count);
  }
  bytes_read_ = have;
  detected = DetectEncoding(std::string_view(first, have), choice);
  filled_ = have - detected.mark_length;
  std::memcpy(bytes_.get(), first + detected.mark_length, filled_);
  offset_ = detected.mark_length;
  return true;
}

void LineReader::MoveTailToFront() {
  if (handed_ == 0) return;
  std::memmove(bytes_.get(), bytes_.get() + handed_, filled_ - handed_);
  filled_ -= handed_;
  offset_ += handed_;
  handed_ = 0;
  if (cr_final_) std::memset(bytes_.get() + filled_, 0, 2);  // as Read leaves it
}

// Reads once after the bytes in the buffer. At the end of the source a final odd byte of
// 16-bit units is kept apart; after the last unit, and after a failed read, a zero unit
// stands in for the unit that will not come, so a final CR never reads an LF after it.
bool LineReader::Read(std::size_t unit) {
  assert(filled_ < size_);
  const std::size_t want = std::min(capacity_, size_ - filled_);
  const std::int64_t count = file_->Read(bytes_.get() + filled_, want, reason_);
  if (count > 0) {
    filled_ += static_cast<std::size_t>(count);
    bytes_read_ += static_cast<std::uint64_t>(count);
    return true;
  }
  if (count == 0) {
    ended_ = true;
    if (filled_ % unit != 0) {
      odd_tail_ = bytes_[filled_ - 1];
      has_odd_tail_ = true;
      --filled_;
    }
  } else {
    status_ = count;
    filled_ = UnitsEnd(unit);  // the job ends: half a unit is of no use
  }
  cr_final_ = true;
  std::memset(bytes_.get() + filled_, 0, 2);
  return count == 0;
}

void LineReader::Hand(std::size_t from, std::size_t to, std::size_t first, std::size_t count,
                      bool in_line, LineBlock& block) {
  assert(from <= to && to <= filled_ && first <= count && count <= listed_);
  block = LineBlock{};
  block.begin = bytes_.get() + from;
  block.end = bytes_.get() + to;
  block.base = bytes_.get();
  block.offsets = offsets_.get();
  block.first = first;
  block.count = count;
  block.offset = offset_ + from;
  block.in_line = in_line;
  handed_ = to;
}

}  // namespace tarnwick
