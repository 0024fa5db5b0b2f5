#pragma once
// Builds a message from pieces. (GCC 12 warns falsely about "literal" +
// std::string at -O3, so the messages are joined rather than added.)

#include <initializer_list>
#include <string>
#include <string_view>

namespace tq::render {

inline std::string join(std::initializer_list<std::string_view> pieces) {
  std::string text;
  for (const std::string_view piece : pieces) text += piece;
  return text;
}

}  // namespace tq::render
