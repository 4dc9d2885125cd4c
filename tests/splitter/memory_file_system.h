// An in-memory file system and a scripted host for exercising the split job: files are
// strings, failures can be injected, and the host records every call the job makes.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "splitter/split_job.h"

namespace tarnwick::testing {

class MemoryFileSystem : public FileSystem {
 public:
  std::map<std::string, std::string> files;    // path -> content
  std::map<std::string, std::string> aliases;  // another spelling -> path
  std::set<std::string> refuse_open;           // opening these paths fails
  std::set<std::string> refuse_close;          // closing these output files fails
  std::set<std::string> pipes;                 // sources that tell no size, as pipes
  std::set<std::string> throw_on_open;         // opening these throws, as out of memory would
  std::optional<std::string> standard_input;   // a pipe holding this (none: no standard input)
  std::set<std::string> refuse_cut_back;       // cutting these output files back fails
  std::set<std::string> write_only;            // output files that may be written, not read
  std::set<std::string> streams;               // outputs that are pipes or devices
  std::set<std::string> missing_folders;       // folders that hold nothing until created
  std::set<std::string> created_folders;       // folders CreateFolders was asked for
  std::size_t open_fails_after = kNever;       // output files opened before opening fails
  std::uint64_t read_fails_after = kNever;     // source bytes delivered before a failure
  bool read_throws = false;                    // that failure is an exception
  std::uint64_t read_interrupted_at = kNever;  // source offset where a read is interrupted
  // Output bytes accepted before a failure; the Write that crosses it takes the bytes up
  // to it (a short write), later ones none.
  std::uint64_t write_fails_after = kNever;
  bool write_throws = false;          // that failure is an exception, after the short write
  std::size_t largest_read = kNever;  // reads return at most this many bytes
  std::vector<std::string> appended;  // paths opened for appending, in order
  std::size_t largest_write = 0;      // most bytes handed to one Write
  bool zero_indexes = false;          // identities with index 0, as some network shares give
  bool comparable_paths = true;       // files tell their real path as ComparablePath
  int open_files = 0;                 // files open right now
  std::atomic<bool>* interrupt_sets = nullptr;  // set by the interruption, as by a signal

  static constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();

  std::unique_ptr<InputFile> OpenRead(const std::string& path, std::string& error) override {
    const std::string real = Resolve(path);
    if (refuse_open.count(path) > 0 || files.count(real) == 0) {
      error = refuse_open.count(path) > 0 ? "Permission denied" : "No such file or directory";
      return nullptr;
    }
    return std::make_unique<Input>(*this, files[real], IdentityOf(real), PathOf(real),
                                   pipes.count(real) > 0);
  }

  bool IsStreamPath(const std::string& path) override { return pipes.count(Resolve(path)) > 0; }
  bool CreateFolders(const std::string& path, std::string&) override {
    created_folders.insert(path);
    return true;
  }

  std::int64_t ExistingSize(const std::string& path) override {
    const auto found = files.find(Resolve(path));
    return found != files.end() ? static_cast<std::int64_t>(found->second.size()) : -1;
  }

  std::unique_ptr<InputFile> OpenStandardInput(std::string& error) override {
    if (!standard_input) return FileSystem::OpenStandardInput(error);
    files[kStandardInput] = *standard_input;
    pipes.insert(kStandardInput);
    return OpenRead(kStandardInput, error);
  }
  static constexpr const char* kStandardInput = "<standard input>";

  std::unique_ptr<OutputFile> OpenAppend(const std::string& path, std::string& error) override {
    const std::string real = Resolve(path);
    if (throw_on_open.count(path) > 0) throw std::bad_alloc();
    if (refuse_open.count(path) > 0) {
      error = "Permission denied";
      return nullptr;
    }
    if (appended.size() >= open_fails_after) {
      error = "Too many open files";
      return nullptr;
    }
    const std::string folder = path.substr(0, path.find_last_of("/\\"));
    if (missing_folders.count(folder) > 0 && created_folders.count(folder) == 0) {
      error = "No such file or directory";
      return nullptr;
    }
    appended.push_back(path);
    return std::make_unique<Output>(*this, files[real], IdentityOf(real), path, PathOf(real));
  }

 private:
  class Input : public InputFile {
   public:
    Input(MemoryFileSystem& owner, const std::string& content, FileIdentity identity,
          std::string real, bool pipe)
        : owner_(owner),
          content_(content),
          identity_(identity),
          real_(std::move(real)),
          pipe_(pipe) {
      ++owner_.open_files;
    }
    ~Input() override { --owner_.open_files; }
    // At read_interrupted_at the source waits for more and a stop comes (interrupt_sets,
    // when given, is set): that read is interrupted, later ones go on.
    std::int64_t Read(char* buffer, std::size_t capacity, std::string& error) override {
      if (position_ >= owner_.read_fails_after) {
        if (owner_.read_throws) throw std::bad_alloc();
        error = "Input/output error";
        return -1;
      }
      if (position_ == owner_.read_interrupted_at && !interrupted_) {
        interrupted_ = true;
        if (owner_.interrupt_sets != nullptr) owner_.interrupt_sets->store(true);
        return kInterrupted;
      }
      std::size_t count = std::min({capacity, owner_.largest_read, content_.size() - position_});
      for (const std::uint64_t limit : {owner_.read_fails_after, owner_.read_interrupted_at}) {
        if (limit > position_ && limit != kNever) {
          count = std::min<std::size_t>(count, limit - position_);
        }
      }
      content_.copy(buffer, count, position_);
      position_ += count;
      return static_cast<std::int64_t>(count);
    }
    FileIdentity Identity() const override { return identity_; }
    std::int64_t Size() const override {
      return pipe_ ? -1 : static_cast<std::int64_t>(content_.size());
    }
    std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t capacity) override {
      if (pipe_) return -1;
      const std::size_t at = std::min<std::size_t>(offset, content_.size());
      const std::size_t count = std::min({capacity, owner_.largest_read, content_.size() - at});
      return static_cast<std::int64_t>(content_.copy(buffer, count, at));
    }
    std::string ComparablePath() const override { return real_; }

   private:
    MemoryFileSystem& owner_;
    const std::string& content_;
    FileIdentity identity_;
    std::string real_;
    bool pipe_;
    std::size_t position_ = 0;
    bool interrupted_ = false;
  };

  class Output : public OutputFile {
   public:
    Output(MemoryFileSystem& owner, std::string& content, FileIdentity identity, std::string path,
           std::string real)
        : owner_(owner),
          content_(content),
          identity_(identity),
          path_(std::move(path)),
          real_(std::move(real)),
          opened_size_(content.size()) {
      ++owner_.open_files;
    }
    ~Output() override {
      if (open_) --owner_.open_files;
    }
    bool Write(const char* data, std::size_t size, std::string& error) override {
      owner_.largest_write = std::max(owner_.largest_write, size);
      const std::uint64_t room = owner_.write_fails_after - owner_.written_;
      const std::size_t taken = static_cast<std::size_t>(std::min<std::uint64_t>(size, room));
      content_.append(data, taken);
      owner_.written_ += taken;
      if (taken < size) {
        if (owner_.write_throws) throw std::bad_alloc();
        error = "No space left on device";
        return false;
      }
      return true;
    }
    bool Close(std::string& error) override {
      if (open_) --owner_.open_files;
      open_ = false;
      if (owner_.refuse_close.count(path_) > 0) {
        error = "Disk quota exceeded";
        return false;
      }
      return true;
    }
    FileIdentity Identity() const override { return identity_; }
    std::int64_t ReadHead(char* buffer, std::size_t capacity, std::string&) override {
      if (owner_.write_only.count(path_) > 0) return kHeadUnreadable;
      return static_cast<std::int64_t>(content_.copy(buffer, capacity, 0));
    }
    std::int64_t ReadLast(char* buffer, std::size_t count, std::string& error) override {
      if (owner_.write_only.count(path_) > 0 || IsStream()) {
        error = "Permission denied";
        return -1;
      }
      const std::size_t have = std::min(count, opened_size_);
      return static_cast<std::int64_t>(content_.copy(buffer, have, opened_size_ - have));
    }
    bool IsStream() const override { return owner_.streams.count(path_) > 0; }
    std::string ComparablePath() const override { return real_; }
    std::int64_t OpenedSize() const override {
      return IsStream() ? -1 : static_cast<std::int64_t>(opened_size_);
    }
    std::int64_t CurrentSize() const override {
      return IsStream() ? -1 : static_cast<std::int64_t>(content_.size());
    }
    bool CutBack(std::uint64_t size, std::string& error) override {
      if (owner_.refuse_cut_back.count(path_) > 0 || IsStream() || size > content_.size()) {
        error = "Input/output error";
        return false;
      }
      content_.resize(static_cast<std::size_t>(size));
      return true;
    }

   private:
    MemoryFileSystem& owner_;
    std::string& content_;
    FileIdentity identity_;
    std::string path_;
    std::string real_;
    std::size_t opened_size_;
    bool open_ = true;
  };

  std::string Resolve(const std::string& path) const {
    const auto alias = aliases.find(path);
    return alias != aliases.end() ? alias->second : path;
  }

  std::string PathOf(const std::string& real) const { return comparable_paths ? real : ""; }

  FileIdentity IdentityOf(const std::string& real) {
    if (zero_indexes) return FileIdentity{7, 0, 0};
    const auto known = identities_.find(real);
    if (known != identities_.end()) return known->second;
    FileIdentity identity{7, 0, identities_.size() + 1};
    identities_[real] = identity;
    return identity;
  }

  std::map<std::string, FileIdentity> identities_;
  std::uint64_t written_ = 0;
};

// A host that answers from its fields, records the job's calls and runs an optional
// action inside each message pump (where the window's handlers would run).
class ScriptedHost : public SplitHost {
 public:
  std::string source = "in.txt";
  std::string folder = "out";
  double lines_per_file = 2;
  bool stop = false;
  std::function<void(ScriptedHost&)> on_pump;
  SplitJobControl* control = nullptr;  // the running job's, as given by SetJobControl
  int controls_given = 0;
  std::atomic<bool>* fixed_settings_stop = nullptr;  // offered as FixedSettingsStopFlag

  int pumps = 0;
  int stop_checks = 0;
  int lines_per_file_reads = 0;
  int folder_reads = 0;
  std::vector<std::string> events;  // "started", "finished", "stopped", "failed"
  std::optional<SplitError> error;

  std::string SourcePath() override { return source; }
  std::string OutputFolder() override {
    ++folder_reads;
    return folder;
  }
  double LinesPerFile() override {
    ++lines_per_file_reads;
    return lines_per_file;
  }
  bool StopRequested() override {
    ++stop_checks;
    return stop;
  }
  void PumpMessages() override {
    ++pumps;
    if (on_pump) on_pump(*this);
  }
  void JobStarted() override { events.push_back("started"); }
  void JobFinished() override { events.push_back("finished"); }
  void JobStopped() override { events.push_back("stopped"); }
  void JobFailed(const SplitError& failure) override {
    events.push_back("failed");
    error = failure;
  }
  const std::atomic<bool>* FixedSettingsStopFlag() override { return fixed_settings_stop; }
  void SetJobControl(SplitJobControl* given) override {
    control = given;
    if (given != nullptr) ++controls_given;
  }
};

// Path of output file `number` in folder "out" (the scripted host's folder).
inline std::string Out(int number) {
  return "out" + std::string(1, kPathSeparator) + std::to_string(number) + ".txt";
}

// Output files 1.txt ... in folder "out" of the memory file system, in number order.
inline std::vector<std::string> OutputFiles(const MemoryFileSystem& files) {
  std::vector<std::string> contents;
  for (int number = 1; files.files.count(Out(number)) > 0; ++number) {
    contents.push_back(files.files.at(Out(number)));
  }
  return contents;
}

}  // namespace tarnwick::testing
