#pragma once

#include <string>
#include <string_view>

#include "geometry/Real.h"

// Number texts never depend on the C library's locale: the decimal separator is a parameter, taken
// once at start from the system locale.

// Display text: two decimals after rounding to five significant digits (123.456 -> "123,46",
// 12345.678 -> "12346,00"); a number with more than five digits before the separator is shown
// with five significant digits and an exponent ("1,2346E+05"). A shown zero has no minus sign.
std::string FixText(Real x, char decimalSeparator);

// File text: general notation with up to 15 significant digits, no trailing zeros.
std::string FullText(Real x, char decimalSeparator);

// Reads a decimal number. Both "," and "." are accepted as the separator, so that files and
// answers written under one locale read under any other; blanks around the number are ignored.
// Anything else that is not a finite number raises "'text' ist kein gültiger Gleitkommawert".
Real ParseReal(std::string_view text);
