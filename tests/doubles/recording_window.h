#pragma once
// A PanelWindow that remembers what the core asked of it.

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
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
  // Kept until run_posted(); may come from any thread.
  void post_to_window(std::function<void()> task) override {
    const std::lock_guard lock(posted_mutex_);
    posted_.push_back(std::move(task));
    posted_changed_.notify_all();
  }
  std::uint32_t tick_count() override {
    log("tick_count");
    tick += tick_step;
    return tick - tick_step;
  }

  // Waits (at most 10 s, so a fault fails instead of hanging) until `count`
  // tasks have been posted since the last run_posted().
  bool wait_for_posted(std::size_t count = 1) {
    std::unique_lock lock(posted_mutex_);
    return posted_changed_.wait_for(lock, std::chrono::seconds(10),
                                    [&] { return posted_.size() >= count; });
  }
  // Runs the posted tasks in order, as the window's thread would.
  void run_posted() {
    std::vector<std::function<void()>> tasks;
    {
      const std::lock_guard lock(posted_mutex_);
      tasks.swap(posted_);
    }
    for (auto& task : tasks) task();
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
  std::mutex posted_mutex_;
  std::condition_variable posted_changed_;
  std::vector<std::function<void()>> posted_;
  template <typename E>
  static std::size_t index(E e) {
    return static_cast<std::size_t>(e);
  }
};

}  // namespace tq::testing
