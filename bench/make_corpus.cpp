// Writes a deterministic benchmark corpus: lines of mixed lengths ended by CR LF, some blank,
// some made of spaces only, some padded with spaces, with GBK-style bytes 0x80 and up.
// With --no-cr it writes one single line instead: no CR at all, lone LFs and spaces inside.
// With --utf16le it writes an existing corpus again as UTF-16 LE with its mark, each byte
// one unit: the same lines, spaces and line ends in twice the bytes.
//   tarnwick-bench-corpus OUTPUT SIZE_IN_BYTES [--no-cr]
//   tarnwick-bench-corpus --utf16le SOURCE OUTPUT
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Small fast generator (splitmix64) with a fixed seed, so every run writes the same bytes.
struct Random {
  std::uint64_t state = 0x5441524E5749434BULL;
  std::uint64_t Next() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  std::uint32_t Below(std::uint32_t bound) { return static_cast<std::uint32_t>(Next() % bound); }
};

// A pool of line content: ASCII words, double-byte characters (lead 0x81..0xFE, trail
// 0x40..0xFE) and the odd tab, separated by single spaces. Lines are slices of it.
std::string MakePool(Random& random, std::size_t size, bool with_lf) {
  std::string pool;
  pool.reserve(size + 64);
  while (pool.size() < size) {
    const std::uint32_t kind = random.Below(10);
    const std::uint32_t length = 1 + random.Below(8);
    for (std::uint32_t i = 0; i < length; ++i) {
      if (kind < 6) {
        pool += static_cast<char>('a' + random.Below(26));
      } else if (kind < 9) {
        pool += static_cast<char>(0x81 + random.Below(0x7E));
        std::uint32_t trail = 0x40 + random.Below(0xBF);
        if (trail == 0x7F) trail = 0x80;
        pool += static_cast<char>(trail);
      } else {
        pool += static_cast<char>('0' + random.Below(10));
      }
    }
    const std::uint32_t gap = random.Below(40);
    pool += gap == 0 ? '\t' : (with_lf && gap == 1 ? '\n' : ' ');
  }
  return pool;
}

// Length of a line's content: mostly short, some medium, a few long (about 80 bytes average).
std::size_t LineLength(Random& random) {
  const std::uint32_t r = random.Below(100);
  if (r < 65) return 1 + random.Below(60);
  if (r < 95) return 60 + random.Below(100);
  return 160 + random.Below(840);
}

}  // namespace

// Writes `source` as UTF-16 LE with the mark, each byte widened to a unit.
int WidenToUtf16(const char* source, const char* output) {
  std::FILE* in = std::fopen(source, "rb");
  std::FILE* out = in != nullptr ? std::fopen(output, "wb") : nullptr;
  if (out == nullptr) {
    std::perror(in == nullptr ? source : output);
    if (in != nullptr) std::fclose(in);
    return 1;
  }
  std::fwrite("\xFF\xFE", 1, 2, out);
  std::vector<unsigned char> bytes(1 << 20);
  std::vector<unsigned char> units(2 << 20);
  std::size_t count;
  while ((count = std::fread(bytes.data(), 1, bytes.size(), in)) > 0) {
    for (std::size_t i = 0; i < count; ++i) {
      units[2 * i] = bytes[i];
      units[2 * i + 1] = 0;
    }
    std::fwrite(units.data(), 1, 2 * count, out);
  }
  std::fclose(in);
  if (std::fclose(out) != 0) {
    std::perror(output);
    return 1;
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--utf16le") == 0) return WidenToUtf16(argv[2], argv[3]);
  if (argc < 3) {
    std::fprintf(stderr, "usage: tarnwick-bench-corpus OUTPUT SIZE_IN_BYTES [--no-cr]\n");
    return 2;
  }
  const std::uint64_t target = std::strtoull(argv[2], nullptr, 10);
  const bool no_cr = argc > 3 && std::strcmp(argv[3], "--no-cr") == 0;
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  Random random;
  const std::string pool = MakePool(random, 1 << 20, no_cr);
  std::vector<char> chunk;
  chunk.reserve(1 << 20);
  std::uint64_t written = 0;
  auto emit = [&](const char* data, std::size_t size) {
    chunk.insert(chunk.end(), data, data + size);
    if (chunk.size() >= (1 << 20) - 4096) {
      std::fwrite(chunk.data(), 1, chunk.size(), out);
      written += chunk.size();
      chunk.clear();
    }
  };
  while (written + chunk.size() < target) {
    if (no_cr) {
      const std::size_t start = random.Below(static_cast<std::uint32_t>(pool.size() - 4096));
      emit(pool.data() + start, 4096);
      continue;
    }
    const std::uint32_t kind = random.Below(100);
    if (kind < 5) {  // empty line
      emit("\r\n", 2);
      continue;
    }
    if (kind < 8) {  // spaces only
      emit("        ", 1 + random.Below(8));
      emit("\r\n", 2);
      continue;
    }
    if (kind < 20) emit("    ", 1 + random.Below(4));  // leading spaces
    const std::size_t length = LineLength(random);
    const std::size_t start = random.Below(static_cast<std::uint32_t>(pool.size() - length));
    char line[1024];
    std::memcpy(line, pool.data() + start, length);
    if (line[0] == ' ') line[0] = 'x';
    if (line[length - 1] == ' ') line[length - 1] = 'y';
    emit(line, length);
    if (kind >= 14 && kind < 24) emit("    ", 1 + random.Below(4));  // trailing spaces
    emit("\r\n", 2);
  }
  // Cut to the exact size; the last line may be left without its terminator.
  const std::uint64_t rest = target - written;
  std::fwrite(chunk.data(), 1, static_cast<std::size_t>(rest), out);
  if (std::fclose(out) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
