// A small reference model of the split rules, written directly from them (unit by unit,
// no buffers), for comparing the job's output with: the line-end rule, trimming or keeping,
// the header, and where files end (lines, bytes, parts), for bytes and 16-bit units.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "splitter/split_job.h"

namespace tarnwick::testing {

// How the model reads a source: unit size, byte order and the mark.
struct UnitModel {
  int unit = 1;  // 1 (bytes) or 2 (16-bit units)
  bool big_endian = false;
  std::string mark;  // "" for ANSI

  // The unit holding the character `c` (below 256) in this byte order.
  std::string Unit(char c) const {
    if (unit == 1) return std::string(1, c);
    return big_endian ? std::string{'\0', c} : std::string{c, '\0'};
  }
};

// What the job is asked to do, as the model sees it.
struct ModelSplit {
  int n = 1000;  // lines per file (a whole number >= 1)
  LineEnds rule = LineEnds::kAuto;
  bool keep = false;
  std::optional<int> header = std::nullopt;
  CutBy cut = CutBy::kLines;
  std::uint64_t max_bytes = 0;
  int parts = 0;
};

// A line as the job writes it, and the offset of its first byte in the source.
struct ModelLine {
  std::string bytes;
  std::uint64_t offset;
};

// A final odd byte of 16-bit units: no line, it ends the last file ("" when none).
inline std::string ModelOddTail(const std::string& source, const UnitModel& model) {
  const std::size_t skip = source.starts_with(model.mark) ? model.mark.size() : 0;
  return model.unit == 2 && (source.size() - skip) % 2 == 1 ? source.substr(source.size() - 1)
                                                            : std::string();
}

// The lines the job writes: trimmed of space units with blank ones dropped and CR LF
// units appended, or kept as they are. A final odd byte of 16-bit units is no part of them.
inline std::vector<ModelLine> ModelLines(const std::string& source, const UnitModel& model,
                                         LineEnds rule, bool keep) {
  const std::size_t skip = source.starts_with(model.mark) ? model.mark.size() : 0;
  std::string body = source.substr(skip);
  if (model.unit == 2 && body.size() % 2 == 1) body.pop_back();
  std::vector<std::string> units;
  for (std::size_t i = 0; i < body.size(); i += model.unit) {
    units.push_back(body.substr(i, model.unit));
  }
  const std::string cr = model.Unit('\r'), lf = model.Unit('\n'), space = model.Unit(' ');
  if (rule == LineEnds::kAuto) {
    const auto first = std::find_if(units.begin(), units.end(),
                                    [&](const std::string& u) { return u == cr || u == lf; });
    rule = first != units.end() && *first == lf ? LineEnds::kAny : LineEnds::kCr;
  }
  std::vector<ModelLine> lines;
  auto add = [&](std::size_t start, std::size_t end, std::size_t after) {
    std::vector<std::string> line(units.begin() + start, units.begin() + (keep ? after : end));
    std::size_t first = 0, last = line.size();
    if (!keep) {
      while (first < last && line[first] == space) ++first;
      while (last > first && line[last - 1] == space) --last;
    }
    std::string text;
    for (std::size_t k = first; k < last; ++k) text += line[k];
    if (keep || !text.empty()) {
      lines.push_back({keep ? text : text + cr + lf, skip + start * model.unit});
    }
  };
  std::size_t start = 0;
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (units[i] == cr || (rule == LineEnds::kAny && units[i] == lf)) {
      const std::size_t after =
          units[i] == cr && i + 1 < units.size() && units[i + 1] == lf ? i + 2 : i + 1;
      add(start, i, after);
      start = i = after;
      --i;
    }
  }
  if (start < units.size()) add(start, units.size(), units.size());
  return lines;
}

// How the model says the job ends: refused (no file) when the mark and header leave no
// room within a size for the shortest line (a unit and CR LF trimmed, a unit kept).
inline SplitOutcome ModelOutcome(const std::string& source, const UnitModel& model,
                                 const ModelSplit& split) {
  if (split.cut != CutBy::kBytes || split.header.value_or(0) == 0) return SplitOutcome::kFinished;
  const std::vector<ModelLine> lines = ModelLines(source, model, split.rule, split.keep);
  std::string prologue = model.mark;
  for (std::size_t i = 0; i < lines.size() && i < static_cast<std::size_t>(*split.header); ++i) {
    prologue += lines[i].bytes;
  }
  const std::size_t shortest = (split.keep ? 1 : 3) * static_cast<std::size_t>(model.unit);
  const bool refused =
      prologue.size() > model.mark.size() && prologue.size() + shortest > split.max_bytes;
  return refused ? SplitOutcome::kFailed : SplitOutcome::kFinished;
}

// The model's files in an empty folder, in number order: each starts with the mark and the
// header; a source that is only its header gives one file holding it. Split by lines in
// the classic way, one more file follows the last full one. A final odd byte ends the last
// file (with a size limit, as a line of one byte).
// With `ends`, for each file its sizes at the line boundaries: after the mark and header
// (index 0), then after each of its lines (index k: k lines).
inline std::vector<std::string> ModelFiles(const std::string& source, const UnitModel& model,
                                           const ModelSplit& split,
                                           std::vector<std::vector<std::size_t>>* ends = nullptr) {
  std::vector<ModelLine> lines = ModelLines(source, model, split.rule, split.keep);
  std::string prologue = model.mark;
  const std::size_t header =
      std::min<std::size_t>(lines.size(), static_cast<std::size_t>(split.header.value_or(0)));
  for (std::size_t i = 0; i < header; ++i) prologue += lines[i].bytes;
  lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(header));

  std::vector<std::string> files;
  // A header that leaves no room for a line within a size is refused: no file at all.
  if (ModelOutcome(source, model, split) == SplitOutcome::kFailed) return files;
  const auto add = [&](std::size_t file, const std::string& bytes) {
    files[file] += bytes;
    if (ends != nullptr) (*ends)[file].push_back(files[file].size());
  };
  const auto begin = [&] {
    files.push_back({});
    if (ends != nullptr) ends->push_back({});
    add(files.size() - 1, prologue);
  };
  const std::string odd = ModelOddTail(source, model);
  if (split.cut == CutBy::kParts) {
    for (int part = 0; part < split.parts; ++part) begin();
    for (const ModelLine& line : lines) {
      const std::uint64_t part = line.offset * split.parts / source.size();
      add(std::min<std::uint64_t>(part, split.parts - 1), line.bytes);
    }
    files.back() += odd;
    return files;
  }
  const bool classic = split.cut == CutBy::kLines && !split.keep && split.header.value_or(0) == 0;
  if (classic) begin();
  int in_file = 0;
  for (const ModelLine& line : lines) {
    const bool full =
        split.cut == CutBy::kLines
            ? in_file == split.n
            : !files.empty() && files.back().size() + line.bytes.size() > split.max_bytes;
    if (files.empty() || (!classic && in_file > 0 && full)) {
      begin();
      in_file = 0;
    }
    add(files.size() - 1, line.bytes);
    if (classic && ++in_file == split.n) {
      begin();
      in_file = 0;
    } else if (!classic) {
      ++in_file;
    }
  }
  const bool full = split.cut == CutBy::kLines
                        ? !classic && in_file == split.n
                        : !files.empty() && files.back().size() + odd.size() > split.max_bytes;
  if (files.empty() ? !odd.empty() || header > 0 : !odd.empty() && in_file > 0 && full) begin();
  if (!files.empty()) files.back() += odd;
  return files;
}

// The job's options for what the model is asked (N goes to the host).
inline SplitOptions WithModelSplit(SplitOptions options, const ModelSplit& split) {
  options.line_ends = split.rule;
  options.keep_lines = split.keep;
  options.header_lines = split.header;
  options.cut_by = split.cut;
  options.max_file_bytes = split.max_bytes;
  options.parts = split.parts;
  return options;
}

// A table of ways to split, one of each rule, shaping and cut, and some together.
inline std::vector<ModelSplit> SplitTable() {
  using enum LineEnds;
  return {
      {.n = 1, .rule = kAuto},
      {.n = 2, .rule = kCr},
      {.n = 3, .rule = kAny},
      {.n = 2, .rule = kAuto, .keep = true},
      {.n = 3, .rule = kAuto, .header = 1},
      {.n = 1, .rule = kAny, .keep = true, .header = 2},
      {.n = 0, .cut = CutBy::kBytes, .max_bytes = 14},
      {.n = 0, .rule = kAny, .keep = true, .header = 1, .cut = CutBy::kBytes, .max_bytes = 1},
      {.n = 0, .rule = kCr, .keep = true, .cut = CutBy::kBytes, .max_bytes = 30},
      {.n = 0, .cut = CutBy::kParts, .parts = 3},
      {.n = 0, .rule = kAny, .keep = true, .header = 1, .cut = CutBy::kParts, .parts = 9},
  };
}

// The classic split of an ANSI source into files of N lines.
inline std::vector<std::string> ReferenceFiles(const std::string& source, int n) {
  return ModelFiles(source, UnitModel{}, ModelSplit{.n = n});
}

// The same for a source of any encoding.
inline std::vector<std::string> UnitReferenceFiles(const std::string& source, int n,
                                                   const UnitModel& model) {
  return ModelFiles(source, model, ModelSplit{.n = n});
}

}  // namespace tarnwick::testing
