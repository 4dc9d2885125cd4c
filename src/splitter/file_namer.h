// Names of the output files: a pattern of literal text and fields ({n}, {n:W}, {stem},
// {ext}) turned into a file name for each file number, and the numbered paths of a job.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// Why a name pattern was refused.
struct NamePatternFault {
  enum class Kind {
    kForbiddenCharacter,  // a path separator, : * ? " < > | or a control character
    kUnclosedField,       // '{' without its '}'
    kBadWidth,            // {n:W} with W not a whole number from 1 to 20
    kUnknownField,        // a field other than {n}, {n:W}, {stem} and {ext}
    kNoNumber,            // no {n}
  };
  Kind kind = Kind::kNoNumber;
  std::string field;  // kBadWidth and kUnknownField: the field as written, without braces

  // The reason in English, for the command line.
  std::string Text() const;
};

class FileNamer {
 public:
  // The classic names: 1.txt, 2.txt, ...
  FileNamer() : pieces_{{Field::kNumber, {}, 0}, {Field::kText, ".txt", 0}} {}

  // Reads a pattern; on a fault returns nothing and says why in `fault`. A pattern needs
  // {n}, and holds no path separator, no character that Windows forbids in a name
  // (: * ? " < > |) and no control character; a field other than the four is a fault.
  static std::optional<FileNamer> Parse(std::string_view pattern,
                                        NamePatternFault* fault = nullptr);

  // The source's name, for {stem} (the name without its last extension) and {ext} (that
  // extension without the dot). A name whose only dot is its first character has no
  // extension (".profile").
  void SetSourceName(std::string_view path);
  // For a source read from standard input: {stem} "stdin", {ext} empty.
  void SetStandardInput();

  // The file name for a number (never negative).
  std::string Name(std::int64_t number) const;

 private:
  enum class Field { kText, kNumber, kStem, kExt };
  struct Piece {
    Field field;
    std::string text;  // kText only
    int width = 0;     // kNumber: digits, zero-padded (0: as many as needed)
  };

  explicit FileNamer(std::vector<Piece> pieces) : pieces_(std::move(pieces)) {}

  std::vector<Piece> pieces_;
  std::string stem_;
  std::string ext_;
};

// The paths of a job's files, in turn: the folder, a separator unless it ends with one
// ("out/", "C:\\"), and the pattern's name of the next number, from the first on.
class OutputNames {
 public:
  OutputNames(const FileNamer& names, std::int64_t first, std::int64_t largest)
      : names_(names), next_(first), largest_(largest) {}

  // The next file's path in `folder` (with `separator`). False when its number would pass
  // the largest; `path` is then the name it would have.
  bool Next(std::string folder, char separator, std::string& path);
  // The number of the last path given (0 before the first).
  std::int64_t number() const { return number_; }

 private:
  const FileNamer& names_;
  std::int64_t next_;
  std::int64_t largest_;
  std::int64_t number_ = 0;
};

}  // namespace tarnwick
