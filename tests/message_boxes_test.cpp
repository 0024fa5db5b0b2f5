#include "info/message_boxes.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "doubles/recording_window.h"

namespace tq {
namespace {

using Boxes = decltype(testing::RecordingWindow::boxes);

TEST(MessageBoxes, TextBoxSubstitutesTwoStringsAndInterpretsNothingElse) {
  const std::string long_argument(12000, 'x');
  const std::tuple<const char*, const char*, const char*, std::string> cases[] = {
      {"a%sb%sc", "X", "Y", "aXbYc"},
      {"%s", "100% sure %s %d\n", "unused", "100% sure %s %d\n"},
      {"%s %s %s", "1", "2", "1 2 %s"},
      {"50%% %d %", "", "", "50% %d %"},
      {"%s", nullptr, nullptr, ""},
      {"[%s]", long_argument.c_str(), "", "[" + long_argument + "]"},  // no fixed-size buffer
  };
  for (const auto& [format, first, second, expected] : cases) {
    testing::RecordingWindow window;
    show_text_box(window, format, first, second);
    EXPECT_EQ(window.boxes, (Boxes{{"Message Zavadudor Eduzuvovo", expected}})) << format;
  }
}

TEST(MessageBoxes, NoticeBoxShowsAtMost999CharactersUnchanged) {
  const std::pair<std::string, std::string> cases[] = {
      {"Device busy: 100% %s %d %%\n", "Device busy: 100% %s %d %%\n"},
      {std::string(999, 'n'), std::string(999, 'n')},
      {std::string(998, 'n') + "%s%d", std::string(998, 'n') + "%"},
  };
  for (const auto& [text, expected] : cases) {
    testing::RecordingWindow window;
    show_notice_box(window, text);
    EXPECT_EQ(window.boxes, (Boxes{{"Message from Varnholt Tonquill", expected}})) << text.size();
  }
}

}  // namespace
}  // namespace tq
