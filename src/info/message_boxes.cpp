#include "info/message_boxes.h"

#include <cstring>

namespace tq {

namespace {

// Room a text-box result gets: the format, both arguments and ten more,
// the terminator included.
std::size_t text_box_capacity(const char* format, const char* first, const char* second) {
  return std::strlen(format) + std::strlen(first) + std::strlen(second) + 10;
}

const char* or_empty(const char* text) {
  return text != nullptr ? text : "";
}

}  // namespace

std::string format_text_box(const char* format, const char* first, const char* second) {
  format = or_empty(format);
  const char* const arguments[2] = {or_empty(first), or_empty(second)};
  const std::size_t max_length = text_box_capacity(format, arguments[0], arguments[1]) - 1;
  std::string result;
  int used = 0;
  for (const char* p = format; *p != '\0'; ++p) {
    if (p[0] == '%' && p[1] == 's' && used < 2) {
      result += arguments[used++];
      ++p;
    } else if (p[0] == '%' && p[1] == '%') {
      result += '%';
      ++p;
    } else {
      result += *p;
    }
  }
  if (result.size() > max_length) result.resize(max_length);
  return result;
}

void show_text_box(MessageDesk& desk, const char* format, const char* first, const char* second) {
  desk.show_message_box(kTextBoxTitle, format_text_box(format, first, second));
}

void show_notice_box(MessageDesk& desk, std::string_view text) {
  desk.show_message_box(kNoticeBoxTitle, std::string(text.substr(0, kNoticeCapacity - 1)));
}

}  // namespace tq
