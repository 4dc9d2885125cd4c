// The CR listing, portable and AVX2 variants, against a plain search: every length of the
// last 64-byte piece, sparse and dense CRs, and bytes past the end that must be ignored.
#include "splitter/cr_list.h"

#include <gtest/gtest.h>

#include <random>
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

TEST(CrList, ListsEveryCrAndNothingElse) {
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
      std::vector<char> bytes(count + kCrListSlack);
      for (char& c : bytes) {
        c = static_cast<int>(random() % 100) < density ? "\r\n"[random() % 2] : 'x';
      }
      std::vector<std::uint32_t> list(count + kCrListExtra);
      for (const auto& [lister, lf] : kListers) {
        const std::vector<std::uint32_t> expected = PlainSearch(bytes, count, lf);
        const std::size_t found = lister(bytes.data(), count, list.data());
        ASSERT_EQ(std::vector<std::uint32_t>(list.begin(), list.begin() + found), expected)
            << "count " << count << " density " << density << " lf " << lf;
      }
    }
  }
}

TEST(CrList, ListsTheCrUnitsOfUtf16InEitherByteOrder) {
  // Units 000D only, at even offsets: not a 0D byte of another unit (0D0A, 200D, 0D00),
  // not a 0D 00 pair that straddles two units, not a unit past the end.
  std::mt19937 random(7);
  const char16_t alphabet[] = {'\r', 'x', 0x0D0A, 0x200D, 0x0D00, 0x0A0D, '\n', 0x0A00};
  for (const bool lf : {false, true})
    for (const bool big_endian : {false, true}) {
      for (std::size_t units = 0; units <= 150; ++units) {
        std::vector<char> bytes(2 * units + kCrListSlack, '\r');
        std::vector<std::uint32_t> expected;
        for (std::size_t i = 0; i < units; ++i) {
          const char16_t unit = alphabet[random() % 8];
          bytes[2 * i + (big_endian ? 1 : 0)] = static_cast<char>(unit & 0xFF);
          bytes[2 * i + (big_endian ? 0 : 1)] = static_cast<char>(unit >> 8);
          if (unit == '\r' || (lf && unit == '\n')) {
            expected.push_back(static_cast<std::uint32_t>(2 * i));
          }
        }
        std::vector<std::uint32_t> list(2 * units + kCrListExtra);
        const auto lister = big_endian ? (lf ? ListLineEndUnitsBe : ListCrUnitsBe)
                                       : (lf ? ListLineEndUnitsLe : ListCrUnitsLe);
        const std::size_t found = lister(bytes.data(), 2 * units, list.data());
        ASSERT_EQ(std::vector<std::uint32_t>(list.begin(), list.begin() + found), expected)
            << "units " << units << " big-endian " << big_endian << " lf " << lf;
      }
    }
}

}  // namespace
}  // namespace tarnwick
