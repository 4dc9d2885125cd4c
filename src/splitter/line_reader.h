// The source reader of the split job. It reads the source in large blocks of whole code
// units, lists each block's line ends, and hands out whole lines only: the unfinished last
// line of a read is moved to the front of the buffer and completed by the next read, and a
// CR last in a read waits for the unit after it (an LF may follow). Only a line longer than
// the bound is handed out in pieces, so memory stays bounded whatever the source holds.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "splitter/line_end.h"
#include "splitter/split_job.h"
#include "splitter/text_encoding.h"

namespace tarnwick {

// Largest read: offsets into the read buffer are 32-bit.
inline constexpr std::size_t kMaxReadBuffer = std::size_t{1} << 30;

// A block of the source as the reader hands it out.
struct LineBlock {
  const char* begin = nullptr;
  const char* end = nullptr;
  const char* base = nullptr;              // the line-end offsets count from here
  const std::uint32_t* offsets = nullptr;  // of the block's line ends, ascending
  std::size_t first = 0;                   // the entry of the block's first line end
  std::size_t count = 0;                   // entries up to the block's end
  std::uint64_t offset = 0;                // of `begin` in the source
  // The block starts inside a line begun by an earlier piece (a line longer than the bound).
  bool in_line = false;
  // The block is a piece of a line longer than the bound: it holds no line end, and the line
  // goes on in the next block.
  bool piece = false;
  // The source ends after the block: its last line may have no line end; an empty block
  // with `last` is the end of the source.
  bool last = false;
  // A read failed or a stop ended it after the block was read: its lines were whole before,
  // and are written whatever stop comes.
  bool before_failure = false;

  // The block's line ends under `Rule`, from the first.
  template <class Rule>
  LineFinder<Rule> Finder() const {
    return LineFinder<Rule>{base, offsets, first, count};
  }
};

// Reads the source and hands out blocks of whole lines. Every block but a piece ends right
// after a line end (or with the source); a line is handed out whole when its end lies
// within `bound` bytes of its start. The bound is at least a read, so only the first line
// of a block can be longer. The source is read only when the buffer holds no whole line (a
// CR last in the buffer waits for the unit after it).
class LineReader {
 public:
  LineReader(std::size_t capacity, std::size_t bound);
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // Reads the source's first bytes and decides its encoding by its mark; the bytes after
  // the mark wait for the first block. False on a failed or interrupted read.
  bool ReadMark(InputFile& file, SourceEncoding choice, DetectedEncoding& detected);

  // The next block, once the current one is used up. False on a failed or interrupted read;
  // a line a CR ended before it is handed out first, marked before_failure (a CR ends a
  // line whatever follows).
  template <class Rule>
  bool Next(LineBlock& block);

  // From `from` on (a line start in the current block), only CRs end lines: the rest of the
  // block is cut again by the CR-only rule. Once per job, when its first line end was a CR.
  template <class Rule>
  void NarrowToCrs(const char* from, LineBlock& block);

  // A final odd byte of a source of 16-bit units, once the source has ended.
  bool has_odd_tail() const { return has_odd_tail_; }
  char TakeOddTail() {
    has_odd_tail_ = false;
    return odd_tail_;
  }

  std::uint64_t bytes_read() const { return bytes_read_; }
  bool interrupted() const { return status_ == InputFile::kInterrupted; }
  const std::string& reason() const { return reason_; }

 private:
  // Bytes ahead of a read: the mark's look-ahead, the byte of an unfinished unit.
  static constexpr std::size_t kMaxCarry = kLongestMark + 1;

  template <class Rule>
  bool Cut(std::size_t from, LineBlock& block);
  template <class Rule>
  void List();
  std::size_t UnitsEnd(std::size_t unit) const { return filled_ - filled_ % unit; }
  void MoveTailToFront();
  bool Read(std::size_t unit);
  void Hand(std::size_t from, std::size_t to, std::size_t first, std::size_t count, bool in_line,
            LineBlock& block);

  std::size_t capacity_;
  std::size_t bound_;
  std::size_t size_;  // of the buffer, without the slack the listing may read
  std::unique_ptr<char[]> bytes_;
  std::unique_ptr<std::uint32_t[]> offsets_;
  InputFile* file_ = nullptr;
  std::size_t filled_ = 0;    // bytes in the buffer
  std::size_t listed_ = 0;    // entries in offsets_: the line ends of [0, UnitsEnd)
  std::size_t handed_ = 0;    // the end of the block handed out; the tail starts here
  std::uint64_t offset_ = 0;  // of the buffer's first byte in the source
  bool first_block_ = true;   // no block has been handed out yet
  bool in_line_ = false;      // the tail continues a line handed out in pieces
  bool ended_ = false;        // the source has ended: its last line needs no line end
  bool cr_final_ = false;     // no more bytes come: a CR last in the buffer ends its line
  std::int64_t status_ =
      0;  // a failed or interrupted read, reported once the lines before it are out
  std::string reason_;
  std::uint64_t bytes_read_ = 0;
  bool has_odd_tail_ = false;
  char odd_tail_ = 0;
};

template <class Rule>
bool LineReader::Next(LineBlock& block) {
  MoveTailToFront();
  // The first block is a whole read, not only the bytes the mark's look-ahead took.
  if (std::exchange(first_block_, false)) Read(Rule::kUnit);
  List<Rule>();
  for (;;) {
    if (Cut<Rule>(0, block)) return true;
    if (status_ != 0) return false;
    if (Read(Rule::kUnit)) List<Rule>();
  }
}

template <class Rule>
void LineReader::NarrowToCrs(const char* from, LineBlock& block) {
  const auto at = static_cast<std::size_t>(from - bytes_.get());
  std::size_t kept = 0;
  for (std::size_t i = 0; i < listed_; ++i) {
    if (offsets_[i] < at || Rule::IsCr(bytes_.get() + offsets_[i])) offsets_[kept++] = offsets_[i];
  }
  listed_ = kept;
  assert(!in_line_);
  if (!Cut<typename Rule::CrOnly>(at, block)) Hand(at, at, listed_, listed_, false, block);
}

// Finds the block that starts at `from`: a line start, or after a piece the rest of the
// long line. False when the buffer does not hold it yet.
template <class Rule>
bool LineReader::Cut(std::size_t from, LineBlock& block) {
  constexpr std::size_t kUnit = Rule::kUnit;
  const char* const bytes = bytes_.get();
  const std::size_t units_end = UnitsEnd(kUnit);
  const bool in_line = in_line_;
  std::size_t first = 0;
  while (first < listed_ && offsets_[first] < from) ++first;
  // One past the last line end whose end is known: not a CR last in the buffer whose LF may
  // still come.
  std::size_t last = listed_;
  if (last > first && !cr_final_ && offsets_[last - 1] + kUnit >= units_end &&
      Rule::IsCr(bytes + offsets_[last - 1])) {
    --last;
  }
  const bool end_in_bound = first < listed_ && offsets_[first] - from < bound_;
  if (first < last && (in_line || end_in_bound)) {
    const auto to = static_cast<std::size_t>(Rule::EndOf(bytes + offsets_[last - 1]) - bytes);
    // With LFs listed, a CR LF's LF has an entry of its own: it belongs to the last line end.
    if (last < listed_ && offsets_[last] < to) ++last;
    in_line_ = false;
    Hand(from, to, first, last, in_line, block);
    block.before_failure = status_ != 0;
    return true;
  }
  if (in_line && first == last) {  // more of the long line: up to its end's CR, if that came
    const std::size_t to = first < listed_ ? offsets_[first] : units_end;
    if (to == from && !ended_) return false;
    Hand(from, to, first, first, in_line, block);
    block.piece = !ended_;
    block.last = ended_;
    return true;
  }
  if (!in_line && !end_in_bound && units_end - from >= bound_) {  // a line longer than the bound
    Hand(from, from + bound_, first, first, false, block);
    block.piece = true;
    in_line_ = true;
    return true;
  }
  if (!ended_) return false;
  Hand(from, units_end, first, first, false, block);  // the last line without a line end, or none
  block.last = true;
  return true;
}

template <class Rule>
void LineReader::List() {
  const std::size_t units_end = UnitsEnd(Rule::kUnit);
  listed_ = units_end > 0 ? Rule::List(bytes_.get(), units_end, offsets_.get()) : 0;
}

}  // namespace tarnwick
