#include "synth/text_exchange.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

// std::to_chars and std::from_chars never look at the process locale, so a
// user whose locale writes "1,5" still sees and types "1.5".

namespace tq {

namespace {

constexpr int kSignificantDigits = 6;  // "%g" without a precision
constexpr long kExponentLimit = 100000;

bool is_c_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_digit_of(char c, bool hex) {
  if (c >= '0' && c <= '9') return true;
  return hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'));
}

// Magnitude of a matched number in digits of its base (decimal digits, or
// bits for hexadecimal): positive for large values, negative for small
// ones. Only its sign is used, to tell overflow from underflow.
long magnitude_of(std::string_view number, bool hex) {
  std::size_t i = 0;
  long integer_digits = 0;
  long leading_fraction_zeros = 0;
  bool seen_nonzero = false;
  for (; i < number.size() && is_digit_of(number[i], hex); ++i) {
    seen_nonzero = seen_nonzero || number[i] != '0';
    if (seen_nonzero) ++integer_digits;
  }
  if (i < number.size() && number[i] == '.') {
    for (++i; i < number.size() && is_digit_of(number[i], hex); ++i) {
      if (!seen_nonzero && number[i] == '0') ++leading_fraction_zeros;
      seen_nonzero = seen_nonzero || number[i] != '0';
    }
  }
  long exponent = 0;
  if (i + 1 < number.size()) {
    const bool negative = number[i + 1] == '-';
    std::size_t j = i + 1 + ((number[i + 1] == '-' || number[i + 1] == '+') ? 1 : 0);
    for (; j < number.size() && is_digit_of(number[j], false); ++j) {
      exponent = std::min(exponent * 10 + (number[j] - '0'), kExponentLimit);
    }
    if (negative) exponent = -exponent;
  }
  const long order = integer_digits > 0 ? integer_digits : -leading_fraction_zeros;
  return (hex ? order * 4 : order) + exponent;
}

struct Parsed {
  double value;
  bool ok;
};

// Reads an unsigned number at the front of `text` in the given format, the
// way strtod does: out-of-range values become infinity or zero.
Parsed parse_unsigned(std::string_view text, std::chars_format format) {
  if (text.empty() || text.front() == '-') return {0.0, false};
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, format);
  if (error == std::errc::invalid_argument) return {0.0, false};
  if (error == std::errc::result_out_of_range) {
    const std::string_view matched(text.data(), static_cast<std::size_t>(end - text.data()));
    const bool overflow = magnitude_of(matched, format == std::chars_format::hex) > 0;
    value = overflow ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return {value, true};
}

bool has_hex_prefix(std::string_view text) {
  return text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

}  // namespace

std::string format_g(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general,
                                    kSignificantDigits);
  return std::string(text, result.ptr);
}

std::optional<double> scan_lg(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size() && is_c_space(text[start])) ++start;
  text.remove_prefix(start);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  Parsed parsed{0.0, false};
  if (has_hex_prefix(text)) parsed = parse_unsigned(text.substr(2), std::chars_format::hex);
  // "0x" with no hexadecimal digit after it is the number 0.
  if (!parsed.ok) parsed = parse_unsigned(text, std::chars_format::general);
  if (!parsed.ok) return std::nullopt;
  return negative ? -parsed.value : parsed.value;
}

}  // namespace tq
