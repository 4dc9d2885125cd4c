// Text handling shared by the job and the window: numeric value of a text, rendering of
// a number, trimming of plain spaces.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// Value of the number at the start of the text: an optional sign, digits and one "." as
// decimal point, blanks (space, tab, line feed) ignored anywhere; 0 when the text does not
// start with a number. "0012abc" -> 12, "  7.5x" -> 7.5, "-3" -> -3, "abc" -> 0.
double NumericValue(std::string_view text);

// Plain decimal rendering (no exponent), the shortest digits that read back as the same
// value; whole numbers without a decimal point. 1000 -> "1000", 2.5 -> "2.5". Infinity is
// rendered as the largest finite value (its 309 digits), NaN as "0".
std::string RenderNumber(double value);

// Removes the space character (U+0020 only) at both ends.
std::string_view TrimSpaces(std::string_view text);

}  // namespace tarnwick
