// How the split job writes a line: trimmed (the plain spaces at both ends removed, blank
// lines dropped, every line ended by CR LF) or kept as it is, with its own line end. One
// type per way, chosen once per job, for whole lines and for a line written in pieces.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "splitter/line_end.h"

namespace tarnwick {

// What a whole line is written as: `first` to `last`, then CR LF when `crlf`.
struct ShapedLine {
  const char* first;
  const char* last;
  bool crlf;
  bool blank() const { return first == last && !crlf; }
};

// 64 space units of `Units`, appended piece by piece for spaces held back inside a line.
template <class Units>
constexpr auto kSpaceRun = [] {
  std::array<char, 64 * Units::kSize> run{};
  for (std::size_t i = 0; i < run.size(); ++i) run[i] = Units::kSpace[i % Units::kSize];
  return run;
}();

template <class UnitsType>
struct TrimmedLines {
  using Units = UnitsType;
  using Trim = SpaceTrim<Units>;
  static constexpr bool kKeep = false;
  static constexpr std::size_t kUnit = Units::kSize;

  // Whether the line from `begin` to its line end at `end`, the next line starting at
  // `after`, is written as it stands (no space at either end, not blank, ended by CR LF):
  // runs of such lines are copied in one piece.
  static bool Unchanged(const char* begin, const char* end, const char* after) {
    return end != begin && !Trim::IsSpace(begin) && !Trim::IsSpace(end - kUnit) &&
           after != end + kUnit;
  }
  static ShapedLine Whole(const char* begin, const char* end, const char* /*after*/) {
    const char* first = Trim::SkipLeading(begin, end);
    const char* last = Trim::DropTrailing(first, end);
    return {first, last, first != last};
  }

  // A line written in pieces: its leading spaces skipped until its first other unit, its
  // spaces held back as a count until a later unit shows they are inside the line.
  class Pieces {
   public:
    // Where the line's content starts in the piece [p, q).
    const char* ContentStart(const char* p, const char* q) {
      if (started_) return p;
      p = Trim::SkipLeading(p, q);
      started_ = p < q;
      return p;
    }
    // Content without units (a final odd byte): the line has started.
    void StartRaw() { started_ = true; }
    bool started() const { return started_; }
    // The piece's content from `p`, of which the line's end follows `q` when `at_end`.
    template <class Output>
    void Write(Output& output, const char* p, const char* q, const char* /*after*/,
               bool /*at_end*/) {
      const char* last = Trim::DropTrailing(p, q);
      if (last > p) WriteRaw(output, p, static_cast<std::size_t>(last - p));
      held_ += static_cast<std::uint64_t>(q - last);
    }
    template <class Output>
    void WriteRaw(Output& output, const char* p, std::size_t count) {
      if (held_ > 0) {
        const std::string_view run(kSpaceRun<Units>.data(), kSpaceRun<Units>.size());
        output.AppendRepeated(run, held_);
        held_ = 0;
      }
      output.Append(p, count);
    }
    // The line's end: CR LF after its content (the spaces held back were trailing).
    template <class Output>
    void End(Output& output) {
      if (started_) output.Append(Units::kCrLf.data(), Units::kCrLf.size());
    }

   private:
    bool started_ = false;
    std::uint64_t held_ = 0;  // bytes of spaces held back
  };
};

template <class UnitsType>
struct KeptLines {
  using Units = UnitsType;
  static constexpr bool kKeep = true;

  static bool Unchanged(const char*, const char*, const char*) { return true; }
  static ShapedLine Whole(const char* begin, const char* /*end*/, const char* after) {
    return {begin, after, false};
  }

  // A kept line counts from its start, empty or not; its line end is written as it came.
  class Pieces {
   public:
    const char* ContentStart(const char* p, const char*) { return p; }
    void StartRaw() {}
    bool started() const { return true; }
    template <class Output>
    void Write(Output& output, const char* p, const char* q, const char* after, bool at_end) {
      WriteRaw(output, p, static_cast<std::size_t>((at_end ? after : q) - p));
    }
    template <class Output>
    void WriteRaw(Output& output, const char* p, std::size_t count) {
      output.Append(p, count);
    }
    template <class Output>
    void End(Output&) {}
  };
};

}  // namespace tarnwick
