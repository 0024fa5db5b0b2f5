#include "info/info_commands.h"

#include <cmath>

#include "info/message_boxes.h"
#include "synth/text_exchange.h"

namespace tq {

namespace {

constexpr const char* kHelpLines[] = {
    "Very simple function generator\n",
    "Uses 16-bit soundcard at 44.1 KHz\n",
    "If there is no output make sure the driver for the soundcard is installed\n",
    "Some sound cards do not support the amplitude control feature\n",
    "Also make sure the wave on the volume controls on the taskbar is enabled\n",
    "Use sliders for frequency and level or enter values directly into box (and hit return)\n",
};
constexpr const char* kContactAddress = "tonquill@varnholt-electronics.example";

// The About text before the build date and time are put in; the address
// holds no '%', so the format takes exactly the two "%s" of the last line.
std::string about_format() {
  return std::string("Function Generator\n") + "Written by Zavadudor Eduzuvovo\n" +
         "Made by Varnholt Electronics, " + kProductPageAddress + "\n" + "release date: %s %s";
}

// Text of the percentage: with no elapsed time there is no quotient to show.
std::string percent_text(std::uint32_t waveoutproctime, std::int32_t elapsed) {
  if (elapsed == 0) return "n/a";
  return format_g(waveoutproctime * 100.0 / elapsed);
}

}  // namespace

std::string help_text() {
  std::string text;
  for (const char* line : kHelpLines) text += line;
  text += std::string("Send questions, comments and suggestions by e-mail to ") + kContactAddress +
          "\n";
  text += std::string("Visit the Varnholt Electronics web site at ") + kProductPageAddress + "\n";
  return text;
}

std::string about_text(const char* build_date, const char* build_time) {
  return format_text_box(about_format().c_str(), build_date, build_time);
}

std::string timing_report_text(std::uint32_t waveoutproctime, std::int32_t elapsed) {
  return "waveoutproctime= " + std::to_string(waveoutproctime) + " / " + std::to_string(elapsed) +
         " ( " + percent_text(waveoutproctime, elapsed) + " percent)\n";
}

void show_help_box(MessageDesk& desk) {
  // Passed as an argument, so a '%' in it is shown as it stands.
  show_text_box(desk, "%s", help_text().c_str(), "");
}

void show_about_box(MessageDesk& desk) {
  show_text_box(desk, about_format().c_str(), __DATE__, __TIME__);
}

void open_product_page(MessageDesk& desk) {
  desk.open_web_address(kProductPageAddress);
}

void show_timing_report(MessageDesk& desk, TickClock& clock, std::uint32_t waveoutproctime,
                        std::uint32_t start_tick) {
  const auto elapsed = static_cast<std::int32_t>(clock.tick_count() - start_tick);
  show_notice_box(desk, timing_report_text(waveoutproctime, elapsed));
}

}  // namespace tq
