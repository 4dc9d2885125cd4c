// Names of the output files: a pattern of literal text and fields ({n}, {n:W}, {stem},
// {ext}) turned into a file name for each file number.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

class FileNamer {
 public:
  // The classic names: 1.txt, 2.txt, ...
  FileNamer() : pieces_{{Field::kNumber, {}, 0}, {Field::kText, ".txt", 0}} {}

  // Reads a pattern; on a fault returns nothing and says why in `problem`. A pattern needs
  // {n}, and holds no path separator, no character that Windows forbids in a name
  // (: * ? " < > |) and no control character; a field other than the four is a fault.
  static std::optional<FileNamer> Parse(std::string_view pattern, std::string* problem = nullptr);

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

}  // namespace tarnwick
