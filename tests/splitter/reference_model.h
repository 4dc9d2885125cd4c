// A small reference model of the split rules, for comparing the job's output with.
#pragma once

#include <string>
#include <vector>

namespace tarnwick::testing {

// The reference model: the trimmed non-blank lines of a source.
inline std::vector<std::string> ReferenceLines(const std::string& source) {
  std::vector<std::string> lines;
  std::string line;
  auto finish = [&] {
    const std::size_t first = line.find_first_not_of(' ');
    if (first != std::string::npos) {
      lines.push_back(line.substr(first, line.find_last_not_of(' ') - first + 1));
    }
    line.clear();
  };
  for (std::size_t i = 0; i < source.size(); ++i) {
    if (source[i] == '\r') {
      finish();
      if (i + 1 < source.size() && source[i + 1] == '\n') ++i;
    } else {
      line += source[i];
    }
  }
  finish();
  return lines;
}

// The reference model's files for a whole number N >= 1: N lines each, and one more
// (possibly empty) file after the last full one.
inline std::vector<std::string> ReferenceFiles(const std::string& source, int n) {
  std::vector<std::string> files(1);
  int lines_in_file = 0;
  for (const std::string& line : ReferenceLines(source)) {
    files.back() += line + "\r\n";
    if (++lines_in_file == n) {
      files.emplace_back();
      lines_in_file = 0;
    }
  }
  return files;
}

}  // namespace tarnwick::testing
