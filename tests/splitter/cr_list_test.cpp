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

}  // namespace
}  // namespace tarnwick
