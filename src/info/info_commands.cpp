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
#ifndef TQ_PRODUCT_PAGE
#define TQ_PRODUCT_PAGE ""
#endif

bool is_installed_page(const std::string& page) {
  return page == kInstalledPageName;
}

// Where the About box sends the reader.
std::string page_credit(const std::string& page) {
  if (is_installed_page(page)) return std::string("see ") + page + ", installed with the program";
  return page;
}

// A '%' of the address doubled, so that the format shows it as it stands.
std::string escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '%') out += '%';
    out += c;
  }
  return out;
}

// The About text before the build date and time are put in: the format
// takes exactly the two "%s" of the last line.
std::string about_format(const std::string& page) {
  return std::string("Function Generator\n") + "Written by Zavadudor Eduzuvovo\n" +
         "Made by Varnholt Electronics, " + escaped(page_credit(page)) + "\n" +
         "release date: %s %s";
}

// Text of the percentage: with no elapsed time there is no quotient to show.
std::string percent_text(std::uint32_t waveoutproctime, std::int32_t elapsed) {
  if (elapsed == 0) return "n/a";
  return format_g(waveoutproctime * 100.0 / elapsed);
}

}  // namespace

std::string product_page_address() {
  const std::string configured = TQ_PRODUCT_PAGE;
  return configured.empty() ? kInstalledPageName : configured;
}

std::string help_text(const std::string& page) {
  std::string text;
  for (const char* line : kHelpLines) text += line;
  // There is no address of the maker's own to give; whoever packaged the
  // program answers for it.
  text +=
      "Send questions, comments and suggestions by e-mail to the maintainer of your "
      "Tonquill package\n";
  if (is_installed_page(page)) {
    text += "Visit the Tonquill page installed with the program: " + page + "\n";
  } else {
    text += "Visit the Varnholt Electronics web site at " + page + "\n";
  }
  return text;
}

std::string about_text(const char* build_date, const char* build_time, const std::string& page) {
  return format_text_box(about_format(page).c_str(), build_date, build_time);
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
  show_text_box(desk, about_format(product_page_address()).c_str(), __DATE__, __TIME__);
}

void open_product_page(MessageDesk& desk) {
  desk.open_web_address(product_page_address());
}

void show_timing_report(MessageDesk& desk, TickClock& clock, std::uint32_t waveoutproctime,
                        std::uint32_t start_tick) {
  const auto elapsed = static_cast<std::int32_t>(clock.tick_count() - start_tick);
  show_notice_box(desk, timing_report_text(waveoutproctime, elapsed));
}

}  // namespace tq
