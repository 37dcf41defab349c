#include "core/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <system_error>

#include "core/Errors.h"

namespace {

// Long enough for any long double in fixed notation with a few decimals up to 1e5, and for every
// scientific form.
constexpr int kBufferSize = 128;

std::string ToChars(Real x, std::chars_format format, int precision) {
  char buffer[kBufferSize];
  // Both forms give the same digits for a value a double holds exactly (every stored point),
  // and the double one is many times faster in this library.
  const auto narrow = static_cast<double>(x);
  const auto result = narrow == x
                          ? std::to_chars(buffer, buffer + kBufferSize, narrow, format, precision)
                          : std::to_chars(buffer, buffer + kBufferSize, x, format, precision);
  return std::string(buffer, result.ptr);
}

// Puts in the separator, upper-cases the exponent and drops the minus of a text that shows zero.
std::string Finish(std::string text, char decimalSeparator) {
  bool nonZeroDigit = false;
  for (char& c : text) {
    if (c == '.') c = decimalSeparator;
    if (c == 'e') c = 'E';
    if (c == 'E') break;
    if (c >= '1' && c <= '9') nonZeroDigit = true;
  }
  if (!nonZeroDigit && !text.empty() && text[0] == '-') text.erase(0, 1);
  return text;
}

std::string NonFiniteText(Real x) {
  if (std::isnan(x)) return "NAN";
  return x < 0 ? "-INF" : "INF";
}

// The decimal exponent of x after rounding to `digits` significant digits.
int RoundedExponent(Real x, int digits) {
  const std::string s = ToChars(x, std::chars_format::scientific, digits - 1);
  return std::atoi(s.c_str() + s.find('e') + 1);
}

}  // namespace

std::string FixText(Real x, char decimalSeparator) {
  if (!std::isfinite(x)) return NonFiniteText(x);
  constexpr int kSignificant = 5;
  constexpr int kDecimals = 2;
  const int exponent = x == 0 ? 0 : RoundedExponent(x, kSignificant);
  if (exponent >= kSignificant) {
    return Finish(ToChars(x, std::chars_format::scientific, kSignificant - 1), decimalSeparator);
  }
  // One rounding, at whichever comes first: the second decimal or the fifth significant digit.
  const int decimals = std::min(kDecimals, kSignificant - 1 - exponent);
  std::string text = ToChars(x, std::chars_format::fixed, decimals);
  if (decimals == 0) text += '.';
  text.append(kDecimals - decimals, '0');
  return Finish(std::move(text), decimalSeparator);
}

std::string FullText(Real x, char decimalSeparator) {
  if (!std::isfinite(x)) return NonFiniteText(x);
  return Finish(ToChars(x, std::chars_format::general, 15), decimalSeparator);
}

Real ParseReal(std::string_view text) {
  std::string_view s = text;
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);

  // Checked by hand: from_chars would also take "nan", "inf" and hexadecimal forms. On the way
  // the digits are gathered for the exact fast path below.
  std::size_t i = 0;
  const bool negative = i < s.size() && s[i] == '-';
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::uint64_t mantissa = 0;
  int significant = 0;  // digits in the mantissa, leading zeros not counted
  int scale = 0;        // decimal exponent of the mantissa's last digit
  std::size_t mantissaDigits = 0;
  bool fraction = false;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (c >= '0' && c <= '9') {
      ++mantissaDigits;
      if (mantissa == 0 && c == '0') {
        if (fraction) --scale;
        continue;
      }
      ++significant;
      if (significant <= 19) {
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
        if (fraction) --scale;
      } else if (!fraction) {
        ++scale;
      }
    } else if ((c == ',' || c == '.') && !fraction) {
      fraction = true;
    } else {
      break;
    }
  }
  bool valid = mantissaDigits > 0;
  const std::size_t exponentAt = i;
  int exponent = 0;
  if (valid && i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    const bool down = i < s.size() && s[i] == '-';
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    const std::size_t start = i;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
      exponent = std::min(exponent * 10 + (s[i] - '0'), 100000);  // far beyond any finite value
    }
    valid = i > start;
    if (down) exponent = -exponent;
  }
  valid = valid && i == s.size();
  if (!valid) throw NotANumberError(text);

  // Up to 19 digits times a power of ten that the format holds exactly: one correctly rounded
  // operation, the same value strtold gives, and many times faster.
  static constexpr Real kPowers[] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,
                                     1e7L,  1e8L,  1e9L,  1e10L, 1e11L, 1e12L, 1e13L,
                                     1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L, 1e20L,
                                     1e21L, 1e22L, 1e23L, 1e24L, 1e25L, 1e26L, 1e27L};
  const int power = scale + exponent;
  Real value;
  if (mantissa == 0) {
    value = 0;
  } else if (significant <= 19 && power >= -27 && power <= 27) {
    const auto m = static_cast<Real>(mantissa);
    value = power >= 0 ? m * kPowers[power] : m / kPowers[-power];
  } else {
    std::string number(s.substr(0, exponentAt));
    std::replace(number.begin(), number.end(), ',', '.');
    number.append(s.substr(exponentAt));
    if (number[0] == '+') number.erase(0, 1);
    const char* first = number.data();
    const char* last = first + number.size();
    const auto result = std::from_chars(first, last, value);
    if (result.ec != std::errc() || result.ptr != last || !std::isfinite(value)) {
      throw NotANumberError(text);
    }
    return value;
  }
  return negative ? -value : value;
}
