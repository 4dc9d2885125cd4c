// The output files of the split job and the helper thread that writes them.
#include "splitter/output_files.h"

#include <algorithm>
#include <exception>
#include <new>
#include <system_error>
#include <utility>

#ifndef _WIN32
#include <pthread.h>
#include <signal.h>
#endif

namespace tarnwick {

// ---- IoWorker ----

IoWorker::~IoWorker() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

std::uint64_t IoWorker::Post(std::function<void()> task) {
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

bool IoWorker::Idle() {
  std::lock_guard<std::mutex> lock(mutex_);
  return done_ == posted_;
}

void IoWorker::WaitFor(std::uint64_t ticket) {
  std::unique_lock<std::mutex> lock(mutex_);
  finished_.wait(lock, [&] { return done_ >= ticket; });
}

// The helper thread: runs the queued tasks until the object ends.
void IoWorker::Work() {
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

// ---- OutputFiles ----

OutputFiles::OutputFiles(FileSystem& files, std::size_t capacity, IoWorker* worker,
                         std::size_t inline_bytes)
    : files_(files), capacity_(capacity), worker_(worker), inline_bytes_(inline_bytes) {
  slots_.resize(worker != nullptr ? kSlots : 1);
  for (Slot& slot : slots_) slot.bytes = std::make_unique<char[]>(capacity);
  active_ = slots_[0].bytes.get();
}

void OutputFiles::SetLineEndAfterOldText(std::string_view line_end, bool kept) {
  old_text_end_.Set(line_end);
  old_text_end_follows_source_ = kept;
}

void OutputFiles::NoteSourceLineEnd(std::string_view line_end) {
  if (old_text_end_follows_source_) old_text_end_.Set(line_end);
}

void OutputFiles::SetSource(const InputFile* source) {
  source_ = source;
  source_size_ = source != nullptr ? source->Size() : -1;
}

void OutputFiles::AppendRepeated(std::string_view chunk, std::uint64_t count) {
  while (count > 0 && !failed()) {
    const std::size_t piece = count < chunk.size() ? static_cast<std::size_t>(count) : chunk.size();
    Append(chunk.data(), piece);
    count -= piece;
  }
}

bool OutputFiles::Finish() {
  if (abandoned_ || failed()) return false;
  if (!make_empty_files_ && !make_current_ && size_ == 0 && !opened_) return true;
  HandOver(size_, /*close=*/true);
  return !failed();
}

std::vector<std::string> OutputFiles::TakeClosedFiles() {
  std::lock_guard<std::mutex> lock(closed_mutex_);
  return std::exchange(closed_, {});
}

bool OutputFiles::EndHeader() {
  TakeIntoHeader(size_);
  capturing_header_ = false;
  return !failed();
}

// Moves the first `count` bytes of the buffer into the header, within its limit.
void OutputFiles::TakeIntoHeader(std::size_t count) {
  if (prologue_.size() + count > header_limit_) {
    Failed(SplitErrorKind::kHeaderTooLong, {}, {});
  } else if (!failed()) {
    prologue_.append(active_, count);
  }
  size_ -= count;
  std::memmove(active_, active_ + count, size_);
  committed_ = 0;
}

bool OutputFiles::Settle() {
  if (worker_ != nullptr) worker_->WaitFor(last_ticket_);
  return !failed();
}

void OutputFiles::Abandon(bool stopped) {
  if (abandoned_) return;
  abandoned_ = true;  // the last task cuts an incomplete line back
  if (!capturing_header_ && !failed() &&
      (committed_ > 0 || opened_ || (stopped && begun_ && make_empty_files_))) {
    HandOver(committed_, /*close=*/true);
  }
  Settle();
  // Whatever was left open by a task that failed.
  if (open_file_) {
    CutBackToLine();
    std::string ignored;
    CloseOpenFile(ignored, false);
  }
}

// Append for bytes that do not fit: hands the complete lines over, so the line being
// appended starts the next buffer, and only a line longer than a buffer in pieces.
void OutputFiles::AppendSlow(const char* bytes, std::size_t count) {
  while (!failed() && !abandoned_) {
    const std::size_t piece = std::min(count, capacity_ - size_);
    std::memcpy(active_ + size_, bytes, piece);
    size_ += piece;
    bytes += piece;
    count -= piece;
    if (count == 0) return;
    HandOver(committed_ > 0 ? committed_ : size_, /*close=*/false);
  }
}

// Makes the first `count` bytes of the buffer a task (the rest, an unfinished line, moves
// to the next buffer), and goes on in the next buffer once its earlier task has run.
void OutputFiles::HandOver(std::size_t count, bool close) {
  assert(count <= size_ && committed_ <= size_);
  if (capturing_header_) {
    TakeIntoHeader(count);
    return;
  }
  const bool complete = count <= committed_ || size_ == committed_;
  Task task{path_,
            active_,
            count,
            !opened_,
            close,
            complete,
            complete ? lines_committed_ - lines_handed_ : 0,
            abandoned_,
            old_text_end_,
            whole_lines_};
  // Small pieces are written at once while the helper is idle (in order all the same): for
  // them the hand-over and the wake-ups would cost more than the overlap saves. The buffer
  // is then free again at once. Nothing changes before the task is on its way, so memory
  // running out here leaves the output as it was.
  char* previous = active_;
  if (worker_ == nullptr || (count <= inline_bytes_ && worker_->Idle())) {
    RunGuarded(task);
  } else {
    std::function<void()> job = [this, task = std::move(task)] { RunGuarded(task); };
    slots_[current_].ticket = last_ticket_ = worker_->Post(std::move(job));
    current_ = (current_ + 1) % slots_.size();
    worker_->WaitFor(slots_[current_].ticket);  // the next buffer's earlier task
    active_ = slots_[current_].bytes.get();
  }
  handed_in_file_ = close ? 0 : handed_in_file_ + count;
  made_file_ = true;
  if (complete) lines_handed_ = lines_committed_;
  opened_ = !close;
  begun_ = !close;
  const std::size_t rest = size_ - count;
  if (rest > 0) std::memmove(active_, previous + count, rest);
  size_ = rest;
  committed_ = 0;
}

// Runs a task; an exception inside it (out of memory, say) is the output's failure, so
// the job never reports success for a file it did not write, nor goes on with a file
// left half opened.
void OutputFiles::RunGuarded(const Task& task) {
  try {
    Run(task);
  } catch (const std::bad_alloc&) {
    Failed(SplitErrorKind::kOutOfMemory, task.path, {});
  } catch (const std::exception& error) {
    Failed(SplitErrorKind::kOutputWrite, task.path, error.what());
  } catch (...) {
    Failed(SplitErrorKind::kOutputWrite, task.path, "unexpected error");
  }
}

// Runs a task (on the helper thread with a worker).
void OutputFiles::Run(const Task& task) {
  std::string reason;
  if (failed()) {
    if (task.close && open_file_) {
      CutBackToLine();  // left inside a line by a task that threw
      CloseOpenFile(reason, false);
    }
    return;
  }
  if (task.open && !Open(task, reason)) return;
  if (!open_file_) {  // an earlier hand-over of this file never ran
    Failed(SplitErrorKind::kOutputWrite, task.path, "the file was not opened");
    return;
  }
  if (task.count > 0) at_line_end_ = false;  // until the write is done (it may throw)
  bool ok = task.count == 0 || open_file_->Write(task.bytes, task.count, reason);
  if (ok && task.count > 0) {
    if (file_size_ >= 0) file_size_ += static_cast<std::int64_t>(task.count);
    at_line_end_ = task.complete;
    if (task.complete) line_end_ = file_size_;
  }
  if (ok) {
    lines_kept_ += task.lines;
    lines_in_open_file_ += task.lines;
  }
  // The file's size at its last whole line: known with its size, and its size when it ends at
  // a line boundary.
  assert(line_end_ <= file_size_ && (!ok || !at_line_end_ || line_end_ == file_size_));
  // A write that failed part way keeps the whole lines that reached the file.
  if (!ok && file_size_ >= 0) {
    std::int64_t lines = 0;
    const std::size_t kept = KeptAfterFailedWrite(task, lines);
    if (kept > 0) {
      line_end_ = file_size_ + static_cast<std::int64_t>(kept);
      lines_kept_ += lines;
      lines_in_open_file_ += lines;
    }
  }
  // A write that failed part way, or an early end inside a line, leaves the file ending
  // inside a line: back to the end of its last complete line.
  if (!ok || task.cut_to_line) CutBackToLine();
  if (task.close || !ok) {
    std::string close_reason;
    const bool closed = CloseOpenFile(close_reason, ok);
    if (ok && !closed) reason = std::move(close_reason);
    ok = ok && closed;
  }
  if (!ok) Failed(SplitErrorKind::kOutputWrite, task.path, std::move(reason));
}

// Closes the open file. It counts among the files closed when it was written without a
// failure, or holds whole lines of the job all the same. False when the close failed.
bool OutputFiles::CloseOpenFile(std::string& reason, bool written) {
  const bool closed = open_file_->Close(reason);
  open_file_.reset();
  if ((written && closed) || lines_in_open_file_ > 0) {
    std::lock_guard<std::mutex> lock(closed_mutex_);
    closed_.push_back(open_path_);
  }
  return closed;
}

// After a write of `task` failed part way: how many of its bytes, from its start, are
// whole lines that the file took (0 when none), and how many lines end in them.
std::size_t OutputFiles::KeptAfterFailedWrite(const Task& task, std::int64_t& lines) const {
  const std::int64_t now = open_file_->CurrentSize();
  if (now <= file_size_ || task.whole_lines == nullptr) return 0;
  const auto written = std::min(task.count, static_cast<std::size_t>(now - file_size_));
  return task.whole_lines(task.bytes, written, task.count, task.complete, lines);
}

// Cuts the open file back to the end of its last complete line (never below its size when
// opened); remembers when that cannot be done.
bool OutputFiles::CutBackToLine() {
  if (at_line_end_) return true;
  std::string reason = open_is_stream_ ? "it is a pipe or device, which cannot be cut back"
                                       : "the size of its last complete line is unknown";
  if (line_end_ >= 0 && open_file_->CutBack(static_cast<std::uint64_t>(line_end_), reason)) {
    file_size_ = line_end_;
    at_line_end_ = true;
    return true;
  }
  if (incomplete_file_.empty()) {
    incomplete_file_ = open_path_;
    cut_back_reason_ = std::move(reason);
  }
  return false;
}

// Opens an output file for the job's lines: never the source; a file to replace is emptied;
// an empty file gets the source's mark and the header first; a file of another encoding is
// left untouched; an old last line without its line end gets one. A pipe or device is
// written as a stream: its start is not checked. False after a failure.
bool OutputFiles::Open(const Task& task, std::string& reason) {
  const std::string& path = task.path;
  open_file_ = files_.OpenAppend(path, reason);
  // A missing folder is made, once, and the file opened again.
  if (!open_file_ && create_folders_ && CreateFolderOf(path)) {
    open_file_ = files_.OpenAppend(path, reason);
  }
  open_path_ = path;
  if (!open_file_) {
    Failed(SplitErrorKind::kOutputWrite, path, std::move(reason));
    return false;
  }
  lines_in_open_file_ = 0;
  open_is_stream_ = open_file_->IsStream();
  file_size_ = line_end_ = open_is_stream_ ? -1 : open_file_->OpenedSize();
  at_line_end_ = true;
  // An empty file cannot be a source that was not empty (the most common case, a file just
  // created, so its identity need not be asked).
  const bool cannot_be_source = file_size_ == 0 && source_size_ > 0;
  if (!cannot_be_source && IsSource(*open_file_)) {
    return CloseAndFail(SplitErrorKind::kOutputIsSource, path, {});
  }
  if (replace_existing_ && !open_is_stream_ && file_size_ != 0) {
    if (!open_file_->CutBack(0, reason)) {
      return CloseAndFail(SplitErrorKind::kOutputWrite, path, std::move(reason));
    }
    file_size_ = line_end_ = 0;
  }
  ExistingFileAction action = ExistingFileAction::kWriteMark;
  if (!open_is_stream_ && !Judge(action, reason)) {
    return CloseAndFail(SplitErrorKind::kOutputWrite, path, std::move(reason));
  }
  switch (action) {
    case ExistingFileAction::kRefuse:
      return CloseAndFail(SplitErrorKind::kOutputEncoding, path, {});
    case ExistingFileAction::kWriteMark:
      return WriteFirst(prologue_, reason);
    case ExistingFileAction::kWriteHeader:
      return WriteFirst(std::string_view(prologue_).substr(mark_size_), reason);
    case ExistingFileAction::kAppend:
      return EndsAtLineEnd() || WriteFirst(task.old_text_end.view(), reason);
  }
  return true;
}

// Decides what the open file needs before the job's lines. A file known to be empty (one
// just created, most often) has no start to read; one that may be written but not read is
// judged by its size: an empty one gets the mark like any empty file, a non-empty one is
// appended to. False when its start cannot be read.
bool OutputFiles::Judge(ExistingFileAction& action, std::string& reason) {
  if (file_size_ == 0) {
    action = ExistingFileAction::kWriteMark;
    return true;
  }
  char head[kLongestMark];
  const std::int64_t count = open_file_->ReadHead(head, sizeof(head), reason);
  if (count == OutputFile::kHeadUnreadable) {
    action = ExistingFileAction::kAppend;
    return true;
  }
  if (count < 0) return false;
  action = JudgeExistingFile(encoding_, std::string_view(prologue_).substr(0, mark_size_),
                             std::string_view(head, static_cast<std::size_t>(count)), file_size_);
  return true;
}

// Whether the open file, appended to, ends with a line end (or cannot be read to tell): one
// read of its last unit.
bool OutputFiles::EndsAtLineEnd() {
  const std::size_t unit = IsUtf16(encoding_) ? 2 : 1;
  if (file_size_ <= 0 || file_size_ % static_cast<std::int64_t>(unit) != 0) return true;
  char last[2];
  std::string ignored;
  if (open_file_->ReadLast(last, unit, ignored) != static_cast<std::int64_t>(unit)) return true;
  const bool big_endian = encoding_ == TextEncoding::kUtf16Be;
  const char low = last[unit == 2 && big_endian ? 1 : 0];
  const bool high_zero = unit == 1 || last[big_endian ? 0 : 1] == '\0';
  return high_zero && (low == '\r' || low == '\n');
}

// Writes `bytes` before the job's lines (the mark and header, or the line end an old last
// line lacks); the file then ends at a line boundary. False after a failure.
bool OutputFiles::WriteFirst(std::string_view bytes, std::string& reason) {
  if (bytes.empty()) return true;
  at_line_end_ = false;  // until they are written (the write may throw)
  if (!open_file_->Write(bytes.data(), bytes.size(), reason)) {
    CutBackToLine();  // never half of them
    return CloseAndFail(SplitErrorKind::kOutputWrite, open_path_, std::move(reason));
  }
  at_line_end_ = true;
  if (file_size_ >= 0) line_end_ = file_size_ += static_cast<std::int64_t>(bytes.size());
  return true;
}

// Makes the folder of `path` with its missing parents, tried once per folder. False when
// it was tried before or could not be made.
bool OutputFiles::CreateFolderOf(const std::string& path) {
  const std::size_t separator = path.find_last_of(std::string_view("/\\", 2));
  if (separator == std::string::npos || path.compare(0, separator, tried_folder_) == 0) {
    return false;
  }
  tried_folder_ = path.substr(0, separator);
  std::string ignored;  // the open's own reason is the one to tell
  return files_.CreateFolders(tried_folder_, ignored);
}

// Closes the file just opened, untouched since, and keeps the failure; returns false.
bool OutputFiles::CloseAndFail(SplitErrorKind kind, const std::string& path, std::string reason) {
  std::string ignored;
  CloseOpenFile(ignored, false);
  Failed(kind, path, std::move(reason));
  return false;
}

// Whether an opened output file is the source: by identity when both are known, else by
// the final paths of the two open files; a file that cannot be told apart either way is
// taken as different (so two different files are never refused).
bool OutputFiles::IsSource(const OutputFile& file) {
  if (source_ == nullptr) return false;
  const FileIdentity source = source_->Identity();
  const FileIdentity output = file.Identity();
  if (source.Known() && output.Known()) return source == output;
  if (!source_path_asked_) {
    source_path_ = source_->ComparablePath();
    source_path_asked_ = true;
  }
  if (source_path_.empty()) return false;
  return file.ComparablePath() == source_path_;
}

// Keeps the first failure.
void OutputFiles::Failed(SplitErrorKind kind, const std::string& path, std::string reason) {
  if (failed()) return;
  failed_kind_ = kind;
  failed_path_ = path;
  reason_ = std::move(reason);
  failed_.store(true, std::memory_order_release);
}

}  // namespace tarnwick
