// The options of the window's split job that the 切分选项 dialog edits: their defaults and
// limits, how they are stored per user, the engine options they give, and the sentence
// that tells the user what the next job will do.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "splitter/split_job.h"

namespace tarnwick::dialogs {

// Units of the size limit: powers of 1000, as tarnwick-split's KB MB GB, so that "at most
// 20 MB" holds whether the user reads MB as 10^6 or 2^20 bytes.
enum class SizeUnit { kKB, kMB, kGB };
inline constexpr const wchar_t* kSizeUnitNames[] = {L"KB", L"MB", L"GB"};

inline constexpr std::int32_t kLargestCount = 2147483647;

// Every field has a default (the window's behaviour before the options existed) that a
// missing, damaged or out-of-range stored value falls back to.
struct SplitSettings {
  CutBy cut_by = CutBy::kLines;  // by lines: the window's 每个文件行数 box
  std::int32_t size = 20;        // with kBytes, in `unit`
  SizeUnit unit = SizeUnit::kMB;
  std::int32_t parts = 4;  // with kParts
  bool repeat_header = false;
  std::int32_t header_lines = 1;
  bool keep_lines = false;
  std::wstring name_pattern = L"{n}.txt";
  std::int32_t first_number = 1;
  bool replace_existing = false;
  bool operator==(const SplitSettings&) const = default;
};

// The stored values' names in the window's settings section (beside 每个文件行数).
namespace keys {
inline constexpr wchar_t kCutBy[] = L"切分方式";
inline constexpr wchar_t kSize[] = L"每个文件大小";
inline constexpr wchar_t kUnit[] = L"大小单位";
inline constexpr wchar_t kParts[] = L"份数";
inline constexpr wchar_t kRepeatHeader[] = L"重复表头";
inline constexpr wchar_t kHeaderLines[] = L"表头行数";
inline constexpr wchar_t kKeepLines[] = L"保持原样";
inline constexpr wchar_t kNamePattern[] = L"文件名";
inline constexpr wchar_t kFirstNumber[] = L"起始编号";
inline constexpr wchar_t kExisting[] = L"已有的同名文件";
}  // namespace keys

// Reads every field from the store; each one that is missing or unusable gets its default.
SplitSettings LoadSplitSettings(const std::wstring& application, const std::wstring& section);
// Stores every field; false when the store refused one.
bool SaveSplitSettings(const std::wstring& application, const std::wstring& section,
                       const SplitSettings& settings);

// A whole number from `least` to kLargestCount typed by the user: digits (ASCII or
// full-width), spaces at both ends allowed; nothing for anything else.
std::optional<std::int32_t> ParseWholeNumber(std::wstring_view text, std::int32_t least);

// Why the file name pattern would be refused (as tarnwick-split --name refuses it), in
// Chinese; nothing when it is usable.
std::optional<std::wstring> PatternProblem(const std::wstring& pattern);

// The first three names a job would give its files, "1.txt、2.txt、3.txt …", for a usable
// pattern; {stem} and {ext} from the source path.
std::wstring ExampleNames(const std::wstring& pattern, std::int32_t first_number,
                          const std::wstring& source_path);

// The engine's options for a job on `source_path` (trimmed as the job trims it).
SplitOptions EngineOptions(const SplitSettings& settings, const std::wstring& source_path);

// What the next job will do, in one sentence; with the defaults it also says where to
// change it.
std::wstring DescribeSettings(const SplitSettings& settings);

}  // namespace tarnwick::dialogs
