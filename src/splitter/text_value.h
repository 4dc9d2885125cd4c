// Text handling shared by the job and the window: numeric value of a text, rendering of
// a number, trimming of plain spaces.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// Value of the number at the start of the text (blanks ignored, "." as decimal point);
// 0 when the text does not start with a number. "0012abc" -> 12, "  7.5x" -> 7.5.
double NumericValue(std::string_view text);

// Plain decimal rendering; whole numbers without a decimal point. 1000 -> "1000".
std::string RenderNumber(double value);

// Removes the space character (U+0020 only) at both ends.
std::string_view TrimSpaces(std::string_view text);

}  // namespace tarnwick
