// Ending a job early from inside the message pump (the user's session ends), and telling
// an output file from the source when the file system gives no usable identity.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memory_file_system.h"
#include "splitter/split_job.h"

namespace tarnwick {
namespace {

using testing::MemoryFileSystem;
using testing::Out;
using testing::OutputFiles;
using testing::ScriptedHost;

// The lines "line 1" ... "line `count`", some with spaces to trim and blank lines between,
// so that the job takes both its paths (runs of unchanged lines and lines to change).
std::string NumberedSource(int count) {
  std::string source;
  for (int i = 1; i <= count; ++i) {
    source += i % 3 == 0 ? "  line " + std::to_string(i) + " \r\n\r\n"
                         : "line " + std::to_string(i) + "\r\n";
  }
  return source;
}

std::string ExpectedLines(int from, int to) {
  std::string text;
  for (int i = from; i <= to; ++i) text += "line " + std::to_string(i) + "\r\n";
  return text;
}

TEST(SplitJobControl, StopAndCloseFilesWritesEveryProcessedLineBeforeItReturns) {
  // At every pump of the job in turn: the files must hold exactly the lines written so far,
  // each file ending at a line boundary, and be closed when the call returns; the job
  // then ends as stopped without touching another file.
  struct Buffers {
    std::size_t read, write;
    bool background;
  };
  for (const Buffers buffers : {Buffers{1 << 16, 1 << 16, true}, Buffers{1 << 16, 1 << 16, false},
                                Buffers{7, 5, true}, Buffers{3, 64, false}}) {
    for (int stop_at = 1; stop_at <= 12; ++stop_at) {
      MemoryFileSystem files;
      files.files["in.txt"] = NumberedSource(10);
      ScriptedHost host;
      host.lines_per_file = 4;
      SplitProgress progress;
      std::vector<std::string> opened_at_close;
      bool checked = false;
      host.on_pump = [&](ScriptedHost& h) {
        if (h.pumps != stop_at) return;
        ASSERT_NE(h.control, nullptr);
        h.control->StopAndCloseFiles();
        checked = true;
        const int written = static_cast<int>(progress.lines_written);
        for (int file = 1; file <= (written + 3) / 4; ++file) {
          EXPECT_EQ(files.files[Out(file)],
                    ExpectedLines(4 * file - 3, std::min(4 * file, written)))
              << "file " << file << " pump " << stop_at;
        }
        EXPECT_EQ(files.open_files, 1);  // the source only
        opened_at_close = files.appended;
        h.stop = true;
      };
      SplitOptions options;
      options.progress = &progress;
      SplitTuning tuning;
      tuning.read_buffer_size = buffers.read;
      tuning.write_buffer_size = buffers.write;
      tuning.background_writes = buffers.background;
      tuning.inline_write_bytes = stop_at % 2 == 0 ? 1 << 16 : 0;
      const SplitOutcome outcome = RunSplit(host, files, options, tuning);
      if (!checked) continue;  // fewer pumps than stop_at
      EXPECT_EQ(outcome, SplitOutcome::kStopped);
      EXPECT_EQ(host.events, (std::vector<std::string>{"started", "stopped"}));
      EXPECT_EQ(files.appended, opened_at_close);
      EXPECT_EQ(files.open_files, 0);
      EXPECT_EQ(host.control, nullptr);
    }
  }
}

TEST(SplitJobControl, AFailureBeforeTheHostEndsTheJobIsStillReported) {
  // The output failed on the helper thread (or threw, as out of memory would) before the
  // host closed the files: the job ends as failed, naming the file, not as stopped.
  for (const bool background : {true, false}) {
    for (const bool thrown : {false, true}) {
      MemoryFileSystem files;
      files.files["in.txt"] = NumberedSource(40);
      if (thrown) {
        files.throw_on_open.insert(Out(2));
      } else {
        files.write_fails_after = 30;
      }
      ScriptedHost host;
      host.lines_per_file = 4;
      host.on_pump = [](ScriptedHost& h) {
        if (h.pumps == 20) h.control->StopAndCloseFiles();
      };
      SplitTuning tuning;
      tuning.write_buffer_size = 16;
      tuning.background_writes = background;
      EXPECT_EQ(RunSplit(host, files, {}, tuning), SplitOutcome::kFailed);
      ASSERT_TRUE(host.error) << background << thrown;
      EXPECT_EQ(host.error->kind,
                thrown ? SplitErrorKind::kOutOfMemory : SplitErrorKind::kOutputWrite);
      EXPECT_EQ(host.error->path, Out(thrown ? 2 : 1));
      EXPECT_EQ(host.events, (std::vector<std::string>{"started", "failed"}));
      EXPECT_EQ(files.open_files, 0);
    }
  }
}

TEST(SplitJobControl, FilesClosedAfterTheLastLineEndTheJobAsStopped) {
  // The last line has no line end; the host closes the files in the pump after it.
  MemoryFileSystem files;
  files.files["in.txt"] = "a\r\nb";
  ScriptedHost host;
  host.lines_per_file = 10;
  host.on_pump = [](ScriptedHost& h) {
    if (h.pumps == 2) h.control->StopAndCloseFiles();
  };
  EXPECT_EQ(RunSplit(host, files), SplitOutcome::kStopped);
  EXPECT_EQ(host.events, (std::vector<std::string>{"started", "stopped"}));
  EXPECT_EQ(files.files[Out(1)], "a\r\nb\r\n");
}

TEST(SplitJobControl, TheControlIsGivenForTheJobOnly) {
  MemoryFileSystem files;
  files.files["in.txt"] = "a\r\nb\r\n";
  ScriptedHost host;
  SplitJobControl* during = nullptr;
  host.on_pump = [&](ScriptedHost& h) { during = h.control; };
  EXPECT_EQ(RunSplit(host, files), SplitOutcome::kFinished);
  EXPECT_NE(during, nullptr);
  EXPECT_EQ(host.control, nullptr);
  EXPECT_EQ(host.controls_given, 1);
  // A failed job takes it back too.
  EXPECT_EQ(RunSplit(host, files = MemoryFileSystem{}), SplitOutcome::kFailed);
  EXPECT_EQ(host.control, nullptr);
}

TEST(SplitJobIdentity, UnknownIdentitiesFallBackToTheFinalPaths) {
  for (const bool background : {true, false}) {
    SplitTuning tuning;
    tuning.background_writes = background;
    // Every identity unknown (index 0): different files are split into as usual...
    MemoryFileSystem share;
    share.zero_indexes = true;
    share.files["in.txt"] = "a\r\nb\r\n";
    ScriptedHost host;
    host.lines_per_file = 1;
    EXPECT_EQ(RunSplit(host, share, {}, tuning), SplitOutcome::kFinished);
    EXPECT_EQ(share.files[Out(2)], "b\r\n");
    // ...and another name of the source is refused by its final path, the source untouched.
    MemoryFileSystem same;
    same.zero_indexes = true;
    same.files["in.txt"] = "a\r\nb\r\n";
    same.aliases[Out(2)] = "in.txt";
    ScriptedHost refused;
    refused.lines_per_file = 1;
    EXPECT_EQ(RunSplit(refused, same, {}, tuning), SplitOutcome::kFailed);
    ASSERT_TRUE(refused.error.has_value());
    EXPECT_EQ(refused.error->kind, SplitErrorKind::kOutputIsSource);
    EXPECT_EQ(refused.error->path, Out(2));
    EXPECT_EQ(same.files["in.txt"], "a\r\nb\r\n");
    EXPECT_EQ(same.files[Out(1)], "a\r\n");
    // Without identities and without paths, files are taken as different.
    MemoryFileSystem blind;
    blind.zero_indexes = true;
    blind.comparable_paths = false;
    blind.files["in.txt"] = "a\r\n";
    ScriptedHost unknown;
    EXPECT_EQ(RunSplit(unknown, blind, {}, tuning), SplitOutcome::kFinished);
    EXPECT_EQ(blind.files[Out(1)], "a\r\n");
  }
}

}  // namespace
}  // namespace tarnwick
