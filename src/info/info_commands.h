#pragma once
// Help, About, the product web page and the timing report.

#include <cstdint>
#include <string>

#include "audio/tick_clock.h"
#include "info/message_desk.h"

namespace tq {

// The page "Visit Varnholt Electronics Website" opens: the web address the
// build was given (CMake cache variable TQ_PRODUCT_PAGE) or, without one,
// the program's own page installed with it, by this name; the front end
// finds it beside its executable.
inline constexpr const char* kInstalledPageName = "tonquill.html";
// TQ_PRODUCT_PAGE, or kInstalledPageName when the build was given none.
std::string product_page_address();
inline constexpr std::size_t kHelpCapacity = 10000;  // terminator included

// The texts name `page`, the product page address.
std::string help_text(const std::string& page = product_page_address());
// `build_date` like "Oct  3 2005", `build_time` like "18:43:15".
std::string about_text(const char* build_date, const char* build_time,
                       const std::string& page = product_page_address());
// "waveoutproctime= T / E ( P percent)\n"; elapsed is the signed 32-bit
// difference of two tick counts.
std::string timing_report_text(std::uint32_t waveoutproctime, std::int32_t elapsed);

void show_help_box(MessageDesk& desk);
void show_about_box(MessageDesk& desk);
void open_product_page(MessageDesk& desk);
// The refill time against the time since `start_tick`, read from `clock`.
void show_timing_report(MessageDesk& desk, TickClock& clock, std::uint32_t waveoutproctime,
                        std::uint32_t start_tick);

}  // namespace tq
