#include "dialogs/split_settings.h"

#include <utility>

#include "platform/settings_store.h"
#include "platform/text_convert.h"
#include "splitter/file_namer.h"
#include "splitter/text_value.h"

namespace tarnwick::dialogs {

namespace {

template <class Value>
using NamedValue = std::pair<const wchar_t*, Value>;

constexpr NamedValue<CutBy> kCutByNames[] = {
    {L"行数", CutBy::kLines}, {L"大小", CutBy::kBytes}, {L"份数", CutBy::kParts}};
constexpr NamedValue<SizeUnit> kUnitNames[] = {
    {kSizeUnitNames[0], SizeUnit::kKB},
    {kSizeUnitNames[1], SizeUnit::kMB},
    {kSizeUnitNames[2], SizeUnit::kGB},
};
constexpr NamedValue<bool> kFlagNames[] = {{L"0", false}, {L"1", true}};
constexpr NamedValue<bool> kExistingNames[] = {{L"追加", false}, {L"清空后重写", true}};

// The name a value is stored under.
template <class Value, std::size_t kCount>
const wchar_t* NameOf(Value value, const NamedValue<Value> (&names)[kCount]) {
  for (const auto& [name, known] : names) {
    if (known == value) return name;
  }
  return names[0].first;
}

// Reads one field of the store, leaving `field` at its default when the stored text is
// missing, unreadable or not a value the field can take.
class FieldReader {
 public:
  FieldReader(const std::wstring& application, const std::wstring& section)
      : application_(application), section_(section) {}

  template <class Value, std::size_t kCount>
  void Choice(const wchar_t* key, const NamedValue<Value> (&names)[kCount], Value& field) const {
    const auto text = Read(key);
    for (const auto& [name, value] : names) {
      if (text && *text == name) field = value;
    }
  }
  void Number(const wchar_t* key, std::int32_t least, std::int32_t& field) const {
    if (const auto text = Read(key)) field = ParseWholeNumber(*text, least).value_or(field);
  }
  void Pattern(const wchar_t* key, std::wstring& field) const {
    const auto text = Read(key);
    if (text && !PatternProblem(*text)) field = *text;
  }

 private:
  std::optional<std::wstring> Read(const wchar_t* key) const {
    try {
      return platform::ReadSetting(application_, section_, key);
    } catch (...) {
      return std::nullopt;  // as a value that cannot be read
    }
  }
  const std::wstring& application_;
  const std::wstring& section_;
};

std::string Utf8(const std::wstring& text) {
  return platform::WideToUtf8(text);
}

// The source's name as the job takes it: without the spaces at both ends.
std::string TrimmedPath(const std::wstring& path) {
  return std::string(TrimSpaces(Utf8(path)));
}

std::uint64_t UnitBytes(SizeUnit unit) {
  switch (unit) {
    case SizeUnit::kKB:
      return 1000;
    case SizeUnit::kMB:
      return 1000 * 1000;
    case SizeUnit::kGB:
      break;
  }
  return 1000ull * 1000 * 1000;
}

}  // namespace

SplitSettings LoadSplitSettings(const std::wstring& application, const std::wstring& section) {
  SplitSettings settings;
  const FieldReader read(application, section);
  read.Choice(keys::kCutBy, kCutByNames, settings.cut_by);
  read.Number(keys::kSize, 1, settings.size);
  read.Choice(keys::kUnit, kUnitNames, settings.unit);
  read.Number(keys::kParts, 1, settings.parts);
  read.Choice(keys::kRepeatHeader, kFlagNames, settings.repeat_header);
  read.Number(keys::kHeaderLines, 1, settings.header_lines);
  read.Choice(keys::kKeepLines, kFlagNames, settings.keep_lines);
  read.Pattern(keys::kNamePattern, settings.name_pattern);
  read.Number(keys::kFirstNumber, 0, settings.first_number);
  read.Choice(keys::kExisting, kExistingNames, settings.replace_existing);
  return settings;
}

bool SaveSplitSettings(const std::wstring& application, const std::wstring& section,
                       const SplitSettings& settings) {
  const std::pair<const wchar_t*, std::wstring> values[] = {
      {keys::kCutBy, NameOf(settings.cut_by, kCutByNames)},
      {keys::kSize, std::to_wstring(settings.size)},
      {keys::kUnit, NameOf(settings.unit, kUnitNames)},
      {keys::kParts, std::to_wstring(settings.parts)},
      {keys::kRepeatHeader, NameOf(settings.repeat_header, kFlagNames)},
      {keys::kHeaderLines, std::to_wstring(settings.header_lines)},
      {keys::kKeepLines, NameOf(settings.keep_lines, kFlagNames)},
      {keys::kNamePattern, settings.name_pattern},
      {keys::kFirstNumber, std::to_wstring(settings.first_number)},
      {keys::kExisting, NameOf(settings.replace_existing, kExistingNames)},
  };
  bool saved = true;
  for (const auto& [key, value] : values) {
    saved = platform::SaveSetting(application, section, key, value) && saved;
  }
  return saved;
}

std::optional<std::int32_t> ParseWholeNumber(std::wstring_view text, std::int32_t least) {
  const std::size_t first = text.find_first_not_of(L' ');
  if (first == std::wstring_view::npos) return std::nullopt;
  text = text.substr(first, text.find_last_not_of(L' ') - first + 1);
  std::int64_t value = 0;
  for (const wchar_t c : text) {
    int digit = -1;
    if (c >= L'0' && c <= L'9') digit = c - L'0';
    if (c >= L'\xFF10' && c <= L'\xFF19') digit = c - L'\xFF10';  // as a Chinese IME types
    if (digit < 0) return std::nullopt;
    value = value * 10 + digit;
    if (value > kLargestCount) return std::nullopt;
  }
  if (value < least) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::optional<std::wstring> PatternProblem(const std::wstring& pattern) {
  if (pattern.empty()) return L"不能为空";
  NamePatternFault why;
  if (FileNamer::Parse(Utf8(pattern), &why)) return std::nullopt;
  switch (why.kind) {
    using Kind = NamePatternFault::Kind;
    case Kind::kForbiddenCharacter:
      return L"文件名中不能有 / \\ : * ? \" < > | 和控制字符";
    case Kind::kUnclosedField:
      return L"“{”缺少与之配对的“}”";
    case Kind::kBadWidth:
      return L"{n:W} 中的位数 W 须是 1 到 20 的整数";
    case Kind::kUnknownField:
      return L"只能用 {n}、{n:W}、{stem} 和 {ext} 这几个字段";
    case Kind::kNoNumber:
      break;
  }
  return L"必须含有 {n}（文件的编号）";
}

std::wstring ExampleNames(const std::wstring& pattern, std::int32_t first_number,
                          const std::wstring& source_path) {
  auto names = FileNamer::Parse(Utf8(pattern));
  if (!names) return L"";
  names->SetSourceName(TrimmedPath(source_path));
  std::wstring text;
  for (std::int64_t n = first_number; n < std::int64_t{first_number} + 3; ++n) {
    text += platform::Utf8ToWide(names->Name(n)) + L"、";
  }
  text.back() = L' ';
  return text + L"…";
}

SplitOptions EngineOptions(const SplitSettings& settings, const std::wstring& source_path) {
  SplitOptions options;
  options.cut_by = settings.cut_by;
  if (settings.cut_by == CutBy::kBytes) {
    options.max_file_bytes = static_cast<std::uint64_t>(settings.size) * UnitBytes(settings.unit);
  }
  if (settings.cut_by == CutBy::kParts) options.parts = settings.parts;
  if (settings.repeat_header) options.header_lines = settings.header_lines;
  options.keep_lines = settings.keep_lines;
  if (auto names = FileNamer::Parse(Utf8(settings.name_pattern))) options.names = *names;
  options.names.SetSourceName(TrimmedPath(source_path));
  options.first_number = settings.first_number;
  options.replace_existing = settings.replace_existing;
  return options;
}

std::wstring DescribeSettings(const SplitSettings& settings) {
  std::wstring text;
  switch (settings.cut_by) {
    case CutBy::kLines:
      text = L"按行数切分";
      break;
    case CutBy::kBytes:
      text = L"按大小切分，每个文件不超过 " + std::to_wstring(settings.size) + L" " +
             kSizeUnitNames[static_cast<int>(settings.unit)];
      break;
    case CutBy::kParts:
      text = L"按份数切分为 " + std::to_wstring(settings.parts) + L" 份";
      break;
  }
  if (settings.repeat_header) {
    text += L"，每个文件重复前 " + std::to_wstring(settings.header_lines) + L" 行表头";
  }
  text += settings.keep_lines ? L"，保持原样" : L"，去掉首尾空格和空行";
  const SplitSettings defaults;
  if (settings.name_pattern != defaults.name_pattern) {
    // A long pattern is cut, so that the sentence always fits its two lines.
    constexpr std::size_t kShownPattern = 16;
    std::wstring pattern = settings.name_pattern;
    if (pattern.size() > kShownPattern) pattern = pattern.substr(0, kShownPattern - 1) + L"…";
    text += L"，文件名 " + pattern;
  }
  if (settings.first_number != defaults.first_number) {
    text += L"，编号从 " + std::to_wstring(settings.first_number) + L" 起";
  }
  if (settings.replace_existing) text += L"，清空后重写同名文件";
  text += L"。";
  if (settings == defaults) text += L"右键单击窗口可更改切分选项。";
  return text;
}

}  // namespace tarnwick::dialogs
