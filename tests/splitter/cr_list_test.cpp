// The CR listing, portable and AVX2 variants, against a plain search: every length of the
// last 64-byte piece, sparse and dense CRs, and bytes past the end that must be ignored.
#include "splitter/cr_list.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace tarnwick {
namespace {

std::vector<std::uint32_t> PlainSearch(const std::vector<char>& bytes, std::size_t count) {
  std::vector<std::uint32_t> offsets;
  for (std::size_t i = 0; i < count; ++i) {
    if (bytes[i] == '\r') offsets.push_back(static_cast<std::uint32_t>(i));
  }
  return offsets;
}

TEST(CrList, ListsEveryCrAndNothingElse) {
  std::mt19937 random(99);
  for (const int density : {0, 2, 20, 50, 100}) {  // percent of bytes that are CRs
    for (std::size_t count = 0; count <= 300; ++count) {
      // CRs also in the slack past the end: they must not be listed.
      std::vector<char> bytes(count + kCrListSlack);
      for (char& c : bytes) c = static_cast<int>(random() % 100) < density ? '\r' : 'x';
      const std::vector<std::uint32_t> expected = PlainSearch(bytes, count);
      std::vector<std::uint32_t> list(count + kCrListExtra);
      // The portable variant, and whatever ListCrs picks (AVX2 where available).
      for (const bool portable : {true, false}) {
        const std::size_t found = portable ? ListCrsPortable(bytes.data(), count, list.data())
                                           : ListCrs(bytes.data(), count, list.data());
        ASSERT_EQ(std::vector<std::uint32_t>(list.begin(), list.begin() + found), expected)
            << "count " << count << " density " << density << " portable " << portable;
      }
    }
  }
}

TEST(CrList, ListsTheCrUnitsOfUtf16InEitherByteOrder) {
  // Units 000D only, at even offsets: not a 0D byte of another unit (0D0A, 200D, 0D00),
  // not a 0D 00 pair that straddles two units, not a unit past the end.
  std::mt19937 random(7);
  const char16_t alphabet[] = {'\r', 'x', 0x0D0A, 0x200D, 0x0D00, 0x0A0D};
  for (const bool big_endian : {false, true}) {
    for (std::size_t units = 0; units <= 150; ++units) {
      std::vector<char> bytes(2 * units + kCrListSlack, '\r');
      std::vector<std::uint32_t> expected;
      for (std::size_t i = 0; i < units; ++i) {
        const char16_t unit = alphabet[random() % 6];
        bytes[2 * i + (big_endian ? 1 : 0)] = static_cast<char>(unit & 0xFF);
        bytes[2 * i + (big_endian ? 0 : 1)] = static_cast<char>(unit >> 8);
        if (unit == '\r') expected.push_back(static_cast<std::uint32_t>(2 * i));
      }
      std::vector<std::uint32_t> list(2 * units + kCrListExtra);
      const std::size_t found = big_endian ? ListCrUnitsBe(bytes.data(), 2 * units, list.data())
                                           : ListCrUnitsLe(bytes.data(), 2 * units, list.data());
      ASSERT_EQ(std::vector<std::uint32_t>(list.begin(), list.begin() + found), expected)
          << "units " << units << " big-endian " << big_endian;
    }
  }
}

}  // namespace
}  // namespace tarnwick
