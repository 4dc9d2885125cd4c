// Lists where the line ends of a block are (its CRs, or its CRs and LFs), so the line loop
// takes each line end from the list instead of searching for it (which would cost a
// library call and a hard-to-predict branch per line).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnwick {

// Bytes past the end of a block that the listing may read (they must be readable).
inline constexpr std::size_t kLineEndListSlack = 64;

// Entries past the count of bytes that the listing may write (the list needs room for
// count + kLineEndListExtra entries).
inline constexpr std::size_t kLineEndListExtra = 4;

// Writes the offsets of the CRs among `count` bytes into `out`; returns how many there
// are. Uses the fastest variant available.
std::size_t ListCrs(const char* bytes, std::size_t count, std::uint32_t* out);

// The variant for any processor (SSE2 on x86-64, a plain loop elsewhere).
std::size_t ListCrsPortable(const char* bytes, std::size_t count, std::uint32_t* out);

// The same for 16-bit units: the byte offsets of the units 000D among `count` bytes
// (a whole number of units) stored little-endian or big-endian. A byte 0D of any other
// unit is not listed.
std::size_t ListCrUnitsLe(const char* bytes, std::size_t count, std::uint32_t* out);
std::size_t ListCrUnitsBe(const char* bytes, std::size_t count, std::uint32_t* out);

// The same listings of every line-end unit, CR or LF, for sources whose lines may also end
// at a lone LF.
std::size_t ListLineEnds(const char* bytes, std::size_t count, std::uint32_t* out);
std::size_t ListLineEndsPortable(const char* bytes, std::size_t count, std::uint32_t* out);
std::size_t ListLineEndUnitsLe(const char* bytes, std::size_t count, std::uint32_t* out);
std::size_t ListLineEndUnitsBe(const char* bytes, std::size_t count, std::uint32_t* out);

// Whether the processor runs the AVX2 variant, which ListCrs then uses.
bool HasAvx2Listing();

}  // namespace tarnwick
