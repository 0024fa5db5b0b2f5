#pragma once
// A PanelWindow that remembers what the core asked of it.

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/panel_window.h"

namespace tq::testing {

class RecordingWindow : public PanelWindow {
 public:
  void set_box_text(Box box, const std::string& text) override {
    log("set_box_text " + std::to_string(index(box)) + " " + text);
    box_texts[index(box)] = text;
  }
  std::string box_text(Box box) override {
    log("box_text " + std::to_string(index(box)));
    return box_texts[index(box)];
  }
  void set_bar_position(Bar bar, int position) override {
    log("set_bar_position " + std::to_string(index(bar)) + " " + std::to_string(position));
    bar_positions[index(bar)] = position;
  }
  void focus_main_window() override {
    log("focus_main_window");
    ++focus_requests;
  }
  void request_close() override { log("request_close"); }
  void show_message_box(const std::string& title, const std::string& text) override {
    log("show_message_box");
    boxes.emplace_back(title, text);
  }
  void open_web_address(const std::string& address) override {
    log("open_web_address " + address);
    addresses.push_back(address);
  }
  std::uint32_t tick_count() override {
    log("tick_count");
    tick += tick_step;
    return tick - tick_step;
  }

  // What the user typed into a box, as the box would hold it.
  void type(Box box, const std::string& text) { box_texts[index(box)] = text; }

  std::array<std::string, 3> box_texts{};
  std::array<int, 3> bar_positions{-1, -1, -1};
  int focus_requests = 0;
  std::vector<std::pair<std::string, std::string>> boxes;  // title, text
  std::vector<std::string> addresses;
  std::uint32_t tick = 1000;
  std::uint32_t tick_step = 0;     // added after every reading
  std::vector<std::string> calls;  // every call above, in order

 private:
  void log(std::string call) { calls.push_back(std::move(call)); }
  template <typename E>
  static std::size_t index(E e) {
    return static_cast<std::size_t>(e);
  }
};

}  // namespace tq::testing
