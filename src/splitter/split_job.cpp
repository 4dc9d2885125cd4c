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
#include <vector>

#ifndef _WIN32
#include <pthread.h>
#include <signal.h>
#endif

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

// Runs the output file tasks on a helper thread, in the order they were posted, while the
// job goes on with the lines. The thread starts with the first task and ends with the object, after
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
#ifndef _WIN32
    // Signals such as Ctrl-C are for the thread that runs the job, not for this one.
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
#endif
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

// The output files. The job fills a buffer with the bytes of the current file; a full
// buffer, and the rest of a finished file, become a task that opens the file when it is
// first written to, writes the bytes and closes the file when it is finished. With a
// worker the tasks run on its helper thread, in order, while the job fills the next of a
// few buffers; otherwise they run at once. After the first failure no task opens or
// writes anything (open files are still closed), so no file is touched after the failing
// one; the job sees the failure at its next hand-over and stops.
class OutputFiles {
 public:
  OutputFiles(FileSystem& files, std::size_t capacity, IoWorker* worker)
      : files_(files), capacity_(capacity), worker_(worker) {
    slots_.resize(worker != nullptr ? kSlots : 1);
    for (Slot& slot : slots_) slot.bytes = std::make_unique<char[]>(capacity);
    active_ = slots_[0].bytes.get();
  }

  // The source, which must never be opened as an output file.
  void SetSource(const FileIdentity& identity) { source_ = identity; }

  // Starts the next output file, named `path` (the previous one has been finished).
  void Begin(std::string path) {
    path_ = std::move(path);
    opened_ = false;
  }

  // Adds bytes to the output.
  void Append(const char* bytes, std::size_t count) {
    if (count <= capacity_ - size_) {
      std::memcpy(active_ + size_, bytes, count);
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
    while (count > 0 && !failed()) {
      const std::size_t piece = count < kChunk ? static_cast<std::size_t>(count) : kChunk;
      Append(kSpaces, piece);
      count -= piece;
    }
  }

  // Marks everything appended so far as complete lines.
  void EndLine() { committed_ = size_; }

  // Hands over the rest of the current file and its closing (an empty file is still
  // opened, so it exists afterwards). False when a failure is known.
  bool Finish() {
    if (failed()) return false;
    HandOver(size_, /*close=*/true);
    return !failed();
  }

  // Waits until every task has run. False when one failed.
  bool Settle() {
    if (worker_ != nullptr) worker_->WaitFor(last_ticket_);
    return !failed();
  }

  // Ends the job after a failure: hands over the complete lines of the current file unless
  // the output has failed, then waits until the files are closed.
  void Abandon() {
    if (!failed() && (committed_ > 0 || opened_)) HandOver(committed_, /*close=*/true);
    Settle();
    // Whatever was left open by a task that failed.
    if (open_file_) {
      std::string ignored;
      open_file_->Close(ignored);
      open_file_.reset();
    }
  }

  // Direct access for the fast path, which appends complete lines only.
  char* data() { return active_; }
  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }
  void SetSizeOfCompleteLines(std::size_t size) { size_ = committed_ = size; }

  bool failed() const { return failed_.load(std::memory_order_acquire); }
  // The first failure; read after Settle.
  SplitErrorKind failed_kind() const { return failed_kind_; }
  const std::string& failed_path() const { return failed_path_; }
  const std::string& reason() const { return reason_; }

 private:
  static constexpr std::size_t kSlots = 4;  // buffers, with a worker

  struct Slot {
    std::unique_ptr<char[]> bytes;
    std::uint64_t ticket = 0;  // the task that uses the buffer
  };

  // One piece of work on the files.
  struct Task {
    std::string path;
    const char* bytes;
    std::size_t count;
    bool open;   // open `path` first
    bool close;  // close the file afterwards
  };

  // Append for bytes that do not fit: hands full buffers over, then keeps the rest.
  void AppendSlow(const char* bytes, std::size_t count) {
    while (!failed()) {
      const std::size_t piece = std::min(count, capacity_ - size_);
      std::memcpy(active_ + size_, bytes, piece);
      size_ += piece;
      bytes += piece;
      count -= piece;
      if (count == 0) return;
      HandOver(size_, /*close=*/false);
    }
  }

  // Makes the first `count` bytes of the buffer a task (the rest, an unfinished line, moves
  // to the next buffer), and goes on in the next buffer once its earlier task has run.
  void HandOver(std::size_t count, bool close) {
    Task task{path_, active_, count, !opened_, close};
    opened_ = !close;
    Slot& next = slots_[(current_ + 1) % slots_.size()];
    if (worker_ == nullptr) {
      Run(task);
    } else {
      slots_[current_].ticket = last_ticket_ =
          worker_->Post([this, task = std::move(task)] { Run(task); });
      worker_->WaitFor(next.ticket);
    }
    char* previous = active_;
    current_ = (current_ + 1) % slots_.size();
    active_ = slots_[current_].bytes.get();
    const std::size_t rest = size_ - count;
    if (rest > 0) std::memmove(active_, previous + count, rest);
    size_ = rest;
    committed_ = 0;
  }

  // Runs a task (on the helper thread with a worker).
  void Run(const Task& task) {
    std::string reason;
    if (failed()) {
      if (task.close && open_file_) {
        open_file_->Close(reason);
        open_file_.reset();
      }
      return;
    }
    if (task.open) {
      open_file_ = files_.OpenAppend(task.path, reason);
      if (!open_file_) return Failed(SplitErrorKind::kOutputWrite, task.path, std::move(reason));
      // An all-zero identity is unknown and matches nothing.
      if (!(source_ == FileIdentity{}) && open_file_->Identity() == source_) {
        open_file_->Close(reason);
        open_file_.reset();
        return Failed(SplitErrorKind::kOutputIsSource, task.path, {});
      }
    }
    bool ok = task.count == 0 || open_file_->Write(task.bytes, task.count, reason);
    if (task.close || !ok) {
      std::string close_reason;
      const bool closed = open_file_->Close(close_reason);
      open_file_.reset();
      if (ok && !closed) reason = std::move(close_reason);
      ok = ok && closed;
    }
    if (!ok) Failed(SplitErrorKind::kOutputWrite, task.path, std::move(reason));
  }

  // Keeps the first failure.
  void Failed(SplitErrorKind kind, const std::string& path, std::string reason) {
    if (failed()) return;
    failed_kind_ = kind;
    failed_path_ = path;
    reason_ = std::move(reason);
    failed_.store(true, std::memory_order_release);
  }

  FileSystem& files_;
  FileIdentity source_;
  std::size_t capacity_;
  IoWorker* worker_;
  std::vector<Slot> slots_;
  std::size_t current_ = 0;  // the slot being filled
  char* active_;             // its buffer
  std::size_t size_ = 0;
  std::size_t committed_ = 0;  // bytes of complete lines at the front of the buffer
  std::string path_;           // the current file
  bool opened_ = false;        // a task that opens the current file has been handed over
  std::uint64_t last_ticket_ = 0;

  // Used by the tasks only.
  std::unique_ptr<OutputFile> open_file_;
  std::atomic<bool> failed_{false};
  SplitErrorKind failed_kind_ = SplitErrorKind::kOutputWrite;
  std::string failed_path_;
  std::string reason_;
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
        output_(files, std::max<std::size_t>(options.write_buffer_size, 1), writer.get()),
        writer_(std::move(writer)) {
    progress_ = SplitProgress{};
  }

  template <bool kFixedSettings>
  FastExit CopyLinesInBuffer();
  bool FileIsComplete();
  bool Refill();
  bool PrepareNextLine();
  LineResult CopyLine();
  bool BeginNextOutput();
  SplitOutcome FailOutput();
  SplitOutcome Fail(SplitErrorKind kind, std::string path, std::string reason);

  SplitHost& host_;
  FileSystem& files_;
  SplitProgress own_progress_;
  SplitProgress& progress_;
  std::int32_t count_limit_;

  std::string source_path_;
  std::unique_ptr<InputFile> source_;
  BlockReader reader_;
  std::string read_reason_;
  const char* pos_ = nullptr;  // next unread byte of the read buffer
  const char* end_ = nullptr;  // end of the bytes read into the buffer
  CrIndex crs_;
  bool source_ended_ = false;  // a read returned no bytes
  bool skip_lf_ = false;       // the last line ended at a CR that was the last byte read

  OutputFiles output_;
  std::string output_path_;
  std::int32_t file_number_ = 0;
  std::int32_t lines_in_file_ = 0;

  // With a host of fixed settings: its stop flag, and N as read at the file's opening.
  const std::atomic<bool>* fixed_stop_ = nullptr;
  double fixed_lines_per_file_ = 0;

  // Last, so it is destroyed first: a task still queued finishes while the file and
  // buffer it uses exist.
  std::unique_ptr<IoWorker> writer_;
};

SplitOutcome SplitRun::Run() {
  host_.JobStarted();
  fixed_stop_ = host_.FixedSettingsStopFlag();
  source_path_ = std::string(TrimSpaces(host_.SourcePath()));
  std::string reason;
  source_ = files_.OpenRead(source_path_, reason);
  if (!source_) return Fail(SplitErrorKind::kSourceOpen, source_path_, std::move(reason));
  output_.SetSource(source_->Identity());
  progress_.source_size = source_->Size();
  reader_.Attach(source_.get());
  // The first block is read before any output exists: an unreadable source leaves no file.
  if (!Refill()) return Fail(SplitErrorKind::kSourceRead, source_path_, read_reason_);
  if (!BeginNextOutput()) return SplitOutcome::kFailed;

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
          if (!output_.Finish()) return FailOutput();
          if (!BeginNextOutput()) return SplitOutcome::kFailed;
          continue;
      }
    }
    if (at_end || stop) {
      if (!output_.Finish() || !output_.Settle()) return FailOutput();
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

// Starts the next numbered output file: takes the folder now and names the file; the
// file itself is opened when first written to. False when the number would pass the
// limit (the error has been reported).
bool SplitRun::BeginNextOutput() {
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
  output_path_ = path;
  output_.Begin(std::move(path));
  return true;
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
  host_.JobFailed(SplitError{kind, std::move(path), std::move(reason)});
  return SplitOutcome::kFailed;
}

}  // namespace

SplitOutcome RunSplit(SplitHost& host, FileSystem& files, const SplitOptions& options) {
  SplitRun run(host, files, options);
  return run.Run();
}

}  // namespace tarnwick
