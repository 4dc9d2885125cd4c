// Numeric value of a text, plain decimal rendering of a number, trimming of plain spaces.
#include "splitter/text_value.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace tarnwick {
namespace {

// Blanks are skipped anywhere inside the number: space, tab and line feed.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

double NumericValue(std::string_view text) {
  std::size_t i = 0;
  auto skip_blanks = [&] {
    while (i < text.size() && IsBlank(text[i])) ++i;
  };
  skip_blanks();
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  // Gather the digits and the decimal point without the blanks between them.
  std::string number;
  bool seen_point = false;
  bool seen_digit = false;
  bool nonzero_whole_part = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      seen_digit = true;
      if (!seen_point && c != '0') nonzero_whole_part = true;
      number += c;
    } else if (c == '.' && !seen_point) {
      seen_point = true;
      number += c;
    } else if (!IsBlank(c)) {
      break;
    }
  }
  if (!seen_digit) return 0.0;
  double value = 0.0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value,
                                      std::chars_format::fixed);
  if (result.ec == std::errc::result_out_of_range) {
    value = nonzero_whole_part ? std::numeric_limits<double>::infinity() : 0.0;
  }
  // Adding 0.0 turns a negative zero into a plain zero.
  return (negative ? -value : value) + 0.0;
}

std::string RenderNumber(double value) {
  // No text reads back as NaN; a value too large to hold is shown as the largest one that
  // can be held, which reads back as itself (never "inf" or "nan").
  if (std::isnan(value) || value == 0.0) return "0";
  if (std::isinf(value)) value = std::copysign(std::numeric_limits<double>::max(), value);
  // Fixed notation, shortest digits that read back as the same value: 2.5 -> "2.5".
  char buffer[400];
  const auto result =
      std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed);
  return std::string(buffer, result.ptr);
}

std::string_view TrimSpaces(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

}  // namespace tarnwick
