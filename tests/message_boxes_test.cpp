#include "info/message_boxes.h"

#include <gtest/gtest.h>

#include <string>

#include "doubles/recording_window.h"

namespace tq {
namespace {

using testing::RecordingWindow;

TEST(TextBox, SubstitutesTwoStringsAndInterpretsNothingElse) {
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
      {"release date: %s %s", "Oct  3 2005", "18:43:15", "release date: Oct  3 2005 18:43:15"},
      {"%s", nullptr, nullptr, ""},
      {"[%s]", long_argument.c_str(), "", "[" + long_argument + "]"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(format_text_box(c.format, c.first, c.second), c.expected) << c.format;
  }
}

TEST(TextBox, ShowsTheResultOnceUnderTheAuthorTitle) {
  RecordingWindow window;
  show_text_box(window, "%s=%s", "a", "b");
  ASSERT_EQ(window.boxes.size(), 1u);
  EXPECT_EQ(window.boxes[0].first, "Message Zavadudor Eduzuvovo");
  EXPECT_EQ(window.boxes[0].second, "a=b");
}

TEST(NoticeBox, ShowsAtMost999CharactersUnchanged) {
  const struct {
    std::string text;
    std::string expected;
  } cases[] = {
      {"", ""},
      {"Device busy: 100% %s %d %%\n", "Device busy: 100% %s %d %%\n"},
      {std::string(999, 'n'), std::string(999, 'n')},
      {std::string(1000, 'n'), std::string(999, 'n')},
      {std::string(998, 'n') + "%s%d", std::string(998, 'n') + "%"},
  };
  for (const auto& c : cases) {
    RecordingWindow window;
    show_notice_box(window, c.text);
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].first, "Message from Varnholt Tonquill");
    EXPECT_EQ(window.boxes[0].second, c.expected) << "length " << c.text.size();
  }
}

}  // namespace
}  // namespace tq
