// The split job: reads a text file and writes its non-blank, space-trimmed lines into
// numbered files 1.txt, 2.txt, ... of N lines each. Portable C++: the host (window or
// command line) and the file system reach the job only through the interfaces below.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "splitter/file_namer.h"

namespace tarnwick {

// Identity of an open file on its volume (device and inode, or volume serial and file
// id): two paths name the same file exactly when their identities are equal. A zero
// index means unknown (some network file systems report 0 for every file).
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index_high = 0;
  std::uint64_t index_low = 0;
  bool operator==(const FileIdentity&) const = default;
  bool Known() const { return index_high != 0 || index_low != 0; }
};

// A file open for reading. Read returns the number of bytes read (0 at the end), -1 on
// failure with the system's reason in `error`, or kInterrupted.
class InputFile {
 public:
  virtual ~InputFile() = default;
  virtual std::int64_t Read(char* buffer, std::size_t capacity, std::string& error) = 0;
  // Read's result when the stop flag given to the file system (FileSystem::SetStopFlag)
  // was set while the read had no data to give and would have waited for more (a pipe, a
  // FIFO, a terminal): no bytes were read, the source is not at its end, `error` is empty.
  static constexpr std::int64_t kInterrupted = -2;
  virtual FileIdentity Identity() const = 0;
  // Size in bytes when known (for progress displays), otherwise -1.
  virtual std::int64_t Size() const { return -1; }
  // Reads up to `capacity` bytes at `offset` (counted from where reading began) without
  // moving the place Read reads from, to look ahead: the count (0 at the end), or -1 when
  // the file cannot be read so (a pipe) or the read failed.
  virtual std::int64_t ReadAt(std::uint64_t /*offset*/, char* /*buffer*/,
                              std::size_t /*capacity*/) {
    return -1;
  }
  // The final path of the open file in a form in which two names of one file compare
  // equal byte for byte, or empty when unknown. Asked only when an identity is unknown.
  virtual std::string ComparablePath() const { return {}; }
};

// A file open for appending. Write writes all bytes or fails with the reason in `error`.
// The job may call Write on a helper thread of its own (never two calls at once).
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual bool Write(const char* data, std::size_t size, std::string& error) = 0;
  virtual bool Close(std::string& error) = 0;
  virtual FileIdentity Identity() const = 0;
  // Reads up to `capacity` bytes from the start of the file (what it held when opened);
  // returns the count (0 for an empty file), or -1 with the reason in `error`.
  virtual std::int64_t ReadHead(char* buffer, std::size_t capacity, std::string& error) = 0;
  // ReadHead's result for a file opened for writing only (the user may write it but not
  // read it) that is not empty: its start is unknown, `error` says why it cannot be read.
  // Such a file that is empty reads as 0 bytes, as any empty file.
  static constexpr std::int64_t kHeadUnreadable = -2;
  // Reads the last `count` bytes of what the file held when opened (fewer when it is
  // shorter); the count, or -1 when they cannot be read (a file opened for writing only).
  virtual std::int64_t ReadLast(char* /*buffer*/, std::size_t /*count*/, std::string& error) {
    error = "the file cannot be read";
    return -1;
  }
  // Whether the output is a pipe or device rather than a file: it is written as a stream,
  // its size unknown and never cut.
  virtual bool IsStream() const { return false; }
  // As InputFile::ComparablePath.
  virtual std::string ComparablePath() const { return {}; }
  // The file's size in bytes when it was opened (what it held before the job), or -1 when
  // unknown.
  virtual std::int64_t OpenedSize() const { return -1; }
  // The file's size now, or -1 when unknown: after a write that failed part way, how much
  // of it the file took.
  virtual std::int64_t CurrentSize() const { return -1; }
  // Cuts the file back to its first `size` bytes, `size` at most what it holds now; the
  // next Write appends after them. False with the reason in `error` when the file cannot
  // be cut (a device, a share that went away); a file layer without the means says so.
  virtual bool CutBack(std::uint64_t /*size*/, std::string& error) {
    error = "the file cannot be cut back";
    return false;
  }
};

// File services of the platform. Paths are UTF-8; a failure returns null and the
// system's reason in `error`.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual std::unique_ptr<InputFile> OpenRead(const std::string& path, std::string& error) = 0;
  // Opens for appending: a missing file is created, an existing one keeps its content.
  virtual std::unique_ptr<OutputFile> OpenAppend(const std::string& path, std::string& error) = 0;
  // The size of the file at `path` if it exists, -1 otherwise or when unknown: asked before
  // a file is opened, where what it holds changes what the job counts.
  virtual std::int64_t ExistingSize(const std::string& /*path*/) { return -1; }
  // Whether `path` names a pipe, FIFO or device: something that can be read but has no size.
  virtual bool IsStreamPath(const std::string& /*path*/) { return false; }
  // Creates the folder `path` with its missing parents; true when it exists afterwards.
  virtual bool CreateFolders(const std::string& /*path*/, std::string& error) {
    error = "folders cannot be created here";
    return false;
  }
  // The process's standard input as a source (a pipe, a redirected file or the console),
  // read like any other; it stays open for the process when the source is closed.
  virtual std::unique_ptr<InputFile> OpenStandardInput(std::string& error) {
    error = "standard input is not available";
    return nullptr;
  }
  // For a job whose stop flag is set from a signal or console handler (the host's
  // FixedSettingsStopFlag): once *flag is set and WakeReads has been called, a Read
  // waiting for data returns InputFile::kInterrupted at once. Null (the default) lets
  // reads wait. Set by the job for its own run, not while a Read is in progress.
  virtual void SetStopFlag(const std::atomic<bool>* /*flag*/) {}
  // Wakes the Read that waits for data, if any, so that it sees the stop flag. Callable
  // from any thread, and from a POSIX signal handler (async-signal-safe).
  virtual void WakeReads() {}
};

// The file services of the machine the program runs on (Win32 or POSIX). Thread-safe,
// lives for the whole program. On Windows UTF-8 paths are converted to UTF-16 and the
// reasons come from the system's message table, converted to UTF-8.
FileSystem& SystemFileSystem();

// Separator placed between the output folder and the file name.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// The header is held in memory to start every file: at most this many bytes of it.
inline constexpr std::size_t kLargestHeader = std::size_t{2} << 20;

// Why a job ended with an error.
enum class SplitErrorKind {
  kSourceOpen,         // the source could not be opened
  kSourceRead,         // reading the source failed
  kOutputWrite,        // an output file could not be opened, written or closed
  kOutputIsSource,     // an output file is the source file itself
  kCountOverflow,      // a file cut by lines would hold more than 2,147,483,647 lines
  kNumberOverflow,     // a file that is needed would be numbered past 2,147,483,647
  kNoOutputFolder,     // the output folder is empty
  kOutputEncoding,     // an existing output file holds text of another encoding
  kSourceSizeUnknown,  // a split into parts needs the size, which the source does not tell
  kHeaderTooLong,      // the header lines, held in memory, pass kLargestHeader
  kHeaderPastSize,     // the mark and header leave no room for a line within max_file_bytes
  kOutOfMemory,        // memory ran out while an output file was written
};

struct SplitError {
  SplitErrorKind kind;
  std::string path;    // the file concerned
  std::string reason;  // the system's message (may be empty)
  // An output file that could not be cut back to its last complete line (the share went
  // away, say): its last line may be incomplete. Empty when there is none.
  std::string incomplete_file;
};

// Lets the host end a running job at once from inside PumpMessages, for when the process
// may be ended as soon as the host's handler returns (the user's session ends).
class SplitJobControl {
 public:
  virtual ~SplitJobControl() = default;
  // Only from inside PumpMessages, on the job's thread: writes every line processed so
  // far, closes the output files and returns when they are closed. The job then ends as
  // stopped (JobStopped) when the pump returns, and touches no file again.
  virtual void StopAndCloseFiles() = 0;
};

// What the job needs from its host, and when it asks (see RunSplit).
class SplitHost {
 public:
  virtual ~SplitHost() = default;
  virtual std::string SourcePath() = 0;    // raw text; the job trims spaces; read once
  virtual std::string OutputFolder() = 0;  // raw text; the job trims spaces; read per file
  virtual double LinesPerFile() = 0;       // read after every written line
  // Polled before every line read, and between the pieces of a line longer than the bound.
  virtual bool StopRequested() = 0;
  // After each line that does not complete a file, and between the pieces of a line longer
  // than the bound (also while one is measured), so that a stop is seen inside it.
  virtual void PumpMessages() = 0;
  virtual void JobStarted() = 0;
  virtual void JobFinished() = 0;  // normal end of the source
  virtual void JobStopped() = 0;   // a stop was seen
  virtual void JobFailed(const SplitError& error) = 0;

  // Optional, for a host whose N cannot change during a job and whose pump has no per-line
  // work (the command line; the window cutting by size or into parts): returns its stop
  // flag, which may be set from any thread. The job then reads the flag itself before
  // every line instead of calling StopRequested, calls LinesPerFile once per file and
  // PumpMessages once per block of the source (and between the pieces of a long line).
  // OutputFolder is still read for every file. The output is the same. Null (the default)
  // keeps every call per line.
  virtual const std::atomic<bool>* FixedSettingsStopFlag() { return nullptr; }

  // Called with the job's control when the job starts (before JobStarted) and with null
  // before its Job* action at the end.
  virtual void SetJobControl(SplitJobControl* /*control*/) {}

  // Whether the job removes the spaces at both ends of SourcePath and OutputFolder (the
  // window's rule). A host that takes paths as given (the command line) says false.
  virtual bool TrimsPaths() { return true; }

  // Opens the source (a host may give its standard input for a path of its own).
  virtual std::unique_ptr<InputFile> OpenSource(FileSystem& files, const std::string& path,
                                                std::string& error) {
    return files.OpenRead(path, error);
  }

  // Called for each output file the job has written and closed, in order (on the job's
  // thread, at the latest before its Job* action).
  virtual void FileFinished(const std::string& /*path*/) {}
};

// Live counters of a running job, readable by the host from inside PumpMessages.
struct SplitProgress {
  std::uint64_t bytes_read = 0;    // source bytes read so far
  std::int64_t lines_written = 0;  // lines written over the whole job
  std::int32_t file_number = 0;    // number of the current output file (0 before the first)
  std::int64_t source_size = -1;   // size of the source when known, otherwise -1
};

// How the bytes of the source are read.
enum class SourceEncoding {
  kAuto,     // by the byte-order mark at the start; no mark: kAnsi
  kAnsi,     // bytes of the ANSI code page; no mark
  kUtf16Le,  // 16-bit units, little-endian; FF FE at the start is the mark
  kUtf16Be,  // 16-bit units, big-endian; FE FF at the start is the mark
  kUtf8,     // bytes, as kAnsi; EF BB BF at the start is the mark
};

// Which units end a line.
enum class LineEnds {
  kAuto,  // the first CR or LF of the source decides: an LF makes it kAny, otherwise kCr
  kCr,    // CR and CR LF; a lone LF is a character (files written on Windows)
  kAny,   // CR, LF and CR LF
};

// Where an output file ends.
enum class CutBy {
  kLines,  // after N lines (the host's LinesPerFile)
  kBytes,  // before the line that would take the file past max_file_bytes
  kParts,  // a line goes into the part its first byte's offset falls in, of `parts` parts
};

// What the user asks of a job.
struct SplitOptions {
  SplitProgress* progress = nullptr;  // updated while the job runs, when given
  // The source's encoding. A mark at the start is not part of the first line; every output
  // file the job creates or finds empty starts with it.
  SourceEncoding encoding = SourceEncoding::kAuto;
  LineEnds line_ends = LineEnds::kAuto;
  // Lines as they are: no trim, blank lines kept and counted, each with its own line end.
  bool keep_lines = false;
  // The first lines the job would write, repeated at the start of every file it creates or
  // finds empty (after the mark) and not counted as lines of any file.
  std::optional<std::int32_t> header_lines;
  CutBy cut_by = CutBy::kLines;
  std::uint64_t max_file_bytes = 0;  // with kBytes: mark, header and lines of a file
  std::int32_t parts = 0;            // with kParts
  FileNamer names;                   // the file names in the folder
  std::int32_t first_number = 1;     // the number of the first file (at least 0)
  // Each output file the job opens is emptied before its first write (after the check that
  // it is not the source), rather than appended to; files of numbers the job does not
  // reach are left alone.
  bool replace_existing = false;
  // A missing output folder is created, with its missing parents, before its first file.
  bool create_folders = false;
};

// How the job uses memory and threads, and its limits: set by tests and benchmarks only.
// The output is the same for every tuning.
struct SplitTuning {
  std::size_t read_buffer_size = 1u << 19;   // bytes per source read (at least 1)
  std::size_t write_buffer_size = 1u << 19;  // output bytes gathered before a write (at least 1)
  // Full output buffers are written by a helper thread while the next one fills (two
  // buffers then), so the writing overlaps the work on the lines. The host is only ever
  // called on the thread that runs the job.
  bool background_writes = true;
  // Pieces of output up to this many bytes (small files) are written on the job's own
  // thread while the helper is idle, where handing them over would cost more than it saves.
  std::size_t inline_write_bytes = 16 * 1024;
  // Largest file number, and largest line count of a file cut by lines.
  std::int32_t count_limit = 2147483647;
  // A line up to this many bytes (at least a read) is read whole; a longer one is read in
  // pieces, never held whole, and with kBytes measured in the source before it is written.
  std::size_t line_bound = std::size_t{2} << 20;
};

enum class SplitOutcome { kFinished, kStopped, kFailed };

// Runs one job to its end; the host's Job* action matching the outcome has been called.
SplitOutcome RunSplit(SplitHost& host, FileSystem& files, const SplitOptions& options = {},
                      const SplitTuning& tuning = {});

}  // namespace tarnwick
