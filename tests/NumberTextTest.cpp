#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/NumberText.h"
#include "geometry/TorbelError.h"

namespace {

std::string Comma(Real x) {
  return FixText(x, ',');
}
std::string Point(Real x) {
  return FixText(x, '.');
}

std::string ParseFailure(const std::string& text) {
  try {
    ParseReal(text);
  } catch (const TorbelError& e) {
    return e.Message();
  }
  return "parsed";
}

TEST(FixText, TwoDecimalsAfterFiveSignificantDigits) {
  EXPECT_EQ(Comma(123.456L), "123,46");
  EXPECT_EQ(Point(123.456L), "123.46");
  EXPECT_EQ(Comma(-2.3L), "-2,30");
  EXPECT_EQ(Point(-2.3L), "-2.30");
  EXPECT_EQ(Comma(15), "15,00");
  EXPECT_EQ(Point(15), "15.00");
  EXPECT_EQ(Comma(12345.678L), "12346,00");
  EXPECT_EQ(Point(12345.678L), "12346.00");
  EXPECT_EQ(Comma(1234.5678L), "1234,60");
  EXPECT_EQ(Comma(1.6L), "1,60");
  EXPECT_EQ(Comma(359.99999L), "360,00");
  EXPECT_EQ(Comma(9999.96L), "10000,00");
}

TEST(FixText, ShownZeroHasNoMinus) {
  EXPECT_EQ(Comma(-0.001L), "0,00");
  EXPECT_EQ(Point(-0.001L), "0.00");
  EXPECT_EQ(Comma(-0.0L), "0,00");
  EXPECT_EQ(Comma(0), "0,00");
  EXPECT_EQ(Comma(-0.006L), "-0,01");
}

TEST(FixText, MoreThanFiveDigitsBeforeTheSeparatorTakeAnExponent) {
  EXPECT_EQ(Comma(123456), "1,2346E+05");
  EXPECT_EQ(Point(123456), "1.2346E+05");
  EXPECT_EQ(Comma(-55000000), "-5,5000E+07");
  EXPECT_EQ(Comma(99999.7L), "1,0000E+05");  // six digits once rounded
}

TEST(FullText, FifteenSignificantDigitsWithoutTrailingZeros) {
  EXPECT_EQ(FullText(1.6L, ','), "1,6");
  EXPECT_EQ(FullText(1.6L, '.'), "1.6");
  EXPECT_EQ(FullText(10, ','), "10");
  EXPECT_EQ(FullText(-9.09027692082081L, ','), "-9,09027692082081");
  EXPECT_EQ(FullText(1.0L / 3, '.'), "0.333333333333333");
  EXPECT_EQ(FullText(-0.0L, ','), "0");
}

TEST(FullText, RoundTripsToFifteenSignificantDigits) {
  const Real values[] = {0,
                         1.6L,
                         -9.0902769208208L,
                         359.955882352941176L,
                         1e-7L,
                         123456789012345678.0L,
                         55000,
                         -0.000123456789012345L,
                         1.0L / 7,
                         14.142135623730950488L};
  for (char separator : {',', '.'}) {
    for (Real x : values) {
      const std::string text = FullText(x, separator);
      const Real back = ParseReal(text);
      EXPECT_EQ(FullText(back, separator), text);
      EXPECT_LE(std::fabs(back - x), std::fabs(x) * 5e-15L) << text;
    }
  }
}

TEST(ParseReal, AcceptsEitherSeparator) {
  EXPECT_EQ(ParseReal("1,6"), 1.6L);
  EXPECT_EQ(ParseReal("1.6"), 1.6L);
  EXPECT_EQ(ParseReal("-12,5"), -12.5L);
  EXPECT_EQ(ParseReal("+3"), 3);
  EXPECT_EQ(ParseReal(" 7,25 "), 7.25L);
  EXPECT_EQ(ParseReal("1,5E-3"), 0.0015L);
  EXPECT_EQ(ParseReal("2e2"), 200);
  EXPECT_EQ(ParseReal(",5"), 0.5L);
  EXPECT_EQ(ParseReal("0"), 0);
}

TEST(ParseReal, GivesTheValueTheCLibraryGives) {
  // Short numbers take an exact shortcut, long ones the library; both must agree with strtold.
  std::mt19937_64 random(11);
  std::vector<std::string> texts = {"0,1",
                                    "-0.3",
                                    "123456789012345678",
                                    "1234567890123456789",
                                    "12345678901234567890",
                                    "0.12345678901234567890123",
                                    "9999999999999999999e8",
                                    "1e27",
                                    "1e28",
                                    "1e-27",
                                    "1e-28",
                                    "0.000000000000000000000000000001",
                                    "5.",
                                    "00012.500",
                                    "1e4000",
                                    "-2.5e-4000"};
  for (int i = 0; i < 20000; ++i) {
    char buffer[64];
    const double x =
        std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 120) - 90);
    std::snprintf(buffer, sizeof buffer, "%.*g", 1 + static_cast<int>(random() % 19), x);
    texts.push_back(buffer);
  }
  for (std::string text : texts) {
    const Real ours = ParseReal(text);
    std::replace(text.begin(), text.end(), ',', '.');
    EXPECT_EQ(ours, std::strtold(text.c_str(), nullptr)) << text;
  }
}

TEST(ParseReal, RejectsWhatIsNotANumber) {
  EXPECT_EQ(ParseFailure(""), "'' ist kein gültiger Gleitkommawert");
  EXPECT_EQ(ParseFailure("abc"), "'abc' ist kein gültiger Gleitkommawert");
  EXPECT_EQ(ParseFailure("   "), "'   ' ist kein gültiger Gleitkommawert");
  EXPECT_EQ(ParseFailure("1,2,3"), "'1,2,3' ist kein gültiger Gleitkommawert");
  EXPECT_EQ(ParseFailure("1.2,3"), "'1.2,3' ist kein gültiger Gleitkommawert");
  for (const char* text : {"nan", "NAN", "inf", "-inf", "Infinity", "0x10", "1e", "1e+", "-", ",",
                           "1 2", "12m", "1e99999", "1.000,5"}) {
    EXPECT_EQ(ParseFailure(text), std::string("'") + text + "' ist kein gültiger Gleitkommawert");
  }
}

}  // namespace
