#include "app/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

#include "app/Errors.h"

namespace {

// Long enough for any long double in fixed notation with a few decimals up to 1e5, and for every
// scientific form.
constexpr int kBufferSize = 128;

std::string ToChars(Real x, std::chars_format format, int precision) {
  char buffer[kBufferSize];
  const auto result = std::to_chars(buffer, buffer + kBufferSize, x, format, precision);
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

  // Checked by hand: from_chars would also take "nan", "inf" and hexadecimal forms.
  std::string number;
  std::size_t i = 0;
  auto digits = [&] {
    const std::size_t start = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') number += s[i++];
    return i - start;
  };
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    if (s[i] == '-') number += '-';
    ++i;
  }
  std::size_t mantissaDigits = digits();
  if (i < s.size() && (s[i] == ',' || s[i] == '.')) {
    number += '.';
    ++i;
    mantissaDigits += digits();
  }
  bool valid = mantissaDigits > 0;
  if (valid && i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    number += 'e';
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) number += s[i++];
    valid = digits() > 0;
  }
  valid = valid && i == s.size();

  Real value = 0;
  if (valid) {
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    valid = result.ec == std::errc() && result.ptr == number.data() + number.size() &&
            std::isfinite(value);
  }
  if (!valid) throw NotANumberError(text);
  return value;
}
