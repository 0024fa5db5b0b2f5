#include "info/info_commands.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/generator.h"
#include "doubles/recording_wave_out.h"
#include "doubles/recording_window.h"
#include "info/message_boxes.h"

namespace tq {
namespace {

using testing::RecordingWaveOut;
using testing::RecordingWindow;

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

struct InfoTest : ::testing::Test {
  RecordingWaveOut wave_out;
  RecordingWindow window;
  Generator generator{wave_out, window};
};

TEST_F(InfoTest, HelpHasItsEightLinesAndIsShownAsAssembled) {
  const std::string help = help_text();
  const std::string fixed =
      "Very simple function generator\n"
      "Uses 16-bit soundcard at 44.1 KHz\n"
      "If there is no output make sure the driver for the soundcard is installed\n"
      "Some sound cards do not support the amplitude control feature\n"
      "Also make sure the wave on the volume controls on the taskbar is enabled\n"
      "Use sliders for frequency and level or enter values directly into box (and hit return)\n";
  EXPECT_EQ(help.substr(0, fixed.size()), fixed);
  const auto lines = lines_of(help);
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_NE(lines[6].find("tonquill@varnholt-electronics.example"), std::string::npos);
  EXPECT_NE(lines[7].find(kProductPageAddress), std::string::npos);
  EXPECT_EQ(help.back(), '\n');

  show_help_box(generator);
  ASSERT_EQ(window.boxes.size(), 1u);
  EXPECT_EQ(window.boxes[0].first, kTextBoxTitle);
  EXPECT_EQ(window.boxes[0].second, help);
}

TEST_F(InfoTest, AboutHasFourLinesEndingWithTheBuildTime) {
  const struct {
    const char* date;
    const char* time;
    std::string last_line;
  } cases[] = {
      {"Oct  3 2005", "18:43:15", "release date: Oct  3 2005 18:43:15"},
      {"100%", "%s %d", "release date: 100% %s %d"},
  };
  for (const auto& c : cases) {
    const std::string about = about_text(c.date, c.time);
    const auto lines = lines_of(about);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Function Generator");
    EXPECT_NE(lines[1].find("Zavadudor Eduzuvovo"), std::string::npos);
    EXPECT_NE(lines[2].find("Varnholt Electronics"), std::string::npos);
    EXPECT_NE(lines[2].find(kProductPageAddress), std::string::npos);
    EXPECT_EQ(lines[3], c.last_line);
    EXPECT_NE(about.back(), '\n');
  }

  show_about_box(generator);
  ASSERT_EQ(window.boxes.size(), 1u);
  EXPECT_EQ(window.boxes[0].first, kTextBoxTitle);
  const std::regex build_stamp(
      "(.|\n)*\nrelease date: [A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-6][0-9]");
  EXPECT_TRUE(std::regex_match(window.boxes[0].second, build_stamp)) << window.boxes[0].second;
}

TEST_F(InfoTest, ProductPageOpensTheMakersAddressOnly) {
  open_product_page(generator);
  EXPECT_EQ(window.addresses, std::vector<std::string>{kProductPageAddress});
  EXPECT_TRUE(window.boxes.empty());
}

TEST(TimingReport, KeepsItsSpacingForEveryElapsedTime) {
  const struct {
    std::uint32_t proctime;
    std::int32_t elapsed;
    const char* expected;
  } cases[] = {
      {25, 200, "waveoutproctime= 25 / 200 ( 12.5 percent)\n"},
      {1, 3, "waveoutproctime= 1 / 3 ( 33.3333 percent)\n"},
      {0, 60000, "waveoutproctime= 0 / 60000 ( 0 percent)\n"},
      {123456789, 1000, "waveoutproctime= 123456789 / 1000 ( 1.23457e+07 percent)\n"},
      {5, -10, "waveoutproctime= 5 / -10 ( -50 percent)\n"},
      {0, 0, "waveoutproctime= 0 / 0 ( n/a percent)\n"},
      {7, 0, "waveoutproctime= 7 / 0 ( n/a percent)\n"},
      {4294967295u, 2147483647, "waveoutproctime= 4294967295 / 2147483647 ( 200 percent)\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(timing_report_text(c.proctime, c.elapsed), c.expected);
  }
}

TEST_F(InfoTest, TimingReportUsesTheSigned32BitTickDifference) {
  const struct {
    std::uint32_t start_tick;
    std::uint32_t now;
    const char* expected;
  } cases[] = {
      {1000, 5000, "waveoutproctime= 40 / 4000 ( 1 percent)\n"},
      {0xFFFFFF00u, 0x100, "waveoutproctime= 40 / 512 ( 7.8125 percent)\n"},
      {2000, 1000, "waveoutproctime= 40 / -1000 ( -4 percent)\n"},
      {1234, 1234, "waveoutproctime= 40 / 0 ( n/a percent)\n"},
  };
  for (const auto& c : cases) {
    RecordingWindow box_window;
    Generator fresh(wave_out, box_window);
    fresh.start_tick = c.start_tick;
    fresh.stream.waveoutproctime = 40;
    box_window.tick = c.now;
    show_timing_report(fresh);
    ASSERT_EQ(box_window.boxes.size(), 1u);
    EXPECT_EQ(box_window.boxes[0].first, kNoticeBoxTitle);
    EXPECT_EQ(box_window.boxes[0].second, c.expected);
  }
}

}  // namespace
}  // namespace tq
