// Output file names from a pattern.
#include "splitter/file_namer.h"

#include <charconv>

namespace tarnwick {
namespace {

// Widest zero-padded number: more digits than any file number has.
constexpr int kWidestNumber = 20;

bool IsForbidden(unsigned char c) {
  return c < 0x20 || c == 0x7F ||
         std::string_view("/\\:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos;
}

}  // namespace

std::string NamePatternFault::Text() const {
  switch (kind) {
    case Kind::kForbiddenCharacter:
      return "a file name cannot hold '/', '\\', ':', '*', '?', '\"', '<', '>', '|' or "
             "a control character";
    case Kind::kUnclosedField:
      return "'{' without its '}'";
    case Kind::kBadWidth:
      return "'{" + field + "}': the width is a whole number from 1 to 20";
    case Kind::kUnknownField:
      return "unknown field '{" + field + "}' ({n}, {n:W}, {stem}, {ext})";
    case Kind::kNoNumber:
      break;
  }
  return "the pattern needs {n}, the file's number";
}

std::optional<FileNamer> FileNamer::Parse(std::string_view pattern, NamePatternFault* problem) {
  using Kind = NamePatternFault::Kind;
  const auto fault = [&](Kind kind, std::string_view field = {}) -> std::optional<FileNamer> {
    if (problem != nullptr) *problem = {kind, std::string(field)};
    return std::nullopt;
  };
  std::vector<Piece> pieces;
  bool has_number = false;
  for (std::size_t i = 0; i < pattern.size();) {
    const char c = pattern[i];
    if (IsForbidden(static_cast<unsigned char>(c))) {
      return fault(Kind::kForbiddenCharacter);
    }
    if (c != '{') {
      if (pieces.empty() || pieces.back().field != Field::kText)
        pieces.push_back({Field::kText, {}, 0});
      pieces.back().text += c;
      ++i;
      continue;
    }
    const std::size_t close = pattern.find('}', i);
    if (close == std::string_view::npos) return fault(Kind::kUnclosedField);
    const std::string_view field = pattern.substr(i + 1, close - i - 1);
    if (field == "n") {
      pieces.push_back({Field::kNumber, {}, 0});
      has_number = true;
    } else if (field == "stem") {
      pieces.push_back({Field::kStem, {}, 0});
    } else if (field == "ext") {
      pieces.push_back({Field::kExt, {}, 0});
    } else if (field.starts_with("n:")) {
      const std::string_view digits = field.substr(2);
      int width = 0;
      const auto [end, error] =
          std::from_chars(digits.data(), digits.data() + digits.size(), width);
      if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
          width < 1 || width > kWidestNumber || digits[0] == '+') {
        return fault(Kind::kBadWidth, field);
      }
      pieces.push_back({Field::kNumber, {}, width});
      has_number = true;
    } else {
      return fault(Kind::kUnknownField, field);
    }
    i = close + 1;
  }
  if (!has_number) return fault(Kind::kNoNumber);
  return FileNamer(std::move(pieces));
}

void FileNamer::SetSourceName(std::string_view path) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) {
    stem_ = name;
    ext_.clear();
  } else {
    stem_ = name.substr(0, dot);
    ext_ = name.substr(dot + 1);
  }
}

void FileNamer::SetStandardInput() {
  stem_ = "stdin";
  ext_.clear();
}

std::string FileNamer::Name(std::int64_t number) const {
  std::string name;
  for (const Piece& piece : pieces_) {
    switch (piece.field) {
      case Field::kText:
        name += piece.text;
        break;
      case Field::kNumber: {
        char digits[24];
        const auto rendered = std::to_chars(digits, digits + sizeof(digits), number);
        const auto count = static_cast<int>(rendered.ptr - digits);
        if (count < piece.width) name.append(static_cast<std::size_t>(piece.width - count), '0');
        name.append(digits, rendered.ptr);
        break;
      }
      case Field::kStem:
        name += stem_;
        break;
      case Field::kExt:
        name += ext_;
        break;
    }
  }
  return name;
}

bool OutputNames::Next(std::string folder, char separator, std::string& path) {
  if (folder.empty() || (folder.back() != separator && folder.back() != '/')) folder += separator;
  path = std::move(folder) + names_.Name(next_);
  if (next_ > largest_) return false;
  number_ = next_++;
  return true;
}

}  // namespace tarnwick
