#pragma once
// Help, About, the product web page and the timing report.

#include <cstdint>
#include <string>

namespace tq {

struct Generator;

inline constexpr const char* kProductPageAddress = "https://varnholt-electronics.example/tonquill/";
inline constexpr std::size_t kHelpCapacity = 10000;  // terminator included

std::string help_text();
// `build_date` like "Oct  3 2005", `build_time` like "18:43:15".
std::string about_text(const char* build_date, const char* build_time);
// "waveoutproctime= T / E ( P percent)\n"; elapsed is the signed 32-bit
// difference of two tick counts.
std::string timing_report_text(std::uint32_t waveoutproctime, std::int32_t elapsed);

void show_help_box(Generator& generator);
void show_about_box(Generator& generator);
void open_product_page(Generator& generator);
void show_timing_report(Generator& generator);

}  // namespace tq
