// The split job: streams the source in large blocks, trims and drops lines on the fly and
// gathers the output in a buffer, so no line is ever held whole and memory stays bounded.
//
// Each block read gets a list of its CRs (see cr_list.h). Lines that lie whole in the
// block take a fast path that keeps its state in registers and copies runs of unchanged
// lines in one piece; a line crossing the end of the block, a full output buffer and the
// count limit take the general path. The output files are opened, written and closed on a
// helper thread while the job goes on with the lines.
#include "splitter/split_job.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

#include "splitter/cr_list.h"
#include "splitter/output_files.h"
#include "splitter/text_encoding.h"
#include "splitter/text_value.h"

namespace tarnwick {
namespace {

// Slack past the end of the read buffer, for the CR search.
constexpr std::size_t kSlack = kCrListSlack;

// Largest read: offsets into the read buffer are 32-bit.
constexpr std::size_t kMaxReadBuffer = std::size_t{1} << 30;

// A block of the source with the list of its CRs.
struct Block {
  const char* bytes = nullptr;
  std::int64_t count = 0;  // bytes in the block; 0 at the end of the source, -1 on failure
  const std::uint32_t* crs = nullptr;
  std::size_t cr_count = 0;
  std::uint64_t fresh = 0;  // bytes read from the source for this block
};

// The CRs of the current block, taken in order, one per line that ends at one.
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
  std::size_t next() const { return next_; }
  std::size_t count() const { return count_; }
  void set_next(std::size_t next) { next_ = next; }

 private:
  const char* begin_ = nullptr;
  const std::uint32_t* list_ = nullptr;  // offsets from begin_ of the block's CRs
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
        bytes_(std::make_unique<char[]>(capacity + kMaxCarry + kSlack)),
        crs_(std::make_unique<std::uint32_t[]>(capacity + kMaxCarry + kCrListExtra)) {}

  // The source, the size of its code units and the listing of their CRs.
  void Attach(InputFile* file, std::size_t unit_size, Lister lister) {
    file_ = file;
    unit_size_ = unit_size;
    lister_ = lister;
  }

  // Bytes already read from the source (after its mark), delivered before the next read.
  void Prepend(std::string_view bytes) {
    std::memcpy(bytes_.get(), bytes.data(), bytes.size());
    carried_ = bytes.size();
  }

  // Reads the next block, of at most the capacity (or one unit); count 0 at the end of the
  // source, -1 on failure with the reason.
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
        if (count < 0) return Block{bytes_.get(), -1, crs_.get(), 0, fresh};
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

// The code units of a source, as the line scanner sees them: a byte (ANSI and UTF-8) or
// a 16-bit unit in either byte order. Chosen once per job; the scanner is compiled once
// for each.
struct ByteUnits {
  static constexpr std::size_t kSize = 1;
  static constexpr std::string_view kLineEnd{"\r\n", 2};
  static constexpr std::string_view kSpace{" ", 1};
  static bool IsSpace(const char* unit) { return *unit == ' '; }
  static bool IsLf(const char* unit) { return *unit == '\n'; }
  static std::size_t ListCrs(const char* bytes, std::size_t count, std::uint32_t* out) {
    return tarnwick::ListCrs(bytes, count, out);
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
  static bool IsLf(const char* unit) { return Is(unit, '\n'); }
  static std::size_t ListCrs(const char* bytes, std::size_t count, std::uint32_t* out) {
    return kBigEndian ? ListCrUnitsBe(bytes, count, out) : ListCrUnitsLe(bytes, count, out);
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

// How the copying of one line ended.
enum class LineResult { kBlank, kWritten, kReadFailed, kWriteFailed, kCountOverflow };

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

// One run of the job; holds the open files, the buffers and the counters. The line
// scanner (CopyLinesInBuffer, CopyLine and the loop around them) is a template over the
// code units, instantiated for bytes and for 16-bit units of either byte order.
class SplitRun final : public SplitJobControl {
 public:
  SplitRun(SplitHost& host, FileSystem& files, const SplitOptions& options)
      : SplitRun(host, files, options,
                 options.background_writes ? std::make_unique<IoWorker>() : nullptr) {}

  SplitOutcome Run();
  void StopAndCloseFiles() override;

 private:
  SplitRun(SplitHost& host, FileSystem& files, const SplitOptions& options,
           std::unique_ptr<IoWorker> writer)
      : host_(host),
        files_(files),
        progress_(options.progress != nullptr ? *options.progress : own_progress_),
        count_limit_(std::max<std::int32_t>(options.count_limit, 1)),
        encoding_choice_(options.encoding),
        read_capacity_(std::clamp<std::size_t>(options.read_buffer_size, 1, kMaxReadBuffer)),
        reader_(read_capacity_),
        output_(files, std::max<std::size_t>(options.write_buffer_size, 1), writer.get()),
        writer_(std::move(writer)) {
    progress_ = SplitProgress{};
  }

  bool ReadMark(DetectedEncoding& detected);
  template <class Units>
  SplitOutcome Lines();
  template <class Units, bool kFixedSettings>
  FastExit CopyLinesInBuffer();
  template <class Units>
  bool PrepareNextLine();
  template <class Units>
  LineResult CopyLine();
  bool FileIsComplete();
  bool Refill();
  bool BeginNextOutput();
  SplitOutcome Stopped();
  SplitOutcome FailOutput();
  SplitOutcome Fail(SplitErrorKind kind, std::string path, std::string reason);
  SplitOutcome End(SplitOutcome outcome);

  SplitHost& host_;
  FileSystem& files_;
  SplitProgress own_progress_;
  SplitProgress& progress_;
  std::int32_t count_limit_;
  SourceEncoding encoding_choice_;
  std::size_t read_capacity_;

  std::string source_path_;
  std::unique_ptr<InputFile> source_;
  BlockReader reader_;
  std::string read_reason_;
  const char* pos_ = nullptr;  // next unread byte of the read buffer
  const char* end_ = nullptr;  // end of the bytes read into the buffer
  CrIndex crs_;
  bool source_ended_ = false;  // a read returned no bytes
  bool skip_lf_ = false;       // the last line ended at a CR that was the last unit read

  OutputFiles output_;
  std::string output_path_;
  std::int32_t file_number_ = 0;
  std::int32_t lines_in_file_ = 0;

  // With a host of fixed settings: its stop flag, and N as read at the file's opening.
  const std::atomic<bool>* fixed_stop_ = nullptr;
  double fixed_lines_per_file_ = 0;

  // The host's StopAndCloseFiles: where the fast path stands while it pumps, and whether
  // the files have been closed (the job then only returns).
  PumpPoint pump_point_;
  bool closed_by_host_ = false;

  // Last, so it is destroyed first: a task still queued finishes while the file and
  // buffer it uses exist.
  std::unique_ptr<IoWorker> writer_;
};

SplitOutcome SplitRun::Run() {
  host_.SetJobControl(this);
  host_.JobStarted();
  fixed_stop_ = host_.FixedSettingsStopFlag();
  source_path_ = host_.SourcePath();
  if (host_.TrimsPaths()) source_path_ = std::string(TrimSpaces(source_path_));
  std::string reason;
  source_ = files_.OpenRead(source_path_, reason);
  if (!source_) return Fail(SplitErrorKind::kSourceOpen, source_path_, std::move(reason));
  output_.SetSource(source_.get());
  progress_.source_size = source_->Size();
  // The first bytes are read before any output exists: an unreadable source leaves no file.
  DetectedEncoding detected;
  if (!ReadMark(detected)) return Fail(SplitErrorKind::kSourceRead, source_path_, read_reason_);
  output_.SetEncoding(detected.encoding, detected.mark_length > 0);
  switch (detected.encoding) {
    case TextEncoding::kAnsi:
    case TextEncoding::kUtf8:
      reader_.Attach(source_.get(), ByteUnits::kSize, &ByteUnits::ListCrs);
      return Lines<ByteUnits>();
    case TextEncoding::kUtf16Le:
      reader_.Attach(source_.get(), 2, &Utf16Units<false>::ListCrs);
      return Lines<Utf16Units<false>>();
    case TextEncoding::kUtf16Be:
      reader_.Attach(source_.get(), 2, &Utf16Units<true>::ListCrs);
      return Lines<Utf16Units<true>>();
  }
  return Lines<ByteUnits>();
}

// Reads the first bytes of the source and decides its encoding; the bytes after the mark
// wait in the reader for the first block. False on a read failure.
bool SplitRun::ReadMark(DetectedEncoding& detected) {
  char first[kLongestMark];
  std::size_t have = 0;
  while (have < kLongestMark) {
    const std::int64_t count =
        source_->Read(first + have, std::min(kLongestMark - have, read_capacity_), read_reason_);
    if (count < 0) return false;
    if (count == 0) break;
    have += static_cast<std::size_t>(count);
  }
  progress_.bytes_read += have;
  detected = DetectEncoding(std::string_view(first, have), encoding_choice_);
  reader_.Prepend(std::string_view(first + detected.mark_length, have - detected.mark_length));
  return true;
}

// The job's loop over the lines of the source, from the first block to the end.
template <class Units>
SplitOutcome SplitRun::Lines() {
  if (!Refill()) return Fail(SplitErrorKind::kSourceRead, source_path_, read_reason_);
  if (!BeginNextOutput()) return SplitOutcome::kFailed;

  for (;;) {
    // One pass per line: end test, stop flag, line, count, N, message pump.
    if (pos_ == end_) {
      if (fixed_stop_ != nullptr) host_.PumpMessages();  // once per block: see SplitHost
      if (closed_by_host_) return Stopped();
      if (!PrepareNextLine<Units>()) {
        return Fail(SplitErrorKind::kSourceRead, source_path_, read_reason_);
      }
    }
    // A final odd byte of 16-bit units is a line of its own, or the end of the last one.
    const bool odd_tail = Units::kSize > 1 && reader_.has_odd_tail();
    const bool at_end = pos_ == end_ && !odd_tail;
    bool stop = false;
    if (pos_ != end_) {
      const FastExit exit = fixed_stop_ != nullptr ? CopyLinesInBuffer<Units, true>()
                                                   : CopyLinesInBuffer<Units, false>();
      switch (exit) {
        case FastExit::kGeneral:
          break;
        case FastExit::kBufferEnd:
          continue;
        case FastExit::kStop:
          stop = true;
          break;
        case FastExit::kFileComplete:
          if (!output_.Finish()) return FailOutput();
          if (!BeginNextOutput()) return SplitOutcome::kFailed;
          continue;
      }
    } else if (odd_tail) {
      stop = fixed_stop_ != nullptr ? fixed_stop_->load(std::memory_order_relaxed)
                                    : host_.StopRequested();
    }
    if (closed_by_host_) return Stopped();
    if (at_end || stop) {
      if (!output_.Finish() || !output_.Settle()) return FailOutput();
      source_.reset();
      return End(at_end ? SplitOutcome::kFinished : SplitOutcome::kStopped);
    }
    switch (CopyLine<Units>()) {
      case LineResult::kBlank:
        break;
      case LineResult::kWritten:
        ++lines_in_file_;
        ++progress_.lines_written;
        if (FileIsComplete()) {
          if (!output_.Finish()) return FailOutput();
          if (!BeginNextOutput()) return SplitOutcome::kFailed;
          continue;  // no message processing for the line that completes a file
        }
        break;
      case LineResult::kReadFailed:
        return Fail(SplitErrorKind::kSourceRead, source_path_, read_reason_);
      case LineResult::kWriteFailed:
        return FailOutput();
      case LineResult::kCountOverflow:
        return Fail(SplitErrorKind::kCountOverflow, output_path_, {});
    }
    if (fixed_stop_ == nullptr) host_.PumpMessages();
  }
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
  output_.Abandon();
}

// Whether the current file has its N lines: N is taken now (as read at the file's opening
// with a host of fixed settings) and compared as a real number.
bool SplitRun::FileIsComplete() {
  const double n = fixed_stop_ != nullptr ? fixed_lines_per_file_ : host_.LinesPerFile();
  return static_cast<double>(lines_in_file_) >= n;
}

// The fast path: handles line after line (stop flag, line, count, N, pump) as long as
// each ends at a CR inside the buffer with its LF, if any, also inside. Runs of lines that
// need no change (no spaces at either end, CR LF) are copied in one piece when a line
// needing a change comes or the path is left; the host cannot see the buffer meanwhile
// (its StopAndCloseFiles finds the run through pump_point_). Lines crossing the end of
// the buffer, a full output buffer and the line limit are left to the general path. The
// state lives in locals, so the host calls do not force it out of registers.
template <class Units, bool kFixedSettings>
FastExit SplitRun::CopyLinesInBuffer() {
  constexpr std::size_t kUnit = Units::kSize;
  constexpr std::size_t kLineEnd = 2 * kUnit;  // CR and LF
  const char* pos = pos_;
  const char* run_start = pos;  // start of the unchanged lines not yet copied
  const char* const end = end_;
  const char* const block = crs_.begin();
  const std::uint32_t* const list = crs_.list();
  std::size_t next = crs_.next();
  const std::size_t count = crs_.count();
  char* const out = output_.data();
  std::size_t out_size = output_.size();
  const std::size_t out_capacity = output_.capacity();
  std::int32_t lines = lines_in_file_;
  std::int64_t total = progress_.lines_written;
  const std::int32_t limit = count_limit_;
  const double fixed_n = fixed_lines_per_file_;
  FastExit exit = FastExit::kBufferEnd;
  // The message pump, with the place the host's StopAndCloseFiles needs.
  const auto pump = [&] {
    pump_point_ = PumpPoint{run_start, pos, out_size};
    host_.PumpMessages();
    pump_point_.run_start = nullptr;
  };
  while (pos != end) {
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
    const char* cr = block + list[next];
    // The output grows by at most the line and CR LF.
    if (cr + kUnit == end || lines >= limit ||
        out_size + static_cast<std::size_t>(cr + kLineEnd - run_start) > out_capacity) {
      exit = FastExit::kGeneral;
      break;
    }
    const char* after = Units::IsLf(cr + kUnit) ? cr + kLineEnd : cr + kUnit;
    ++next;
    if (cr == pos || Units::IsSpace(pos) || Units::IsSpace(cr - kUnit) || after == cr + kUnit) {
      // A line to trim or drop, or one ending at a lone CR: copy the run before it.
      const auto run = static_cast<std::size_t>(pos - run_start);
      std::memcpy(out + out_size, run_start, run);
      out_size += run;
      run_start = after;
      const char* first = pos;
      while (first < cr && Units::IsSpace(first)) first += kUnit;
      const char* last = cr;
      while (last > first && Units::IsSpace(last - kUnit)) last -= kUnit;
      pos = after;
      if (first == last) {  // blank: neither written nor counted
        if (!kFixedSettings) pump();
        continue;
      }
      const auto length = static_cast<std::size_t>(last - first);
      std::memcpy(out + out_size, first, length);
      std::memcpy(out + out_size + length, Units::kLineEnd.data(), kLineEnd);
      out_size += length + kLineEnd;
    } else {
      pos = after;
    }
    ++lines;
    progress_.lines_written = ++total;
    if (static_cast<double>(lines) >= (kFixedSettings ? fixed_n : host_.LinesPerFile())) {
      exit = FastExit::kFileComplete;
      break;
    }
    if (!kFixedSettings) pump();
  }
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
  if (count < 0) return false;
  pos_ = block.bytes;
  end_ = block.bytes + count;
  crs_.Start(block);
  if (count == 0) source_ended_ = true;
  progress_.bytes_read += block.fresh;
  return true;
}

// Called when the buffer is used up: makes the next line's first unit available
// (pos_ < end_), or leaves pos_ == end_ at the end of the source. Consumes the LF of a
// CR LF pair split across two reads.
template <class Units>
bool SplitRun::PrepareNextLine() {
  for (;;) {
    if (pos_ == end_) {
      if (source_ended_) return true;
      if (!Refill()) return false;
      continue;
    }
    if (skip_lf_) {
      skip_lf_ = false;
      if (Units::IsLf(pos_)) {
        pos_ += Units::kSize;
        continue;
      }
    }
    return true;
  }
}

// The general path for one line: leading spaces skipped, trailing spaces held back as a
// count until a later unit shows they are inside the line, CR LF appended. The line may
// span any number of reads; a final odd byte of 16-bit units ends it.
template <class Units>
LineResult SplitRun::CopyLine() {
  constexpr std::size_t kUnit = Units::kSize;
  bool started = false;              // a non-space unit of this line has been seen
  std::uint64_t pending_spaces = 0;  // bytes of spaces held back
  // Writes what the line holds after its leading spaces: the held-back spaces first.
  const auto write = [&](const char* bytes, std::size_t count) {
    if (pending_spaces > 0) {
      output_.AppendRepeated(std::string_view(kSpaceRun<Units>.data(), kSpaceRun<Units>.size()),
                             pending_spaces);
      pending_spaces = 0;
    }
    output_.Append(bytes, count);
  };
  for (;;) {
    const char* p = pos_;
    const char* cr = crs_.Peek();
    const char* stop = cr != nullptr ? cr : end_;
    if (!started) {
      while (p < stop && Units::IsSpace(p)) p += kUnit;
      if (p < stop) {
        if (lines_in_file_ >= count_limit_) return LineResult::kCountOverflow;
        started = true;
      }
    }
    if (p < stop) {
      const char* q = stop;
      while (q > p && Units::IsSpace(q - kUnit)) q -= kUnit;
      if (q > p) write(p, static_cast<std::size_t>(q - p));
      pending_spaces += static_cast<std::uint64_t>(stop - q);
    }
    if (cr != nullptr) {
      crs_.Take();
      pos_ = cr + kUnit;
      if (pos_ == end_) {
        skip_lf_ = true;
      } else if (Units::IsLf(pos_)) {
        pos_ += kUnit;
      }
      break;
    }
    pos_ = end_;
    if (!source_ended_) {
      if (output_.failed()) return LineResult::kWriteFailed;
      if (!Refill()) return LineResult::kReadFailed;
    }
    if (source_ended_) {
      if (Units::kSize > 1 && reader_.has_odd_tail()) {
        if (!started && lines_in_file_ >= count_limit_) return LineResult::kCountOverflow;
        started = true;
        const char tail = reader_.TakeOddTail();
        write(&tail, 1);
      }
      break;
    }
  }
  if (!started) return LineResult::kBlank;
  output_.Append(Units::kLineEnd.data(), Units::kLineEnd.size());
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
  const std::int64_t number = static_cast<std::int64_t>(file_number_) + 1;
  char digits[24];
  const auto rendered = std::to_chars(digits, digits + sizeof(digits), number);
  path += kPathSeparator;
  path.append(digits, rendered.ptr);
  path += ".txt";
  if (file_number_ >= count_limit_) {
    Fail(SplitErrorKind::kCountOverflow, std::move(path), {});
    return false;
  }
  file_number_ = static_cast<std::int32_t>(number);
  lines_in_file_ = 0;
  progress_.file_number = file_number_;
  if (fixed_stop_ != nullptr) fixed_lines_per_file_ = host_.LinesPerFile();
  output_path_ = path;
  output_.Begin(std::move(path));
  return true;
}

// Ends the job after the host's StopAndCloseFiles: the files are closed already.
SplitOutcome SplitRun::Stopped() {
  source_.reset();
  return End(SplitOutcome::kStopped);
}

// Ends the job with the output failure that was kept.
SplitOutcome SplitRun::FailOutput() {
  output_.Settle();
  return Fail(output_.failed_kind(), output_.failed_path(), output_.reason());
}

// Ends the job with an error: keeps the complete lines written so far, closes every file
// and tells the host.
SplitOutcome SplitRun::Fail(SplitErrorKind kind, std::string path, std::string reason) {
  output_.Abandon();
  source_.reset();
  host_.SetJobControl(nullptr);
  host_.JobFailed(SplitError{kind, std::move(path), std::move(reason)});
  return SplitOutcome::kFailed;
}

// Tells the host how the job ended (the files are closed).
SplitOutcome SplitRun::End(SplitOutcome outcome) {
  host_.SetJobControl(nullptr);
  if (outcome == SplitOutcome::kFinished) {
    host_.JobFinished();
  } else {
    host_.JobStopped();
  }
  return outcome;
}

}  // namespace

SplitOutcome RunSplit(SplitHost& host, FileSystem& files, const SplitOptions& options) {
  SplitRun run(host, files, options);
  return run.Run();
}

}  // namespace tarnwick
