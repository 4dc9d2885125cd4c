// A small reference model of the split rules for sources of 16-bit units and sources with
// a byte-order mark, written directly from the rules (unit by unit, no buffers).
#pragma once

#include <string>
#include <vector>

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

// The lines of the source after the mark, trimmed of space units, blank ones dropped. A
// final odd byte of 16-bit units is the last character of the last line.
inline std::vector<std::string> UnitReferenceLines(const std::string& source,
                                                   const UnitModel& model) {
  std::string body = source.starts_with(model.mark) ? source.substr(model.mark.size()) : source;
  std::string tail;
  if (model.unit == 2 && body.size() % 2 == 1) {
    tail = body.substr(body.size() - 1);
    body.pop_back();
  }
  std::vector<std::string> units;
  for (std::size_t i = 0; i < body.size(); i += model.unit)
    units.push_back(body.substr(i, model.unit));
  const std::string cr = model.Unit('\r'), lf = model.Unit('\n'), space = model.Unit(' ');
  std::vector<std::string> lines;
  std::vector<std::string> line;
  auto finish = [&] {
    std::size_t first = 0, last = line.size();
    while (first < last && line[first] == space) ++first;
    while (last > first && line[last - 1] == space) --last;
    std::string text;
    for (std::size_t k = first; k < last; ++k) text += line[k];
    if (!text.empty()) lines.push_back(text);
    line.clear();
  };
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (units[i] == cr) {
      finish();
      if (i + 1 < units.size() && units[i + 1] == lf) ++i;
    } else {
      line.push_back(units[i]);
    }
  }
  if (!tail.empty()) line.push_back(tail);
  finish();
  return lines;
}

// The model's files for N >= 1 in an empty folder: each starts with the mark and holds N
// lines ended by CR LF units; one more file (holding only the mark) follows the last full one.
inline std::vector<std::string> UnitReferenceFiles(const std::string& source, int n,
                                                   const UnitModel& model) {
  const std::string line_end = model.Unit('\r') + model.Unit('\n');
  std::vector<std::string> files(1, model.mark);
  int lines_in_file = 0;
  for (const std::string& line : UnitReferenceLines(source, model)) {
    files.back() += line + line_end;
    if (++lines_in_file == n) {
      files.push_back(model.mark);
      lines_in_file = 0;
    }
  }
  return files;
}

}  // namespace tarnwick::testing
