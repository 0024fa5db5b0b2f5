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

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

struct Info {
  testing::RecordingWaveOut wave_out;
  testing::RecordingWindow window;
  Generator generator{wave_out, window};
};

TEST(InfoCommands, HelpHasItsEightLinesAndIsShownAsAssembled) {
  const std::string help = help_text();
  const std::string fixed =
      "Very simple function generator\nUses 16-bit soundcard at 44.1 KHz\n"
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

  Info info;
  show_help_box(info.generator);
  open_product_page(info.generator);
  ASSERT_EQ(info.window.boxes.size(), 1u);
  EXPECT_EQ(info.window.boxes[0], std::make_pair(std::string(kTextBoxTitle), help));
  EXPECT_EQ(info.window.addresses, std::vector<std::string>{kProductPageAddress});
}

TEST(InfoCommands, AboutHasFourLinesEndingWithTheBuildTime) {
  for (const auto& [date, time] :
       {std::pair{"Oct  3 2005", "18:43:15"}, std::pair{"100%", "%s %d"}}) {
    const std::string about = about_text(date, time);
    const auto lines = lines_of(about);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Function Generator");
    EXPECT_NE(lines[1].find("Zavadudor Eduzuvovo"), std::string::npos);
    EXPECT_NE(lines[2].find(std::string("Varnholt Electronics, ") + kProductPageAddress),
              std::string::npos);
    EXPECT_EQ(lines[3], std::string("release date: ") + date + " " + time);
    EXPECT_NE(about.back(), '\n');
  }
  Info info;
  show_about_box(info.generator);
  ASSERT_EQ(info.window.boxes.size(), 1u);
  EXPECT_EQ(info.window.boxes[0].first, kTextBoxTitle);
  const std::regex stamp("(.|\n)*\nrelease date: [A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4} [0-9:]{8}");
  EXPECT_TRUE(std::regex_match(info.window.boxes[0].second, stamp)) << info.window.boxes[0].second;
}

TEST(InfoCommands, TimingReportKeepsItsSpacingForEveryElapsedTime) {
  const struct {
    std::uint32_t proctime;
    std::int32_t elapsed;
    const char* expected;
  } cases[] = {
      {25, 200, "waveoutproctime= 25 / 200 ( 12.5 percent)\n"},
      {1, 3, "waveoutproctime= 1 / 3 ( 33.3333 percent)\n"},
      {123456789, 1000, "waveoutproctime= 123456789 / 1000 ( 1.23457e+07 percent)\n"},
      {5, -10, "waveoutproctime= 5 / -10 ( -50 percent)\n"},
      {0, 0, "waveoutproctime= 0 / 0 ( n/a percent)\n"},
      {7, 0, "waveoutproctime= 7 / 0 ( n/a percent)\n"},
      {4294967295u, 2147483647, "waveoutproctime= 4294967295 / 2147483647 ( 200 percent)\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(timing_report_text(c.proctime, c.elapsed), c.expected);
}

TEST(InfoCommands, TimingReportUsesTheSigned32BitTickDifference) {
  const struct {
    std::uint32_t start_tick, now;
    const char* expected;
  } cases[] = {
      {0xFFFFFF00u, 0x100, "waveoutproctime= 40 / 512 ( 7.8125 percent)\n"},
      {2000, 1000, "waveoutproctime= 40 / -1000 ( -4 percent)\n"},
      {1234, 1234, "waveoutproctime= 40 / 0 ( n/a percent)\n"},
  };
  for (const auto& c : cases) {
    Info info;
    info.generator.start_tick = c.start_tick;
    info.generator.stream.waveoutproctime = 40;
    info.window.tick = c.now;
    show_timing_report(info.generator);
    ASSERT_EQ(info.window.boxes.size(), 1u);
    EXPECT_EQ(info.window.boxes[0],
              std::make_pair(std::string(kNoticeBoxTitle), std::string(c.expected)));
  }
}

}  // namespace
}  // namespace tq
