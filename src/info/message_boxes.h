#pragma once
// The two message boxes through which the program speaks to the user.

#include <string>
#include <string_view>

#include "info/message_desk.h"

namespace tq {

inline constexpr const char* kTextBoxTitle = "Message Zavadudor Eduzuvovo";
inline constexpr const char* kNoticeBoxTitle = "Message from Varnholt Tonquill";
inline constexpr std::size_t kNoticeCapacity = 1000;  // terminator included

// Substitutes `first` and `second` for the first two "%s" of `format`
// ("%%" gives "%"; anything else is copied as it stands). The result is
// limited to strlen(format) + strlen(first) + strlen(second) + 9 characters.
std::string format_text_box(const char* format, const char* first, const char* second);
void show_text_box(MessageDesk& desk, const char* format, const char* first, const char* second);
// Shows at most 999 characters of `text`, unchanged.
void show_notice_box(MessageDesk& desk, std::string_view text);

}  // namespace tq
