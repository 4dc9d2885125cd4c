// The line rules of the split job, each written once: the code units of a source, which
// units end a line and where the next line starts, and which units the trim removes. The
// line loop, the long-line path, the cutter's look-ahead and the output's re-reading of a
// write that failed part way all use these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "splitter/line_end_list.h"

namespace tarnwick {

// A code unit of a source: a byte (ANSI and UTF-8).
struct ByteUnits {
  static constexpr std::size_t kSize = 1;
  static constexpr std::string_view kCrLf{"\r\n", 2};
  static constexpr std::string_view kSpace{" ", 1};
  // Whether the unit at `unit` is the character `ascii` (below 0x80).
  static bool Is(const char* unit, char ascii) { return *unit == ascii; }
  static std::size_t ListCrs(const char* bytes, std::size_t count, std::uint32_t* out) {
    return tarnwick::ListCrs(bytes, count, out);
  }
  static std::size_t ListLineEnds(const char* bytes, std::size_t count, std::uint32_t* out) {
    return tarnwick::ListLineEnds(bytes, count, out);
  }
};

// A 16-bit code unit in either byte order (UTF-16 LE and BE).
template <bool kBigEndian>
struct Utf16Units {
  static constexpr std::size_t kSize = 2;
  static constexpr std::string_view kCrLf =
      kBigEndian ? std::string_view("\0\r\0\n", 4) : std::string_view("\r\0\n\0", 4);
  static constexpr std::string_view kSpace =
      kBigEndian ? std::string_view("\0 ", 2) : std::string_view(" \0", 2);
  // Whether the unit is U+00xx with xx = `ascii` (both bytes compared at once).
  static bool Is(const char* unit, char ascii) {
    const char expected[2] = {kBigEndian ? '\0' : ascii, kBigEndian ? ascii : '\0'};
    std::uint16_t value;
    std::uint16_t wanted;
    std::memcpy(&value, unit, 2);
    std::memcpy(&wanted, expected, 2);
    return value == wanted;
  }
  static std::size_t ListCrs(const char* bytes, std::size_t count, std::uint32_t* out) {
    return kBigEndian ? ListCrUnitsBe(bytes, count, out) : ListCrUnitsLe(bytes, count, out);
  }
  static std::size_t ListLineEnds(const char* bytes, std::size_t count, std::uint32_t* out) {
    return kBigEndian ? ListLineEndUnitsBe(bytes, count, out)
                      : ListLineEndUnitsLe(bytes, count, out);
  }
};

// The line-end rule over `Units`: a line ends at CR or CR LF, and with kLfEnds also at a
// lone LF (without it a lone LF is a character of its line). The line end is not part of
// the line; a CR LF is one line end.
template <class UnitsType, bool kLfEnds>
struct LineRule {
  using Units = UnitsType;
  static constexpr std::size_t kUnit = Units::kSize;
  static constexpr bool kAnyEnds = kLfEnds;
  using CrOnly = LineRule<Units, false>;

  static bool IsCr(const char* unit) { return Units::Is(unit, '\r'); }
  static bool IsLf(const char* unit) { return Units::Is(unit, '\n'); }
  // Whether the unit ends a line.
  static bool EndsLine(const char* unit) { return IsCr(unit) || (kLfEnds && IsLf(unit)); }
  // Where the line end at `end` (a unit that EndsLine) ends: past the LF of a CR LF, else
  // past the unit. The unit after a CR must be readable.
  static const char* EndOf(const char* end) {
    const char* after = end + kUnit;
    if ((!kLfEnds || IsCr(end)) && IsLf(after)) after += kUnit;
    return after;
  }
  // Writes the offsets of the line-end units among `count` bytes (whole units) to `out`.
  static std::size_t List(const char* bytes, std::size_t count, std::uint32_t* out) {
    return kLfEnds ? Units::ListLineEnds(bytes, count, out) : Units::ListCrs(bytes, count, out);
  }
};

// The listed line ends of a block, taken in order. A value type: the line loop keeps its
// copy in registers and stores it back when it leaves.
template <class Rule>
struct LineFinder {
  const char* base = nullptr;              // the list's offsets count from here
  const std::uint32_t* offsets = nullptr;  // of the line-end units, ascending
  std::size_t next = 0;                    // the first entry not yet taken
  std::size_t count = 0;                   // entries up to the end of the block

  // The next line end not yet taken, or null when the rest of the block has none.
  const char* Peek() const { return next < count ? base + offsets[next] : nullptr; }
  // Takes the line end at `end` (Peek's) and returns where the next line starts; with LFs
  // listed, the LF of a CR LF has an entry of its own, taken too.
  const char* Take(const char* end) {
    ++next;
    const char* after = Rule::EndOf(end);
    if constexpr (Rule::kAnyEnds) next += after - end > static_cast<std::ptrdiff_t>(Rule::kUnit);
    return after;
  }
};

// The trim rule: the plain space unit (U+0020) only, removed at both ends of a line.
template <class Units>
struct SpaceTrim {
  static constexpr std::size_t kUnit = Units::kSize;
  static bool IsSpace(const char* unit) { return Units::Is(unit, ' '); }
  static const char* SkipLeading(const char* first, const char* last) {
    while (first < last && IsSpace(first)) first += kUnit;
    return first;
  }
  static const char* DropTrailing(const char* first, const char* last) {
    while (last > first && IsSpace(last - kUnit)) last -= kUnit;
    return last;
  }
};

// Of `count` bytes of output text whose lines end under `Rule`: how many from the start
// are whole lines among the first `written` (the rest did not reach the file), and how
// many lines end in them (added to `lines`). `complete` says that the bytes end at a line
// boundary; otherwise more of the text follows, so a CR last of them may still get its LF.
template <class Rule>
std::size_t WholeLinesIn(const char* bytes, std::size_t written, std::size_t count, bool complete,
                         std::int64_t& lines) {
  constexpr std::size_t kUnit = Rule::kUnit;
  std::size_t kept = 0;
  for (std::size_t at = 0; at + kUnit <= written; at += kUnit) {
    if (!Rule::EndsLine(bytes + at)) continue;
    std::size_t after = at + kUnit;
    if (Rule::IsCr(bytes + at)) {
      const bool lf_follows = after + kUnit <= count ? Rule::IsLf(bytes + after) : !complete;
      if (lf_follows) after += kUnit;
    }
    if (after > written) break;
    kept = after;
    ++lines;
    at = after - kUnit;
  }
  return kept;
}

// WholeLinesIn for the rule of an output, chosen by the job's rules.
using WholeLinesFinder = std::size_t (*)(const char* bytes, std::size_t written, std::size_t count,
                                         bool complete, std::int64_t& lines);

}  // namespace tarnwick
