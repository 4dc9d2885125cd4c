// The split job: streams the source in large blocks, trims and drops lines on the fly and
// gathers the output in a buffer, so no line is ever held whole and memory stays bounded.
//
// Each block read gets a list of its CRs (see cr_list.h). Lines that lie whole in the
// block take a fast path that keeps its state in registers and copies runs of unchanged
// lines in one piece; a line crossing the end of the block, a full output buffer and the
// count limit take the general path. Full output buffers are written by a helper thread
// while the next one fills.
#include "splitter/split_job.h"

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "splitter/cr_list.h"
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
  std::int64_t count = 0;  // bytes read; 0 at the end of the source, -1 on failure
  const std::uint32_t* crs = nullptr;
  std::size_t cr_count = 0;
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

// Runs file writes on a helper thread, in the order they were posted, while the job goes
// on with the lines. The thread starts with the first task and ends with the object, after
// running every task posted.
class IoWorker {
 public:
  IoWorker() = default;
  IoWorker(const IoWorker&) = delete;
  IoWorker& operator=(const IoWorker&) = delete;
  ~IoWorker() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }

  // Queues a task; returns its ticket for WaitFor. Without a thread (the system refused
  // one) the task runs at once.
  std::uint64_t Post(std::function<void()> task) {
    if (!thread_.joinable()) {
      try {
        thread_ = std::thread([this] { Work(); });
      } catch (const std::system_error&) {
        task();
        std::lock_guard<std::mutex> lock(mutex_);
        done_ = ++posted_;
        return posted_;
      }
    }
    std::uint64_t ticket;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      tasks_.push_back(std::move(task));
      ticket = ++posted_;
    }
    wake_.notify_one();
    return ticket;
  }

  // Waits until the task with this ticket, and every one before it, has run.
  void WaitFor(std::uint64_t ticket) {
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait(lock, [&] { return done_ >= ticket; });
  }

 private:
  void Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return !tasks_.empty() || quit_; });
      if (tasks_.empty()) return;
      std::function<void()> task = std::move(tasks_.front());
      tasks_.pop_front();
      lock.unlock();
      try {
        task();
      } catch (...) {
        // A task reports through its own result, which starts out as a failure.
      }
      lock.lock();
      ++done_;
      finished_.notify_all();
    }
  }

  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  std::deque<std::function<void()>> tasks_;
  std::uint64_t posted_ = 0;
  std::uint64_t done_ = 0;
  bool quit_ = false;
};

// Reads the source block by block and lists each block's CRs. (Reading ahead on a helper
// thread was measured to cost more than it saves: the system reads ahead already.)
class BlockReader {
 public:
  explicit BlockReader(std::size_t capacity)
      : capacity_(capacity),
        bytes_(std::make_unique<char[]>(capacity + kSlack)),
        crs_(std::make_unique<std::uint32_t[]>(capacity + kCrListExtra)) {}

  void Attach(InputFile* file) { file_ = file; }

  // Reads the next block; count 0 at the end of the source, -1 on failure with the reason.
  Block Next(std::string& reason) {
    const std::int64_t count = file_->Read(bytes_.get(), capacity_, reason);
    const std::size_t cr_count =
        count > 0 ? ListCrs(bytes_.get(), static_cast<std::size_t>(count), crs_.get()) : 0;
    return Block{bytes_.get(), count, crs_.get(), cr_count};
  }

 private:
  std::size_t capacity_;
  std::unique_ptr<char[]> bytes_;
  std::unique_ptr<std::uint32_t[]> crs_;
  InputFile* file_ = nullptr;
};

// Gathers the bytes of the current output file and writes them in large pieces; with a
// worker, a full buffer is written on the helper thread while a second one fills. A write
// failure is remembered; later appends are then ignored until the file is replaced.
class OutputBuffer {
 public:
  OutputBuffer(std::size_t capacity, IoWorker* worker)
      : active_(std::make_unique<char[]>(capacity)),
        spare_(worker != nullptr ? std::make_unique<char[]>(capacity) : nullptr),
        capacity_(capacity),
        worker_(worker) {}

  // Directs further output to `file` (or nowhere), forgetting any earlier failure. No
  // write may be in flight (Flush has been called).
  void Attach(OutputFile* file) {
    file_ = file;
    size_ = 0;
    committed_ = 0;
    failed_ = false;
    reason_.clear();
  }

  // Adds bytes to the output.
  void Append(const char* bytes, std::size_t count) {
    if (count <= capacity_ - size_) {
      std::memcpy(active_.get() + size_, bytes, count);
      size_ += count;
    } else {
      AppendSlow(bytes, count);
    }
  }

  // Adds `count` space characters (spaces held back inside a line).
  void AppendSpaces(std::uint64_t count) {
    static constexpr char kSpaces[] =
        "                                                                "
        "                                                                ";
    constexpr std::size_t kChunk = sizeof(kSpaces) - 1;
    while (count > 0 && !failed_) {
      const std::size_t piece = count < kChunk ? static_cast<std::size_t>(count) : kChunk;
      Append(kSpaces, piece);
      count -= piece;
    }
  }

  // Marks everything appended so far as complete lines.
  void EndLine() { committed_ = size_; }

  // Forgets the bytes of an unfinished line that are still in the buffer.
  void DropUnfinishedLine() { size_ = committed_; }

  // Waits for the write in flight and writes the rest of the buffer. False on failure
  // (reason in reason()); nothing is in flight afterwards in any case.
  bool Flush() {
    WaitForWrite();
    if (failed_) return false;
    if (size_ > 0 && !WriteNow(active_.get(), size_)) return false;
    size_ = 0;
    committed_ = 0;
    return true;
  }

  // Direct access for the fast path, which appends complete lines only.
  char* data() { return active_.get(); }
  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }
  void SetSizeOfCompleteLines(std::size_t size) { size_ = committed_ = size; }

  bool failed() const { return failed_; }
  const std::string& reason() const { return reason_; }

 private:
  // Append for bytes that do not fit: hands full buffers on, then keeps the rest.
  void AppendSlow(const char* bytes, std::size_t count) {
    while (!failed_) {
      const std::size_t piece = std::min(count, capacity_ - size_);
      std::memcpy(active_.get() + size_, bytes, piece);
      size_ += piece;
      bytes += piece;
      count -= piece;
      if (count == 0) return;
      HandOn();
    }
  }

  // Passes the full buffer to the helper thread and goes on in the spare one, or writes
  // it at once without a worker.
  void HandOn() {
    if (!spare_) {
      if (WriteNow(active_.get(), size_)) size_ = committed_ = 0;
      return;
    }
    WaitForWrite();
    if (failed_) return;
    OutputFile* file = file_;
    const char* bytes = active_.get();
    const std::size_t count = size_;
    write_ok_ = false;
    write_reason_ = "out of memory";
    write_ticket_ = worker_->Post([this, file, bytes, count] {
      write_reason_.clear();
      write_ok_ = file == nullptr || file->Write(bytes, count, write_reason_);
    });
    writing_ = true;
    std::swap(active_, spare_);
    size_ = committed_ = 0;
  }

  // Waits for the write in flight, if any, and takes over its failure.
  void WaitForWrite() {
    if (!writing_) return;
    writing_ = false;
    worker_->WaitFor(write_ticket_);
    if (!write_ok_ && !failed_) {
      failed_ = true;
      reason_ = std::move(write_reason_);
    }
  }

  // Writes bytes on this thread, remembering a failure.
  bool WriteNow(const char* bytes, std::size_t count) {
    if (file_ != nullptr && !file_->Write(bytes, count, reason_)) failed_ = true;
    return !failed_;
  }

  std::unique_ptr<char[]> active_;  // the buffer being filled
  std::unique_ptr<char[]> spare_;   // the one being written, with a worker
  std::size_t capacity_;
  IoWorker* worker_;
  std::size_t size_ = 0;
  std::size_t committed_ = 0;  // bytes of complete lines at the front of the buffer
  OutputFile* file_ = nullptr;
  bool failed_ = false;
  std::string reason_;
  bool writing_ = false;  // a write of the spare buffer has been posted
  std::uint64_t write_ticket_ = 0;
  bool write_ok_ = true;
  std::string write_reason_;
};

// How the copying of one line ended.
enum class LineResult { kBlank, kWritten, kReadFailed, kWriteFailed, kCountOverflow };

// Why the fast path handed over to the general path.
enum class FastExit {
  kGeneral,       // the next line needs the general path; the stop flag was read for it
  kBufferEnd,     // all buffered bytes are used
  kStop,          // a stop was seen
  kFileComplete,  // the last line completed the file
};

// One run of the job; holds the open files, the buffers and the counters.
class SplitRun {
 public:
  SplitRun(SplitHost& host, FileSystem& files, const SplitOptions& options)
      : SplitRun(host, files, options,
                 options.background_writes ? std::make_unique<IoWorker>() : nullptr) {}

  SplitOutcome Run();

 private:
  SplitRun(SplitHost& host, FileSystem& files, const SplitOptions& options,
           std::unique_ptr<IoWorker> writer)
      : host_(host),
        files_(files),
        progress_(options.progress != nullptr ? *options.progress : own_progress_),
        count_limit_(std::max<std::int32_t>(options.count_limit, 1)),
        reader_(std::clamp<std::size_t>(options.read_buffer_size, 1, kMaxReadBuffer)),
        output_(std::max<std::size_t>(options.write_buffer_size, 1), writer.get()),
        writer_(std::move(writer)) {
    progress_ = SplitProgress{};
  }

  template <bool kFixedSettings>
  FastExit CopyLinesInBuffer();
  bool FileIsComplete();
  bool Refill();
  bool PrepareNextLine();
  LineResult CopyLine();
  bool OpenNextOutput();
  bool CloseOutput(std::string& reason);
  SplitOutcome Fail(SplitErrorKind kind, std::string path, std::string reason);

  SplitHost& host_;
  FileSystem& files_;
  SplitProgress own_progress_;
  SplitProgress& progress_;
  std::int32_t count_limit_;

  std::string source_path_;
  std::unique_ptr<InputFile> source_;
  BlockReader reader_;
  FileIdentity source_identity_;
  std::string read_reason_;
  const char* pos_ = nullptr;  // next unread byte of the read buffer
  const char* end_ = nullptr;  // end of the bytes read into the buffer
  CrIndex crs_;
  bool source_ended_ = false;  // a read returned no bytes
  bool skip_lf_ = false;       // the last line ended at a CR that was the last byte read

  std::unique_ptr<OutputFile> output_file_;
  OutputBuffer output_;
  std::string output_path_;
  std::int32_t file_number_ = 0;
  std::int32_t lines_in_file_ = 0;

  // With a host of fixed settings: its stop flag, and N as read at the file's opening.
  const std::atomic<bool>* fixed_stop_ = nullptr;
  double fixed_lines_per_file_ = 0;

  // Last, so it is destroyed first: a write still queued finishes while the file and
  // buffer it uses exist.
  std::unique_ptr<IoWorker> writer_;
};

// True when the identity is filled in (an all-zero identity means unknown).
bool IsKnown(const FileIdentity& identity) {
  return !(identity == FileIdentity{});
}

SplitOutcome SplitRun::Run() {
  host_.JobStarted();
  fixed_stop_ = host_.FixedSettingsStopFlag();
  source_path_ = std::string(TrimSpaces(host_.SourcePath()));
  std::string reason;
  source_ = files_.OpenRead(source_path_, reason);
  if (!source_) return Fail(SplitErrorKind::kSourceOpen, source_path_, std::move(reason));
  source_identity_ = source_->Identity();
  progress_.source_size = source_->Size();
  reader_.Attach(source_.get());
  // The first block is read before any output exists: an unreadable source leaves no file.
  if (!Refill()) return Fail(SplitErrorKind::kSourceRead, source_path_, read_reason_);
  if (!OpenNextOutput()) return SplitOutcome::kFailed;

  for (;;) {
    // One pass per line: end test, stop flag, line, count, N, message pump.
    if (pos_ == end_) {
      if (fixed_stop_ != nullptr) host_.PumpMessages();  // once per block: see SplitHost
      if (!PrepareNextLine()) return Fail(SplitErrorKind::kSourceRead, source_path_, read_reason_);
    }
    const bool at_end = pos_ == end_;
    bool stop = false;
    if (!at_end) {
      const FastExit exit =
          fixed_stop_ != nullptr ? CopyLinesInBuffer<true>() : CopyLinesInBuffer<false>();
      switch (exit) {
        case FastExit::kGeneral:
          break;
        case FastExit::kBufferEnd:
          continue;
        case FastExit::kStop:
          stop = true;
          break;
        case FastExit::kFileComplete:
          if (!CloseOutput(reason)) return Fail(SplitErrorKind::kOutputWrite, output_path_, reason);
          if (!OpenNextOutput()) return SplitOutcome::kFailed;
          continue;
      }
    }
    if (at_end || stop) {
      if (!CloseOutput(reason)) return Fail(SplitErrorKind::kOutputWrite, output_path_, reason);
      source_.reset();
      if (at_end) {
        host_.JobFinished();
        return SplitOutcome::kFinished;
      }
      host_.JobStopped();
      return SplitOutcome::kStopped;
    }
    switch (CopyLine()) {
      case LineResult::kBlank:
        break;
      case LineResult::kWritten:
        ++lines_in_file_;
        ++progress_.lines_written;
        if (FileIsComplete()) {
          if (!CloseOutput(reason)) return Fail(SplitErrorKind::kOutputWrite, output_path_, reason);
          if (!OpenNextOutput()) return SplitOutcome::kFailed;
          continue;  // no message processing for the line that completes a file
        }
        break;
      case LineResult::kReadFailed:
        return Fail(SplitErrorKind::kSourceRead, source_path_, read_reason_);
      case LineResult::kWriteFailed:
        return Fail(SplitErrorKind::kOutputWrite, output_path_, output_.reason());
      case LineResult::kCountOverflow:
        return Fail(SplitErrorKind::kCountOverflow, output_path_, {});
    }
    if (fixed_stop_ == nullptr) host_.PumpMessages();
  }
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
// needing a change comes or the path is left; the host cannot see the buffer meanwhile.
// Lines crossing the end of the buffer, a full output buffer and the line limit are left
// to the general path. The state lives in locals, so the host calls do not force it out
// of registers.
template <bool kFixedSettings>
FastExit SplitRun::CopyLinesInBuffer() {
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
  while (pos != end) {
    const bool stop =
        kFixedSettings ? fixed_stop_->load(std::memory_order_relaxed) : host_.StopRequested();
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
    if (cr + 1 == end || lines >= limit ||
        out_size + static_cast<std::size_t>(cr + 2 - run_start) > out_capacity) {
      exit = FastExit::kGeneral;
      break;
    }
    const char* after = cr[1] == '\n' ? cr + 2 : cr + 1;
    ++next;
    if (cr == pos || *pos == ' ' || cr[-1] == ' ' || after == cr + 1) {
      // A line to trim or drop, or one ending at a lone CR: copy the run before it.
      const auto run = static_cast<std::size_t>(pos - run_start);
      std::memcpy(out + out_size, run_start, run);
      out_size += run;
      run_start = after;
      const char* first = pos;
      while (first < cr && *first == ' ') ++first;
      const char* last = cr;
      while (last > first && last[-1] == ' ') --last;
      pos = after;
      if (first == last) {  // blank: neither written nor counted
        if (!kFixedSettings) host_.PumpMessages();
        continue;
      }
      const auto length = static_cast<std::size_t>(last - first);
      std::memcpy(out + out_size, first, length);
      out[out_size + length] = '\r';
      out[out_size + length + 1] = '\n';
      out_size += length + 2;
    } else {
      pos = after;
    }
    ++lines;
    progress_.lines_written = ++total;
    if (static_cast<double>(lines) >= (kFixedSettings ? fixed_n : host_.LinesPerFile())) {
      exit = FastExit::kFileComplete;
      break;
    }
    if (!kFixedSettings) host_.PumpMessages();
  }
  const auto run = static_cast<std::size_t>(pos - run_start);
  std::memcpy(out + out_size, run_start, run);
  output_.SetSizeOfCompleteLines(out_size + run);
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
  progress_.bytes_read += static_cast<std::uint64_t>(count);
  return true;
}

// Called when the buffer is used up: makes the next line's first byte available
// (pos_ < end_), or leaves pos_ == end_ at the end of the source. Consumes the LF of a
// CR LF pair split across two reads.
bool SplitRun::PrepareNextLine() {
  for (;;) {
    if (pos_ == end_) {
      if (source_ended_) return true;
      if (!Refill()) return false;
      continue;
    }
    if (skip_lf_) {
      skip_lf_ = false;
      if (*pos_ == '\n') {
        ++pos_;
        continue;
      }
    }
    return true;
  }
}

// The general path for one line (pos_ < end_): leading spaces skipped, trailing spaces
// held back as a count until a later byte shows they are inside the line, CR LF appended.
// The line may span any number of reads.
LineResult SplitRun::CopyLine() {
  bool started = false;  // a non-space byte of this line has been seen
  std::uint64_t pending_spaces = 0;
  for (;;) {
    const char* p = pos_;
    const char* cr = crs_.Peek();
    const char* stop = cr != nullptr ? cr : end_;
    if (!started) {
      while (p < stop && *p == ' ') ++p;
      if (p < stop) {
        if (lines_in_file_ >= count_limit_) return LineResult::kCountOverflow;
        started = true;
      }
    }
    if (p < stop) {
      const char* q = stop;
      while (q > p && q[-1] == ' ') --q;
      if (q > p) {
        if (pending_spaces > 0) {
          output_.AppendSpaces(pending_spaces);
          pending_spaces = 0;
        }
        output_.Append(p, static_cast<std::size_t>(q - p));
      }
      pending_spaces += static_cast<std::uint64_t>(stop - q);
    }
    if (cr != nullptr) {
      crs_.Take();
      pos_ = cr + 1;
      if (pos_ == end_) {
        skip_lf_ = true;
      } else if (*pos_ == '\n') {
        ++pos_;
      }
      break;
    }
    pos_ = end_;
    if (output_.failed()) return LineResult::kWriteFailed;
    if (!Refill()) return LineResult::kReadFailed;
    if (source_ended_) break;
  }
  if (!started) return LineResult::kBlank;
  output_.Append("\r\n", 2);
  if (output_.failed()) return LineResult::kWriteFailed;
  output_.EndLine();
  return LineResult::kWritten;
}

// Opens the next numbered output file for appending; on failure the error has been reported.
bool SplitRun::OpenNextOutput() {
  std::string path(TrimSpaces(host_.OutputFolder()));
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

  std::string reason;
  std::unique_ptr<OutputFile> file = files_.OpenAppend(path, reason);
  if (!file) {
    Fail(SplitErrorKind::kOutputWrite, std::move(path), std::move(reason));
    return false;
  }
  if (IsKnown(source_identity_) && file->Identity() == source_identity_) {
    std::string ignored;
    file->Close(ignored);  // nothing was written
    Fail(SplitErrorKind::kOutputIsSource, std::move(path), {});
    return false;
  }
  output_file_ = std::move(file);
  output_path_ = std::move(path);
  output_.Attach(output_file_.get());
  return true;
}

// Writes out what is buffered and closes the current output file. On a failed write the
// file stays open for Fail to close; on a failed close it is gone.
bool SplitRun::CloseOutput(std::string& reason) {
  if (!output_.Flush()) {
    reason = output_.reason();
    return false;
  }
  const bool closed = output_file_->Close(reason);
  output_file_.reset();
  output_.Attach(nullptr);
  return closed;
}

// Ends the job with an error: keeps the complete lines written so far, closes every file
// and tells the host.
SplitOutcome SplitRun::Fail(SplitErrorKind kind, std::string path, std::string reason) {
  if (output_file_) {
    output_.DropUnfinishedLine();
    output_.Flush();  // best effort: the first failure is the one reported
    std::string ignored;
    output_file_->Close(ignored);
    output_file_.reset();
  }
  source_.reset();
  host_.JobFailed(SplitError{kind, std::move(path), std::move(reason)});
  return SplitOutcome::kFailed;
}

}  // namespace

SplitOutcome RunSplit(SplitHost& host, FileSystem& files, const SplitOptions& options) {
  SplitRun run(host, files, options);
  return run.Run();
}

}  // namespace tarnwick
