// The output side of the split job: a buffer of output bytes per file, handed over in
// pieces to tasks that open, write and close the numbered files, on a helper thread
// while the job goes on with the lines.
#pragma once

#include <algorithm>
#include <atomic>
#include <cassert>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "splitter/line_end.h"
#include "splitter/split_job.h"
#include "splitter/text_encoding.h"

namespace tarnwick {

// Runs tasks on a helper thread, in the order they were posted. The thread starts with the
// first task and ends with the object, after running every task posted.
class IoWorker {
 public:
  IoWorker() = default;
  IoWorker(const IoWorker&) = delete;
  IoWorker& operator=(const IoWorker&) = delete;
  ~IoWorker();

  // Queues a task; returns its ticket for WaitFor. Without a thread (the system refused
  // one) the task runs at once.
  std::uint64_t Post(std::function<void()> task);

  // Waits until the task with this ticket, and every one before it, has run.
  void WaitFor(std::uint64_t ticket);

  // Whether every task posted has run (the thread then touches nothing of the tasks').
  bool Idle();

 private:
  void Work();

  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  std::deque<std::function<void()>> tasks_;
  std::uint64_t posted_ = 0;
  std::uint64_t done_ = 0;
  bool quit_ = false;
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
  OutputFiles(FileSystem& files, std::size_t capacity, IoWorker* worker,
              std::size_t inline_bytes = 0);
  OutputFiles(const OutputFiles&) = delete;
  OutputFiles& operator=(const OutputFiles&) = delete;

  // The source, which must never be opened as an output file; it outlives every task.
  void SetSource(const InputFile* source);
  // The job's encoding: an existing file of another encoding is refused, and when the
  // source had a mark, the mark starts every file created or found empty.
  void SetEncoding(TextEncoding encoding, bool marked) {
    encoding_ = encoding;
    prologue_ = marked ? MarkOf(encoding) : std::string_view();
    mark_size_ = prologue_.size();
  }
  std::size_t mark_size() const { return mark_size_; }
  // The line end written after an existing file's last line when it has none, so that the
  // job's first line does not join it: `line_end` (CR LF), or with `kept` lines the source's
  // own first line end once NoteSourceLineEnd has told it.
  void SetLineEndAfterOldText(std::string_view line_end, bool kept);
  void NoteSourceLineEnd(std::string_view line_end);
  // Where the lines of the output end (WholeLinesIn for its rule), so that a write that
  // fails part way keeps every line the file took whole.
  void SetWholeLines(WholeLinesFinder whole_lines) { whole_lines_ = whole_lines; }
  // Whether a file no line went into is still made (created empty, or left as it was).
  void SetMakeEmptyFiles(bool make) { make_empty_files_ = make; }
  // Whether each file is emptied when opened (after the check that it is not the source),
  // rather than appended to.
  void SetReplaceExisting(bool replace) { replace_existing_ = replace; }
  bool replace_existing() const { return replace_existing_; }
  // Whether a missing folder is created (with its parents) before its first file.
  void SetCreateFolders(bool create) { create_folders_ = create; }

  // The lines appended from now on until EndHeader are the header: they follow the mark at
  // the start of every file created or found empty. Before the first file only. At most
  // `limit` bytes: a longer header is the output's failure (kHeaderTooLong).
  void BeginHeader(std::size_t limit) {
    capturing_header_ = true;
    header_limit_ = prologue_.size() + limit;
  }
  // False when the header is too long.
  bool EndHeader();
  // Whether the lines appended now are the header's.
  bool in_header() const { return capturing_header_; }
  // Bytes that start every file created or found empty: the mark and the header.
  std::size_t prologue_size() const { return prologue_.size(); }
  bool has_header() const { return prologue_.size() > mark_size_; }
  // Whether the job has made a file yet, and a way to have the current one made even
  // without lines (one file that holds only the header).
  bool made_a_file() const { return made_file_; }
  void MakeCurrentFile() { make_current_ = true; }
  bool must_make_current() const { return make_current_; }

  // Starts the next output file, named `path` (the previous one has been finished).
  void Begin(std::string path) {
    path_ = std::move(path);
    opened_ = false;
    begun_ = true;
  }
  const std::string& path() const { return path_; }

  // Adds bytes to the output.
  void Append(const char* bytes, std::size_t count) {
    assert(committed_ <= size_ && size_ <= capacity_);
    if (count <= capacity_ - size_) {
      std::memcpy(active_ + size_, bytes, count);
      size_ += count;
    } else {
      AppendSlow(bytes, count);
    }
  }

  // Adds `count` bytes taken from `chunk` over and over (spaces held back inside a line);
  // the chunk is a whole number of code units, and so is `count`.
  void AppendRepeated(std::string_view chunk, std::uint64_t count);

  // Marks everything appended so far as complete lines: one more line (the header's lines
  // are not counted).
  void EndLine() {
    committed_ = size_;
    if (!capturing_header_) ++lines_committed_;
  }
  // Marks everything appended so far as complete, without a line (a final odd byte).
  void EndPiece() { committed_ = size_; }

  // Hands over the rest of the current file and its closing (an empty file is still
  // opened, so it exists afterwards, unless empty files are not made). False when a
  // failure is known.
  bool Finish();

  // The paths of the files written and closed since the last call, in order.
  std::vector<std::string> TakeClosedFiles();

  // Bytes of the current file appended by this job (the prologue not counted).
  std::uint64_t bytes_in_file() const { return handed_in_file_ + size_; }
  std::uint64_t handed_in_file() const { return handed_in_file_; }

  // Waits until every task has run. False when one failed.
  bool Settle();

  // Ends the output early (an error, or a stop): hands over the complete lines of the
  // current file unless the output has failed, then waits until the files are closed.
  // After a stop, a file begun is made even without lines where empty files are made, as
  // at the end of the source. Nothing is handed over afterwards.
  void Abandon(bool stopped = false);

  // Direct access for the fast path, which appends complete lines only: it writes after
  // size() up to capacity(), then tells how far and how many lines.
  char* data() { return active_; }
  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }
  void AddCompleteLines(std::size_t size, std::int64_t lines) {
    assert(committed_ <= size && size <= capacity_ && lines >= 0);
    size_ = committed_ = size;
    lines_committed_ += lines;
  }

  bool failed() const { return failed_.load(std::memory_order_acquire); }
  // The lines now in the files (read after Settle): after a failure, those before it.
  std::int64_t lines_kept() const { return lines_kept_; }
  // The file that could not be cut back to its last complete line (empty when none), and
  // why (read after Settle).
  const std::string& incomplete_file() const { return incomplete_file_; }
  const std::string& cut_back_reason() const { return cut_back_reason_; }
  // The first failure; read after Settle.
  SplitErrorKind failed_kind() const { return failed_kind_; }
  const std::string& failed_path() const { return failed_path_; }
  const std::string& reason() const { return reason_; }

 private:
  static constexpr std::size_t kSlots = 4;  // buffers, with a worker

  // A line end (at most CR LF of 16-bit units), held by value.
  struct LineEndBytes {
    char bytes[4] = {};
    std::size_t size = 0;
    void Set(std::string_view line_end) {
      size = std::min(line_end.size(), sizeof(bytes));
      std::memcpy(bytes, line_end.data(), size);
    }
    std::string_view view() const { return {bytes, size}; }
  };

  struct Slot {
    std::unique_ptr<char[]> bytes;
    std::uint64_t ticket = 0;  // the task that uses the buffer
  };

  // One piece of work on the files.
  struct Task {
    std::string path;
    const char* bytes;
    std::size_t count;
    bool open;           // open `path` first
    bool close;          // close the file afterwards
    bool complete;       // the bytes end at a line boundary
    std::int64_t lines;  // lines that end in these bytes
    bool cut_to_line;    // before closing, cut a line left incomplete back (the job ended early)
    LineEndBytes old_text_end;     // with `open`: what an old last line without a line end gets
    WholeLinesFinder whole_lines;  // where the lines of these bytes end
  };

  void AppendSlow(const char* bytes, std::size_t count);
  void TakeIntoHeader(std::size_t count);
  void HandOver(std::size_t count, bool close);
  void RunGuarded(const Task& task);
  void Run(const Task& task);
  bool CutBackToLine();
  std::size_t KeptAfterFailedWrite(const Task& task, std::int64_t& lines) const;
  bool Open(const Task& task, std::string& reason);
  bool Judge(ExistingFileAction& action, std::string& reason);
  bool EndsAtLineEnd();
  bool WriteFirst(std::string_view bytes, std::string& reason);
  bool CreateFolderOf(const std::string& path);
  bool CloseOpenFile(std::string& reason, bool written);
  bool CloseAndFail(SplitErrorKind kind, const std::string& path, std::string reason);
  bool IsSource(const OutputFile& file);
  void Failed(SplitErrorKind kind, const std::string& path, std::string reason);

  FileSystem& files_;
  const InputFile* source_ = nullptr;
  std::int64_t source_size_ = -1;  // the source's size when it was opened
  TextEncoding encoding_ = TextEncoding::kAnsi;
  std::string prologue_;  // the mark and the header
  bool make_empty_files_ = true;
  bool make_current_ = false;  // the current file is made even without lines
  bool made_file_ = false;     // a file has been handed over to be opened
  bool replace_existing_ = false;
  bool create_folders_ = false;
  std::size_t mark_size_ = 0;  // of the mark at the start of the prologue
  LineEndBytes old_text_end_;
  bool old_text_end_follows_source_ = false;
  WholeLinesFinder whole_lines_ = nullptr;
  bool capturing_header_ = false;
  std::size_t header_limit_ = 0;  // largest size of the mark and header
  std::size_t capacity_;
  IoWorker* worker_;
  std::size_t inline_bytes_;  // largest piece written on the job's thread when the worker is idle
  std::vector<Slot> slots_;
  std::size_t current_ = 0;  // the slot being filled
  char* active_;             // its buffer
  std::size_t size_ = 0;
  std::size_t committed_ = 0;         // bytes of complete lines at the front of the buffer
  std::uint64_t handed_in_file_ = 0;  // bytes of the current file handed over
  std::string path_;                  // the current file
  bool opened_ = false;               // a task that opens the current file has been handed over
  bool begun_ = false;                // the current file is named and not yet closed
  bool abandoned_ = false;            // Abandon has run: nothing more is handed over
  std::uint64_t last_ticket_ = 0;

  std::int64_t lines_committed_ = 0;  // lines ended so far (the header's not counted)
  std::int64_t lines_handed_ = 0;     // of them, those handed over

  // Used by the tasks only.
  std::unique_ptr<OutputFile> open_file_;
  std::int64_t file_size_ = -1;  // the open file's size now, -1 when unknown
  std::int64_t line_end_ = -1;   // its size at the end of its last complete line
  bool at_line_end_ = true;      // it ends at a line boundary
  std::int64_t lines_kept_ = 0;
  std::string open_path_;        // the open file's path
  bool open_is_stream_ = false;  // it is a pipe or device
  std::int64_t lines_in_open_file_ = 0;
  std::string tried_folder_;     // the last folder CreateFolderOf tried to make
  std::string incomplete_file_;  // a file that could not be cut back
  std::string cut_back_reason_;
  bool source_path_asked_ = false;
  std::string source_path_;  // the source's comparable path, asked once when needed
  std::atomic<bool> failed_{false};
  std::mutex closed_mutex_;
  std::vector<std::string> closed_;  // files closed by the tasks, not yet taken
  SplitErrorKind failed_kind_ = SplitErrorKind::kOutputWrite;
  std::string failed_path_;
  std::string reason_;
};

}  // namespace tarnwick
