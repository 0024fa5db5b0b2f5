#include "info/message_boxes.h"

#include <gtest/gtest.h>

#include <string>

#include "doubles/recording_window.h"

namespace tq {
namespace {

TEST(MessageBoxes, TextBoxSubstitutesTwoStringsAndInterpretsNothingElse) {
  const std::string long_argument(12000, 'x');
  const struct {
    const char* format;
    const char* first;
    const char* second;
    std::string expected;
  } cases[] = {
      {"a%sb%sc", "X", "Y", "aXbYc"},
      {"%s", "100% sure %s %d\n", "unused", "100% sure %s %d\n"},
      {"%s %s %s", "1", "2", "1 2 %s"},
      {"50%% %d %", "", "", "50% %d %"},
      {"%s", nullptr, nullptr, ""},
      {"[%s]", long_argument.c_str(), "", "[" + long_argument + "]"},  // no fixed-size buffer
  };
  for (const auto& c : cases) {
    testing::RecordingWindow window;
    show_text_box(window, c.format, c.first, c.second);
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].first, "Message Zavadudor Eduzuvovo");
    EXPECT_EQ(window.boxes[0].second, c.expected) << c.format;
  }
}

TEST(MessageBoxes, NoticeBoxShowsAtMost999CharactersUnchanged) {
  const struct {
    std::string text;
    std::string expected;
  } cases[] = {
      {"", ""},
      {"Device busy: 100% %s %d %%\n", "Device busy: 100% %s %d %%\n"},
      {std::string(999, 'n'), std::string(999, 'n')},
      {std::string(998, 'n') + "%s%d", std::string(998, 'n') + "%"},
  };
  for (const auto& c : cases) {
    testing::RecordingWindow window;
    show_notice_box(window, c.text);
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].first, "Message from Varnholt Tonquill");
    EXPECT_EQ(window.boxes[0].second, c.expected) << "length " << c.text.size();
  }
}

}  // namespace
}  // namespace tq
