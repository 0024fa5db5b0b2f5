#include "info/info_commands.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "doubles/recorded_generator.h"
#include "info/message_boxes.h"

namespace tq {
namespace {

using Boxes = decltype(testing::RecordingWindow::boxes);

constexpr const char* kHelpStart =
    "Very simple function generator\n"
    "Uses 16-bit soundcard at 44.1 KHz\n"
    "If there is no output make sure the driver for the soundcard is installed\n"
    "Some sound cards do not support the amplitude control feature\n"
    "Also make sure the wave on the volume controls on the taskbar is enabled\n"
    "Use sliders for frequency and level or enter values directly into box (and hit return)\n"
    "Send questions, comments and suggestions by e-mail to the maintainer of your Tonquill "
    "package\n";

// Built without an address the page is the one installed with the program;
// with one, the texts name it.
TEST(InfoCommands, HelpAboutAndTheProductPageNameTheSamePage) {
  const struct {
    std::string page;
    std::string help_end;
    std::string about_credit;
  } cases[] = {
      {kInstalledPageName, "Visit the Tonquill page installed with the program: tonquill.html\n",
       "see tonquill.html, installed with the program"},
      {"https://tonquill.invalid/a%20b",
       "Visit the Varnholt Electronics web site at "
       "https://tonquill.invalid/a%20b\n",
       "https://tonquill.invalid/a%20b"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(help_text(c.page), kHelpStart + c.help_end);
    EXPECT_EQ(about_text("Oct  3 2005", "18:43:15", c.page),
              "Function Generator\nWritten by Zavadudor Eduzuvovo\nMade by Varnholt Electronics, " +
                  c.about_credit + "\nrelease date: Oct  3 2005 18:43:15");
  }
  EXPECT_EQ(product_page_address(), kInstalledPageName);  // the tests' build names none
  testing::RecordedGenerator r;
  show_help_box(r.window);
  open_product_page(r.window);
  EXPECT_EQ(r.window.boxes, (Boxes{{kTextBoxTitle, help_text()}}));
  EXPECT_EQ(r.window.addresses, std::vector<std::string>{kInstalledPageName});
}

TEST(InfoCommands, AboutEndsWithTheBuildDateAndTime) {
  const std::string about = about_text("", "").substr(0, about_text("", "").size() - 1);
  EXPECT_TRUE(about.ends_with("\nrelease date: ")) << about;
  EXPECT_EQ(about_text("100%", "%s %d"), about + "100% %s %d");
  testing::RecordedGenerator r;
  show_about_box(r.window);
  ASSERT_EQ(r.window.boxes.size(), 1u);
  EXPECT_EQ(r.window.boxes[0].first, kTextBoxTitle);
  const std::regex stamp("[A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}");
  const std::string shown = r.window.boxes[0].second;
  EXPECT_TRUE(shown.starts_with(about) && std::regex_match(shown.substr(about.size()), stamp))
      << shown;
}

// The elapsed time is the signed 32-bit difference of two tick counts; with
// none elapsed there is no percentage to show.
TEST(InfoCommands, TimingReportKeepsItsSpacingForEveryElapsedTime) {
  const std::tuple<std::uint32_t, std::uint32_t, std::uint32_t, const char*> cases[] = {
      {0, 200, 25, "waveoutproctime= 25 / 200 ( 12.5 percent)\n"},
      {0, 3, 1, "waveoutproctime= 1 / 3 ( 33.3333 percent)\n"},
      {0, 1000, 123456789, "waveoutproctime= 123456789 / 1000 ( 1.23457e+07 percent)\n"},
      {1234, 1234, 7, "waveoutproctime= 7 / 0 ( n/a percent)\n"},
      {0, 0x7FFFFFFF, 0xFFFFFFFF, "waveoutproctime= 4294967295 / 2147483647 ( 200 percent)\n"},
      {0xFFFFFF00u, 0x100, 40, "waveoutproctime= 40 / 512 ( 7.8125 percent)\n"},
      {2000, 1000, 40, "waveoutproctime= 40 / -1000 ( -4 percent)\n"},
  };
  for (const auto& [start_tick, now, proctime, text] : cases) {
    testing::RecordingWindow window;
    window.tick = now;
    show_timing_report(window, window, proctime, start_tick);
    EXPECT_EQ(window.boxes, (Boxes{{kNoticeBoxTitle, text}}));
  }
}

}  // namespace
}  // namespace tq
