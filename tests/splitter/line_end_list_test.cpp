// The line-end listing, portable and AVX2 variants, against a plain search: every length of the
// last 64-byte piece, sparse and dense CRs, and bytes past the end that must be ignored. Then
// the line-end rules on their own: where each line ends and the next starts, and which bytes
// of a written piece are whole lines.
#include "splitter/line_end_list.h"

#include "splitter/line_end.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace tarnwick {
namespace {

std::vector<std::uint32_t> PlainSearch(const std::vector<char>& bytes, std::size_t count, bool lf) {
  std::vector<std::uint32_t> offsets;
  for (std::size_t i = 0; i < count; ++i) {
    if (bytes[i] == '\r' || (lf && bytes[i] == '\n')) {
      offsets.push_back(static_cast<std::uint32_t>(i));
    }
  }
  return offsets;
}

TEST(LineEndList, ListsEveryCrAndNothingElse) {
  using Lister = std::size_t (*)(const char*, std::size_t, std::uint32_t*);
  // The portable variants, and whatever the plain names pick (AVX2 where available); CRs
  // only, or CRs and LFs.
  const struct {
    Lister list;
    bool lf;
  } kListers[] = {{ListCrsPortable, false},
                  {ListCrs, false},
                  {ListLineEndsPortable, true},
                  {ListLineEnds, true}};
  std::mt19937 random(99);
  for (const int density : {0, 2, 20, 50, 100}) {  // percent of bytes that are CRs or LFs
    for (std::size_t count = 0; count <= 300; ++count) {
      // CRs also in the slack past the end: they must not be listed.
      std::vector<char> bytes(count + kLineEndListSlack);
      for (char& c : bytes) {
        c = static_cast<int>(random() % 100) < density ? "\r\n"[random() % 2] : 'x';
      }
      std::vector<std::uint32_t> list(count + kLineEndListExtra);
      for (const auto& [lister, lf] : kListers) {
        const std::vector<std::uint32_t> expected = PlainSearch(bytes, count, lf);
        const std::size_t found = lister(bytes.data(), count, list.data());
        ASSERT_EQ(std::vector<std::uint32_t>(list.begin(), list.begin() + found), expected)
            << "count " << count << " density " << density << " lf " << lf;
      }
    }
  }
}

TEST(LineEndList, ListsTheCrUnitsOfUtf16InEitherByteOrder) {
  // Units 000D only, at even offsets: not a 0D byte of another unit (0D0A, 200D, 0D00),
  // not a 0D 00 pair that straddles two units, not a unit past the end.
  std::mt19937 random(7);
  const char16_t alphabet[] = {'\r', 'x', 0x0D0A, 0x200D, 0x0D00, 0x0A0D, '\n', 0x0A00};
  for (const bool lf : {false, true})
    for (const bool big_endian : {false, true}) {
      for (std::size_t units = 0; units <= 150; ++units) {
        std::vector<char> bytes(2 * units + kLineEndListSlack, '\r');
        std::vector<std::uint32_t> expected;
        for (std::size_t i = 0; i < units; ++i) {
          const char16_t unit = alphabet[random() % 8];
          bytes[2 * i + (big_endian ? 1 : 0)] = static_cast<char>(unit & 0xFF);
          bytes[2 * i + (big_endian ? 0 : 1)] = static_cast<char>(unit >> 8);
          if (unit == '\r' || (lf && unit == '\n')) {
            expected.push_back(static_cast<std::uint32_t>(2 * i));
          }
        }
        std::vector<std::uint32_t> list(2 * units + kLineEndListExtra);
        const auto lister = big_endian ? (lf ? ListLineEndUnitsBe : ListCrUnitsBe)
                                       : (lf ? ListLineEndUnitsLe : ListCrUnitsLe);
        const std::size_t found = lister(bytes.data(), 2 * units, list.data());
        ASSERT_EQ(std::vector<std::uint32_t>(list.begin(), list.begin() + found), expected)
            << "units " << units << " big-endian " << big_endian << " lf " << lf;
      }
    }
}

// The unit of `c` in `Units`' byte order.
template <class Units>
std::string Wide(char c) {
  const bool big_endian = Units::kCrLf.front() == '\0';
  return big_endian ? std::string{'\0', c} : std::string{c, '\0'};
}

// Each line of `text` as the finder takes it under `Rule`: its bytes, '|', its line end.
template <class Rule, class Units>
std::vector<std::string> FoundLines(const std::string& text) {
  std::string bytes;
  for (const char c : text) bytes += Units::kSize == 1 ? std::string(1, c) : Wide<Units>(c);
  const std::size_t size = bytes.size();
  bytes.append(kLineEndListSlack, '\0');  // the unit after a final CR reads as no LF
  std::vector<std::uint32_t> list(size + kLineEndListExtra);
  const std::size_t count = Rule::List(bytes.data(), size, list.data());
  LineFinder<Rule> finder{bytes.data(), list.data(), 0, count};
  std::vector<std::string> lines;
  const auto narrow = [&](const char* from, const char* to) {
    std::string text;
    for (; from < to; from += Units::kSize) text += from[Units::kSize == 2 && from[0] == 0 ? 1 : 0];
    return text;
  };
  for (const char* start = bytes.data(); const char* end = finder.Peek();) {
    const char* after = finder.Take(end);
    lines.push_back(narrow(start, end) + "|" + narrow(end, after));
    start = after;
  }
  return lines;
}

TEST(LineRules, EachLineEndsByItsRule) {
  // CR and CR LF end a line under both rules, a lone LF only under the LF rule; LF CR is
  // two line ends; a CR LF's LF is never a line of its own.
  struct Case {
    std::string text;
    std::vector<std::string> cr_rule;
    std::vector<std::string> any_rule;
  };
  const Case cases[] = {
      {"a\r\nb\rc", {"a|\r\n", "b|\r"}, {"a|\r\n", "b|\r"}},
      {"a\nb\r\n", {"a\nb|\r\n"}, {"a|\n", "b|\r\n"}},
      {"\n\r\r\n\n", {"\n|\r", "|\r\n"}, {"|\n", "|\r", "|\r\n", "|\n"}},
      {"x\r", {"x|\r"}, {"x|\r"}},
      {"a\n\nb", {}, {"a|\n", "|\n"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ((FoundLines<LineRule<ByteUnits, false>, ByteUnits>(c.text)), c.cr_rule) << c.text;
    EXPECT_EQ((FoundLines<LineRule<ByteUnits, true>, ByteUnits>(c.text)), c.any_rule) << c.text;
    using Le = Utf16Units<false>;
    using Be = Utf16Units<true>;
    EXPECT_EQ((FoundLines<LineRule<Le, false>, Le>(c.text)), c.cr_rule) << c.text;
    EXPECT_EQ((FoundLines<LineRule<Be, true>, Be>(c.text)), c.any_rule) << c.text;
  }
}

TEST(LineRules, WholeLinesOfAPieceWrittenPartWay) {
  // Of `written` bytes that reached a file: the whole lines, and how many. A CR last of them
  // is a whole line only when the piece shows no LF follows.
  struct Case {
    std::string piece;
    std::size_t written;
    bool complete;
    bool lf_ends;
    std::size_t kept;
    std::int64_t lines;
  };
  const Case cases[] = {
      {"ab\r\ncd\r\n", 8, true, false, 8, 2}, {"ab\r\ncd\r\n", 7, true, false, 4, 1},
      {"ab\r\ncd\r\n", 3, true, false, 0, 0}, {"a\rb\r", 4, true, false, 4, 2},
      {"a\rb\r", 4, false, false, 2, 1},      {"a\rb\r\n", 4, true, false, 2, 1},
      {"a\nb\n", 4, true, false, 0, 0},       {"a\nb\n", 3, true, true, 2, 1},
  };
  for (const Case& c : cases) {
    std::int64_t lines = 0;
    const auto whole = c.lf_ends ? &WholeLinesIn<LineRule<ByteUnits, true>>
                                 : &WholeLinesIn<LineRule<ByteUnits, false>>;
    EXPECT_EQ(whole(c.piece.data(), c.written, c.piece.size(), c.complete, lines), c.kept)
        << c.piece << " " << c.written;
    EXPECT_EQ(lines, c.lines) << c.piece << " " << c.written;
  }
}

}  // namespace
}  // namespace tarnwick
