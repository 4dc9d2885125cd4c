// The source reader of the split job: reads the source in large blocks of whole code units
// and lists where each block's line ends are, so the scanner takes each line end from the
// list instead of searching for it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "splitter/cr_list.h"
#include "splitter/split_job.h"
#include "splitter/text_encoding.h"

namespace tarnwick {

// Slack past the end of the read buffer, for the CR search.
inline constexpr std::size_t kReadSlack = kCrListSlack;

// Largest read: offsets into the read buffer are 32-bit.
inline constexpr std::size_t kMaxReadBuffer = std::size_t{1} << 30;

// A block of the source with the list of its CRs.
struct Block {
  const char* bytes = nullptr;
  std::int64_t count = 0;  // bytes in the block; 0 at the end of the source, < 0 as Read
  std::uint32_t* crs = nullptr;
  std::size_t cr_count = 0;
  std::uint64_t fresh = 0;  // bytes read from the source for this block
};

// The listed line ends of the current block (CRs, and LFs where they end lines too), taken
// in order.
class CrIndex {
 public:
  // Starts over with a freshly read block.
  void Start(const Block& block) {
    begin_ = block.bytes;
    list_ = block.crs;
    count_ = block.cr_count;
    next_ = 0;
  }

  // The next CR not yet taken, or null when the rest of the block has none.
  const char* Peek() const { return next_ < count_ ? begin_ + list_[next_] : nullptr; }
  void Take() { ++next_; }

  // Direct access for the fast path, which keeps its place in a local.
  const char* begin() const { return begin_; }
  const std::uint32_t* list() const { return list_; }

  // Drops the entries not yet taken that are not at a byte or unit CR (`is_cr`), once a
  // job's first line end has shown that a lone LF is no line end.
  template <class IsCr>
  void KeepOnlyCrs(IsCr is_cr) {
    std::size_t kept = next_;
    for (std::size_t i = next_; i < count_; ++i) {
      if (is_cr(begin_ + list_[i])) list_[kept++] = list_[i];
    }
    count_ = kept;
  }
  std::size_t next() const { return next_; }
  std::size_t count() const { return count_; }
  void set_next(std::size_t next) { next_ = next; }

 private:
  const char* begin_ = nullptr;
  std::uint32_t* list_ = nullptr;  // offsets from begin_ of the block's line ends
  std::size_t count_ = 0;
  std::size_t next_ = 0;  // first entry not yet taken
};

// Reads the source block by block and lists each block's line ends. A block always holds
// whole code units: with 16-bit units a byte left over by a read waits at the front of
// the buffer for the next one, and a final odd byte of the source is kept apart (see
// TakeOddTail). (Reading ahead on a helper thread was measured to cost more than it
// saves: the system reads ahead already.)
class BlockReader {
 public:
  using Lister = std::size_t (*)(const char* bytes, std::size_t count, std::uint32_t* out);

  explicit BlockReader(std::size_t capacity)
      : capacity_(capacity),
        bytes_(std::make_unique<char[]>(capacity + kMaxCarry + kReadSlack)),
        crs_(std::make_unique<std::uint32_t[]>(capacity + kMaxCarry + kCrListExtra)) {}

  // The source, the size of its code units and the listing of their line ends.
  void Attach(InputFile* file, std::size_t unit_size, Lister lister) {
    file_ = file;
    unit_size_ = unit_size;
    lister_ = lister;
  }
  // Another listing from the next block on.
  void SetLister(Lister lister) { lister_ = lister; }

  // Bytes already read from the source (after its mark), delivered before the next read.
  void Prepend(std::string_view bytes) {
    std::memcpy(bytes_.get(), bytes.data(), bytes.size());
    carried_ = bytes.size();
  }

  // Reads the next block, of at most the capacity (or one unit); count 0 at the end of the
  // source, -1 on failure with the reason, or kReadInterrupted.
  Block Next(std::string& reason) {
    const std::size_t want = std::max(capacity_, unit_size_);
    std::uint64_t fresh = 0;
    for (;;) {
      if (carried_ > 0 && delivered_ > 0) {
        std::memmove(bytes_.get(), bytes_.get() + delivered_, carried_);
      }
      delivered_ = 0;
      if (carried_ < want && !file_ended_) {
        const std::int64_t count = file_->Read(bytes_.get() + carried_, want - carried_, reason);
        if (count < 0) return Block{bytes_.get(), count, crs_.get(), 0, fresh};
        file_ended_ = count == 0;
        fresh += static_cast<std::uint64_t>(count);
        carried_ += static_cast<std::size_t>(count);
      }
      std::size_t take = std::min(carried_, want);
      take -= take % unit_size_;
      std::size_t rest = carried_ - take;
      if (file_ended_ && rest > 0 && rest < unit_size_) {  // a single byte, with 16-bit units
        odd_tail_ = bytes_[take];
        has_odd_tail_ = true;
        rest = 0;
      }
      if (take == 0 && !file_ended_) continue;  // half a unit so far
      carried_ = rest;
      delivered_ = take;
      const std::size_t cr_count = take > 0 ? lister_(bytes_.get(), take, crs_.get()) : 0;
      return Block{bytes_.get(), static_cast<std::int64_t>(take), crs_.get(), cr_count, fresh};
    }
  }

  // A final odd byte of a source of 16-bit units, once the source has ended.
  bool has_odd_tail() const { return has_odd_tail_; }
  char TakeOddTail() {
    has_odd_tail_ = false;
    return odd_tail_;
  }

 private:
  // Bytes waiting at the front of the buffer: those of the mark's look-ahead, or a byte of
  // an unfinished unit.
  static constexpr std::size_t kMaxCarry = kLongestMark;

  std::size_t capacity_;
  std::unique_ptr<char[]> bytes_;
  std::unique_ptr<std::uint32_t[]> crs_;
  InputFile* file_ = nullptr;
  std::size_t unit_size_ = 1;
  Lister lister_ = nullptr;
  std::size_t carried_ = 0;    // bytes waiting for the next block
  std::size_t delivered_ = 0;  // bytes of the current block (the carried ones follow them)
  bool file_ended_ = false;
  bool has_odd_tail_ = false;
  char odd_tail_ = 0;
};

}  // namespace tarnwick
