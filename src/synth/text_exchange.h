#pragma once
// Numbers to and from the boxes: written like printf's "%g", read like
// scanf's "%lg", always with '.' as the decimal point whatever the user's
// locale is.

#include <optional>
#include <string>
#include <string_view>

namespace tq {

std::string format_g(double value);
// Skips leading white space and reads the longest number at the front:
// decimal, hexadecimal ("0x1p4"), "inf"/"infinity" and "nan", with an
// optional sign. nullopt when no number is there.
std::optional<double> scan_lg(std::string_view text);

}  // namespace tq
