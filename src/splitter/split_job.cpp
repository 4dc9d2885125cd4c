// The split job: streams the source in large blocks, shapes lines on the fly and gathers the
// output in a buffer, so no line is ever held whole beyond a bound and memory stays bounded.
//
// The job is a pipeline of stages chosen once per job, each in a file of its own:
//   reader       line_reader.h    blocks of whole lines, with the list of their line ends
//   line rules   line_end.h       the code units, where lines end, the trim rule
//   shaping      line_shaper.h    trimmed and dropped, or kept as they are
//   line loop    line_copier.h    lines from the reader to the output, fast and general path
//   cutter       file_cutter.h    where a file ends: N lines, a size, or parts
//   namer        file_namer.h     the numbered paths of the files
//   output       output_files.h   the mark, the header and the writes on a helper thread
// This file wires them for one run and tells the host how the job ended.
#include "splitter/split_job.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "splitter/file_cutter.h"
#include "splitter/file_namer.h"
#include "splitter/line_copier.h"
#include "splitter/line_reader.h"
#include "splitter/line_shaper.h"
#include "splitter/output_files.h"
#include "splitter/text_encoding.h"
#include "splitter/text_value.h"

namespace tarnwick {
namespace {

// What each way to end a job does, in order, before the host hears of it.
//
//   how it ended       header  parts     the current file               reported as
//   kSourceEnded       kept    all made  finished and closed            finished
//   kStopSeen          kept    -         finished and closed            stopped
//   kReadStopped       -       -         whole lines kept, closed       stopped
//   kStopInLine        -       -         whole lines kept, closed       stopped
//   kClosedByHost      -       -         closed by the host already     stopped
//   kFailed            -       -         whole lines kept, closed       failed
//
// "Finished" hands over the rest of the file; a file begun that no line went into is made
// where the cut makes empty files (the classic split's next file), and a source that was
// only its header gives one file holding it. "Whole lines kept" cuts a line left
// incomplete back; after a stop the begun empty file is made too. A stop after
// which the output failed, or left a file that could not be cut back to its last whole line,
// is reported as that failure.
struct EndSteps {
  bool keep_header;
  bool make_parts;
  bool finish_file;
  bool keep_whole_lines;
  SplitOutcome outcome;
};
constexpr EndSteps kEndSteps[] = {
    /* kSourceEnded */ {true, true, true, false, SplitOutcome::kFinished},
    /* kStopSeen */ {true, false, true, false, SplitOutcome::kStopped},
    /* kReadStopped */ {false, false, false, true, SplitOutcome::kStopped},
    /* kStopInLine */ {false, false, false, true, SplitOutcome::kStopped},
    /* kClosedByHost */ {false, false, false, false, SplitOutcome::kStopped},
    /* kFailed */ {false, false, false, true, SplitOutcome::kFailed},
};
static_assert(std::size(kEndSteps) == static_cast<std::size_t>(JobEnd::kFailed) + 1,
              "a row for each way to end, in the order of JobEnd");

// One run of the job: the stages, the source and the end.
class SplitRun final : public SplitJobControl {
 public:
  SplitRun(SplitHost& host, FileSystem& files, const SplitOptions& options,
           const SplitTuning& tuning)
      : SplitRun(host, files, options, tuning,
                 tuning.background_writes ? std::make_unique<IoWorker>() : nullptr) {}

  SplitOutcome Run();
  void StopAndCloseFiles() override { copier_.CloseFiles(); }
  // An exception that ends the job before its end (out of memory, a file layer that
  // throws) still leaves every file at a line boundary and closed.
  ~SplitRun() override {
    if (!ended_) {
      try {
        output_.Abandon();
        progress_.lines_written = output_.lines_kept();  // what the files hold
      } catch (...) {
      }
    }
    files_.SetStopFlag(nullptr);
  }

 private:
  SplitRun(SplitHost& host, FileSystem& files, const SplitOptions& options,
           const SplitTuning& tuning, std::unique_ptr<IoWorker> writer)
      : host_(host),
        files_(files),
        options_(options),
        progress_(options.progress != nullptr ? *options.progress : own_progress_),
        fixed_stop_(host.FixedSettingsStopFlag()),
        reader_(tuning.read_buffer_size, tuning.line_bound),
        cutter_(FileCutter::For(options, host, fixed_stop_ != nullptr,
                                std::max<std::int32_t>(tuning.count_limit, 1))),
        names_(options.names, options.first_number, std::max<std::int32_t>(tuning.count_limit, 1)),
        output_(files, std::max<std::size_t>(tuning.write_buffer_size, 1), writer.get(),
                tuning.inline_write_bytes),
        copier_(host, files, reader_, *cutter_, names_, output_, progress_,
                LoopSettings{fixed_stop_, options.header_lines.value_or(0), host.TrimsPaths(),
                             options.replace_existing}),
        writer_(std::move(writer)) {
    progress_ = SplitProgress{};
  }

  SplitOutcome Start();
  template <class Units, template <class> class Shape>
  JobEnd Lines();
  SplitOutcome End(JobEnd end, std::optional<SplitError> error = std::nullopt);
  SplitError OutputError();

  SplitHost& host_;
  FileSystem& files_;
  const SplitOptions& options_;
  SplitProgress own_progress_;
  SplitProgress& progress_;
  const std::atomic<bool>* fixed_stop_;
  std::string source_path_;
  std::unique_ptr<InputFile> source_;
  LineReader reader_;
  std::unique_ptr<FileCutter> cutter_;
  OutputNames names_;
  OutputFiles output_;
  LineCopier copier_;
  bool ended_ = false;  // End has run
  // Last, so it is destroyed first: a task still queued finishes while the file and
  // buffer it uses exist.
  std::unique_ptr<IoWorker> writer_;
};

SplitOutcome SplitRun::Run() {
  host_.SetJobControl(this);
  host_.JobStarted();
  // A stop requested while the source waits for data (a pipe) ends the wait at once.
  if (fixed_stop_ != nullptr) files_.SetStopFlag(fixed_stop_);
  return Start();
}

// Opens the source, reads its mark and runs the line loop for its encoding and options.
SplitOutcome SplitRun::Start() {
  source_path_ = host_.SourcePath();
  if (host_.TrimsPaths()) source_path_ = std::string(TrimSpaces(source_path_));
  std::string reason;
  source_ = host_.OpenSource(files_, source_path_, reason);
  const auto stop = [&] {
    return fixed_stop_ != nullptr ? fixed_stop_->load() : host_.StopRequested();
  };
  if (!source_ && stop()) return End(JobEnd::kStopSeen);  // a FIFO with no writer yet
  if (!source_)
    return End(JobEnd::kFailed,
               SplitError{SplitErrorKind::kSourceOpen, source_path_, std::move(reason), {}});
  output_.SetSource(source_.get());
  progress_.source_size = source_->Size();
  if (options_.cut_by == CutBy::kParts && source_->Size() < 0) {
    return End(JobEnd::kFailed,
               SplitError{SplitErrorKind::kSourceSizeUnknown, source_path_, {}, {}});
  }
  cutter_->Prepare(*source_,
                   static_cast<std::uint64_t>(std::max<std::int64_t>(source_->Size(), 0)));
  output_.SetMakeEmptyFiles(cutter_->MakesEmptyFiles());
  output_.SetReplaceExisting(options_.replace_existing);
  output_.SetCreateFolders(options_.create_folders);
  // The first bytes are read before any output exists: an unreadable source leaves no file.
  DetectedEncoding detected;
  const bool read = reader_.ReadMark(*source_, options_.encoding, detected);
  progress_.bytes_read = reader_.bytes_read();
  if (!read) return End(JobEnd::kReadStopped);
  // A UTF-16 file cannot be read without its mark, so a forced UTF-16 job writes it too.
  output_.SetEncoding(detected.encoding, detected.mark_length > 0 || IsUtf16(detected.encoding));
  const bool keep = options_.keep_lines;
  switch (detected.encoding) {
    case TextEncoding::kAnsi:
    case TextEncoding::kUtf8:
      return End(keep ? Lines<ByteUnits, KeptLines>() : Lines<ByteUnits, TrimmedLines>());
    case TextEncoding::kUtf16Le:
      return End(keep ? Lines<Utf16Units<false>, KeptLines>()
                      : Lines<Utf16Units<false>, TrimmedLines>());
    case TextEncoding::kUtf16Be:
      return End(keep ? Lines<Utf16Units<true>, KeptLines>()
                      : Lines<Utf16Units<true>, TrimmedLines>());
  }
  return End(JobEnd::kFailed);
}

// The line loop for the line-end rule. A kAuto job starts with CRs and LFs as line ends;
// its first line end, a CR, narrows the rule to CR and CR LF.
template <class Units, template <class> class Shape>
JobEnd SplitRun::Lines() {
  const LineEnds rule = options_.line_ends;
  if (rule == LineEnds::kCr) return copier_.Run<Scan<LineRule<Units, false>, Shape>>(false);
  return copier_.Run<Scan<LineRule<Units, true>, Shape>>(rule == LineEnds::kAuto);
}

// Ends the job as the table above says and tells the host.
SplitOutcome SplitRun::End(JobEnd end, std::optional<SplitError> error) {
  if (end == JobEnd::kReadStopped && !reader_.interrupted()) {
    end = JobEnd::kFailed;
    error = SplitError{SplitErrorKind::kSourceRead, source_path_, reader_.reason(), {}};
  }
  const EndSteps& steps = kEndSteps[static_cast<int>(end)];
  SplitOutcome outcome = steps.outcome;
  const bool at_end = end == JobEnd::kSourceEnded;
  bool ok = !steps.keep_header || copier_.EndHeader(at_end);
  ok = ok && (!steps.make_parts || copier_.MakeRemainingParts());
  ok = ok && (!steps.finish_file || (copier_.FinishFile() && output_.Settle()));
  if (!ok) outcome = SplitOutcome::kFailed;
  if (outcome == SplitOutcome::kFailed && !error) error = copier_.error();
  // The header is a property of the source.
  if (error && error->kind == SplitErrorKind::kHeaderPastSize) {
    error->path = source_path_;
    error->reason = "its header takes " + std::to_string(output_.prologue_size()) +
                    " bytes and leaves no room for a line in a file of " +
                    std::to_string(options_.max_file_bytes) + " bytes";
  }
  const bool stop = end == JobEnd::kReadStopped || end == JobEnd::kStopInLine;
  if (steps.keep_whole_lines || !ok) output_.Abandon(stop);
  output_.Settle();
  source_.reset();
  ended_ = true;
  if (outcome == SplitOutcome::kFailed && !error) error = OutputError();
  if (outcome == SplitOutcome::kStopped && output_.failed()) {
    outcome = SplitOutcome::kFailed;
    error = OutputError();
  } else if (outcome == SplitOutcome::kStopped && !output_.incomplete_file().empty()) {
    outcome = SplitOutcome::kFailed;
    error = SplitError{
        SplitErrorKind::kOutputWrite, output_.incomplete_file(), output_.cut_back_reason(), {}};
  }
  // The lines now in the files, which the host shows.
  progress_.lines_written = output_.lines_kept();
  copier_.ReportClosedFiles();
  host_.SetJobControl(nullptr);
  switch (outcome) {
    case SplitOutcome::kFinished:
      host_.JobFinished();
      break;
    case SplitOutcome::kStopped:
      host_.JobStopped();
      break;
    case SplitOutcome::kFailed:
      error->incomplete_file = output_.incomplete_file();
      host_.JobFailed(*error);
      break;
  }
  return outcome;
}

// The output's first failure; a header too long is a property of the source.
SplitError SplitRun::OutputError() {
  const SplitErrorKind kind = output_.failed_kind();
  return SplitError{kind,
                    kind == SplitErrorKind::kHeaderTooLong ? source_path_ : output_.failed_path(),
                    output_.reason(),
                    {}};
}

}  // namespace

SplitOutcome RunSplit(SplitHost& host, FileSystem& files, const SplitOptions& options,
                      const SplitTuning& tuning) {
  SplitRun run(host, files, options, tuning);
  return run.Run();
}

}  // namespace tarnwick
