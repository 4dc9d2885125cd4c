// Byte-order marks: which encoding a source's first bytes give, the mark that starts
// every output file, and whether an existing output file may take the job's lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "splitter/split_job.h"

namespace tarnwick {

// The encoding of one job, as the line scanner needs it.
enum class TextEncoding { kAnsi, kUtf8, kUtf16Le, kUtf16Be };

// Whether the encoding has 16-bit code units.
inline bool IsUtf16(TextEncoding encoding) {
  return encoding == TextEncoding::kUtf16Le || encoding == TextEncoding::kUtf16Be;
}

// Longest mark (UTF-8's three bytes): the job looks at this many first bytes.
inline constexpr std::size_t kLongestMark = 3;

struct DetectedEncoding {
  TextEncoding encoding = TextEncoding::kAnsi;
  std::size_t mark_length = 0;  // bytes of the mark at the start of the source (0: none)
};

// The encoding of a source that starts with `first` (its first kLongestMark bytes, fewer
// when it is shorter): by its mark with kAuto; a forced encoding whatever the bytes are,
// its own mark at the start still counting as a mark.
DetectedEncoding DetectEncoding(std::string_view first, SourceEncoding choice);

// The mark of an encoding ("" for ANSI).
std::string_view MarkOf(TextEncoding encoding);

// What to do with an output file before the lines of a job go into it.
enum class ExistingFileAction {
  kWriteMark,    // empty: the mark and the header first
  kWriteHeader,  // it holds the job's mark only: empty all the same, the header first
  kAppend,       // its content is of the same encoding: append after it
  kRefuse,       // it holds another encoding: leave it untouched and stop the job
};

// Judges an output file of `size` bytes whose content starts with `head` (up to
// kLongestMark bytes; empty for an empty file), for a job whose files start with `mark`
// ("" for none). A UTF-16 job appends only after its own mark; any other job refuses a
// file that starts with a mark other than its own. A file without a mark takes any job
// that is not UTF-16.
ExistingFileAction JudgeExistingFile(TextEncoding encoding, std::string_view mark,
                                     std::string_view head, std::int64_t size);

}  // namespace tarnwick
