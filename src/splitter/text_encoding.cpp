// Byte-order marks of the sources and output files.
#include "splitter/text_encoding.h"

namespace tarnwick {
namespace {

constexpr std::string_view kUtf16LeMark("\xFF\xFE", 2);
constexpr std::string_view kUtf16BeMark("\xFE\xFF", 2);
constexpr std::string_view kUtf8Mark("\xEF\xBB\xBF", 3);

// The length of `encoding`'s mark when `first` starts with it, otherwise 0.
std::size_t MarkLengthIn(std::string_view first, TextEncoding encoding) {
  const std::string_view mark = MarkOf(encoding);
  return !mark.empty() && first.starts_with(mark) ? mark.size() : 0;
}

}  // namespace

std::string_view MarkOf(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::kAnsi:
      return {};
    case TextEncoding::kUtf8:
      return kUtf8Mark;
    case TextEncoding::kUtf16Le:
      return kUtf16LeMark;
    case TextEncoding::kUtf16Be:
      return kUtf16BeMark;
  }
  return {};
}

DetectedEncoding DetectEncoding(std::string_view first, SourceEncoding choice) {
  TextEncoding encoding = TextEncoding::kAnsi;
  switch (choice) {
    case SourceEncoding::kAuto:
      for (const TextEncoding marked :
           {TextEncoding::kUtf16Le, TextEncoding::kUtf16Be, TextEncoding::kUtf8}) {
        if (MarkLengthIn(first, marked) > 0) {
          encoding = marked;
          break;
        }
      }
      break;
    case SourceEncoding::kAnsi:
      encoding = TextEncoding::kAnsi;
      break;
    case SourceEncoding::kUtf16Le:
      encoding = TextEncoding::kUtf16Le;
      break;
    case SourceEncoding::kUtf16Be:
      encoding = TextEncoding::kUtf16Be;
      break;
    case SourceEncoding::kUtf8:
      encoding = TextEncoding::kUtf8;
      break;
  }
  return DetectedEncoding{encoding, MarkLengthIn(first, encoding)};
}

ExistingFileAction JudgeExistingFile(TextEncoding encoding, std::string_view mark,
                                     std::string_view head, std::int64_t size) {
  if (head.empty()) return ExistingFileAction::kWriteMark;
  if (!mark.empty() && head == mark && size == static_cast<std::int64_t>(mark.size())) {
    return ExistingFileAction::kWriteHeader;
  }
  if (IsUtf16(encoding)) {
    return head.starts_with(mark) ? ExistingFileAction::kAppend : ExistingFileAction::kRefuse;
  }
  for (const std::string_view other : {kUtf16LeMark, kUtf16BeMark, kUtf8Mark}) {
    if (other != mark && head.starts_with(other)) return ExistingFileAction::kRefuse;
  }
  return ExistingFileAction::kAppend;
}

}  // namespace tarnwick
