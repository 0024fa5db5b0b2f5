#include "synth/text_exchange.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

namespace tq {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

std::string printf_g(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// The tests run in the "C" locale, where printf and strtod are the reference.
TEST(FormatG, MatchesPrintf) {
  for (const double value :
       {-0.0, -50.0, 144.19, 1e6, 999999.5, 9.999995, 0.0001, 1.234e-5, 5e-324, -kInf}) {
    EXPECT_EQ(format_g(value), printf_g(value)) << value;
  }
}

// strtod reads the same longest prefix; glibc's sscanf gives up on a few
// incomplete prefixes ("0x", "infinit") that strtod and scan_lg accept.
TEST(ScanLg, LongestNumberAtTheFrontLikeStrtod) {
  // clang-format off
  const char* const texts[] = {
      " \t\n\v\f\r-50", "+2.5e3", "1234.567abc", ".5", "1,5", "1e+", "-0", "-0X.8", "0x1P-2z",
      "0x", "0xg", "0x-5", "-Infinity", "infinit", "nan(123)", "1e999", "-1e999", "1e-999",
      "-2e-324", "0x1p99999", "0x1p-99999", "1e99999999999999999999", "", "abc", "-", ".",
      "+-5", "- 1", "e5"};
  // clang-format on
  for (const char* text : texts) {
    char* end = nullptr;
    const double expected = std::strtod(text, &end);
    const std::optional<double> scanned = scan_lg(text);
    ASSERT_EQ(scanned.has_value(), end != text) << '"' << text << '"';
    if (!scanned) continue;
    EXPECT_TRUE(std::isnan(expected) ? std::isnan(*scanned) : *scanned == expected) << text;
    EXPECT_EQ(std::signbit(*scanned), std::signbit(expected)) << text;
  }
}

TEST(TextExchange, IgnoresTheProcessLocale) {
  bool comma = false;  // any locale whose decimal point is a comma will do
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8"})
    comma = comma || (std::setlocale(LC_ALL, name) && printf_g(1.5) == "1,5");
  const std::string formatted = format_g(1.5);
  const std::optional<double> dotted = scan_lg("1.5");
  const std::optional<double> cut = scan_lg("1,5");
  std::setlocale(LC_ALL, "C");
  if (!comma) GTEST_SKIP() << "no locale with a decimal comma is installed";
  EXPECT_EQ(formatted, "1.5");
  EXPECT_EQ(dotted, 1.5);
  EXPECT_EQ(cut, 1.0);
}

}  // namespace
}  // namespace tq
