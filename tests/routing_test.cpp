#include "app/routing.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <tuple>
#include <vector>

#include "app/lifetime.h"
#include "doubles/recorded_generator.h"
#include "info/device_report.h"
#include "info/info_commands.h"
#include "info/message_boxes.h"
#include "panel/frequency_control.h"
#include "panel/level_control.h"
#include "panel/scroll_codes.h"

namespace tq {
namespace {

struct Fixture : testing::RecordedGenerator {
  Fixture() {
    window.type(Box::frequency, "440");
    window.type(Box::left_level, "-10");
    window.type(Box::right_level, "-20");
    generator.signal.channels[0].waveform = 0;  // so that selecting Sine shows
  }
  // Everything a command could have touched.
  auto effects() const {
    const auto& c = generator.signal.channels;
    return std::tuple(window.calls, window.boxes, wave_out.calls, generator.panel.frequency,
                      generator.panel.level_db, c[0].waveform, c[1].waveform, c[0].frequency,
                      c[1].frequency);
  }
};

// A routed command does what its handler does when called directly; only
// the low 16 bits of the id count, and a radio id acts whatever the
// notification.
TEST(RouteCommand, EveryIdOfTheTable) {
  using Action = std::function<void(Generator&, int notification)>;
  std::vector<std::pair<int, Action>> cases = {
      {5, [](Generator& g, int) { g.window.request_close(); }},
      {0x10005, [](Generator& g, int) { g.window.request_close(); }},
      {40, [](Generator& g, int) { show_help_box(g.window); }},
      {41, [](Generator& g, int) { show_about_box(g.window); }},
      {50,
       [](Generator& g, int n) { on_frequency_entry(g.panel, g.signal.channels, g.window, n); }},
      {51, [](Generator& g, int n) { on_level_entry(g.panel, g.wave_out, g.window, 0, n); }},
      {0x7FFF0000 + 56,
       [](Generator& g, int n) { on_level_entry(g.panel, g.wave_out, g.window, 1, n); }},
      {69,
       [](Generator& g, int) {
         show_timing_report(g.window, g.window, g.stream.waveoutproctime, g.start_tick);
       }},
      {72, [](Generator& g, int) { open_product_page(g.window); }},
  };
  const std::tuple<WaveformKind, int, int> radios[] = {
      {kSine, 52, 57},
      {kSquare, 53, 58},
      {kSawtooth, 54, 59},
      {kPulse, 55, 60},
      {kTriangle, 61, 62},
      {kWhiteNoise, 65, 66},
      {kPinkNoise, 67, 0x12340000 + 68},
  };
  for (const auto& [kind, left, right] : radios) {
    cases.emplace_back(left, [k = kind](Generator& g, int) {
      on_waveform_selected(g.signal.channels, g.window, 0, k);
    });
    cases.emplace_back(right, [k = kind](Generator& g, int) {
      on_waveform_selected(g.signal.channels, g.window, 1, k);
    });
  }
  for (const auto& [id, action] : cases) {
    for (const int notification : {kEnMaxText, kEnChange}) {
      Fixture routed;
      Fixture direct;
      EXPECT_EQ(route_command(routed.generator, id, notification), CommandResult::handled);
      action(direct.generator, notification);
      EXPECT_EQ(routed.effects(), direct.effects()) << id;
      const bool acted = routed.effects() != Fixture().effects();
      EXPECT_TRUE(acted || notification != kEnMaxText) << id;
    }
  }
}

// The device report runs beside the window's thread: the command returns
// while the devices are still being probed, a second request starts no
// second report, and the finished text is the report shown in place.
TEST(RouteCommand, DeviceReportRunsBesideTheWindowsThread) {
  Fixture f;
  f.wave_out.devices.resize(1);
  f.wave_out.devices[0].accepts = [](std::uint32_t rate) { return rate <= 48000; };
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  long queries = 0;
  f.wave_out.on_query = [&](std::uint32_t, const WaveFormat&) {
    if (++queries == 1) released.wait_for(std::chrono::seconds(10));
  };
  for (const int notification : {0, kEnMaxText}) {
    EXPECT_EQ(route_command(f.generator, 70, notification), CommandResult::handled);
  }
  EXPECT_TRUE(f.window.boxes.empty());
  release.set_value();
  ASSERT_TRUE(f.window.wait_for_posted());
  f.window.run_posted();
  EXPECT_EQ(queries, 9520);  // one report
  testing::RecordingWaveOut reference;
  reference.devices = f.wave_out.devices;
  EXPECT_EQ(f.window.boxes,
            (decltype(f.window.boxes){{kTextBoxTitle, device_report_text(reference)}}));
  route_command(f.generator, 70, 0);  // the next request starts a new one
  ASSERT_TRUE(f.window.wait_for_posted());
  f.window.run_posted();
  EXPECT_EQ(f.window.boxes.size(), 2u);
}

// A report still running when the window goes is stopped and never shown.
TEST(RouteCommand, DeviceReportEndsWithTheWindow) {
  Fixture f;
  f.wave_out.devices.resize(3);
  for (testing::FakeDevice& device : f.wave_out.devices)
    device.accepts = [](std::uint32_t) { return false; };
  std::promise<void> started;
  long queries = 0;
  f.wave_out.on_query = [&](std::uint32_t, const WaveFormat&) {
    if (++queries == 1) started.set_value();
  };
  route_command(f.generator, 70, 0);
  started.get_future().wait();
  on_main_window_destroyed(f.generator);
  f.window.run_posted();
  EXPECT_TRUE(f.window.boxes.empty());
  EXPECT_FALSE(f.generator.report.thread.joinable());
}

TEST(RouteCommand, UnknownIdsGoToTheDefault) {
  std::vector<int> ids = {63, 64, 71, 73, 1000, 0xFFFF, 0x10000, 0x7FFF0000 + 63, -1};
  for (int id = 0; id <= 49; ++id) {
    if (id != 5 && id != 40 && id != 41) ids.push_back(id);
  }
  for (const int id : ids) {
    Fixture f;
    EXPECT_EQ(route_command(f.generator, id, kEnMaxText), CommandResult::pass_to_default) << id;
    EXPECT_TRUE(f.window.calls.empty() && f.wave_out.calls.empty()) << id;
  }
}

TEST(RouteHorizontalScroll, EverySourceEndsWithTheFrequencyCopied) {
  const std::tuple<ScrollSource, double, double, double> cases[] = {
      {ScrollSource::none, 440, -50, -50},
      {ScrollSource::frequency, 144.19, -50, -50},
      {ScrollSource::left_level, 440, -49, -50},
      {ScrollSource::right_level, 440, -50, -49},
  };
  for (const auto& [source, frequency, left_db, right_db] : cases) {
    Fixture f;
    f.generator.panel.frequency = 440.0;  // the channels are still at 1 Hz
    const int code = source == ScrollSource::frequency ? kSbThumbTrack : kSbLineRight;
    route_horizontal_scroll(f.generator, source, code, 128);
    EXPECT_EQ(f.generator.panel.frequency, frequency);
    EXPECT_EQ(f.generator.signal.channels[0].frequency, frequency);
    EXPECT_EQ(f.generator.signal.channels[1].frequency, frequency);
    EXPECT_EQ(f.generator.panel.level_db, (std::array<double, 2>{left_db, right_db}));
    EXPECT_EQ(f.window.calls.empty(), source == ScrollSource::none);
  }
}

TEST(RouteDeviceMessage, ReachesTheStream) {
  Fixture f;
  ASSERT_TRUE(open_output_stream(f.generator.stream, f.wave_out, 0x77).opened);
  f.generator.signal.random.state = 12345;
  route_device_message(f.generator, kMmWomOpen, nullptr);
  EXPECT_EQ(f.generator.signal.random.state, 1u);  // OPEN reseeds the noise
  const std::size_t calls = f.wave_out.calls.size() + f.window.calls.size();
  route_device_message(f.generator, 0x3BE, f.wave_out.queue.front());  // not a device event
  route_device_message(f.generator, kMmWomClose, nullptr);
  EXPECT_EQ(f.wave_out.calls.size() + f.window.calls.size(), calls);
  WaveHeader* done = f.wave_out.finish_next();
  route_device_message(f.generator, kMmWomDone, done);
  EXPECT_EQ(f.wave_out.calls.back(), "write " + std::to_string(done->user));
}

// A window whose boxes stay open until the test closes them.
struct WindowWithOpenBoxes : testing::RecordingWindow {
  bool message_box_open(const std::string& text) override {
    for (std::size_t i = closed; i < boxes.size(); ++i) {
      if (boxes[i].second == text) return true;
    }
    return false;
  }
  void close_all() { closed = boxes.size(); }
  std::size_t open_count() const { return boxes.size() - closed; }
  std::size_t closed = 0;
};

// Each loss is told in one notice box, unless the last one is still open;
// the return of the device and the playing after it show nothing. A refill
// the device refuses is told once, whatever follows.
TEST(RouteDeviceMessage, LostDeviceAndRefusedRefillsAreToldWithoutStacking) {
  testing::RecordingWaveOut wave_out;
  WindowWithOpenBoxes window;
  Generator generator(wave_out, window);
  ASSERT_TRUE(open_output_stream(generator.stream, wave_out, 0x77).opened);
  const auto route = [&](std::uint32_t message) {
    route_device_message(generator, message,
                         message == kMmWomDone ? wave_out.finish_next() : nullptr);
  };
  for (const std::uint32_t message :
       {kDeviceLost, kDeviceBack, kMmWomDone, kDeviceLost, kDeviceBack, kDeviceLost}) {
    route(message);
  }
  ASSERT_EQ(window.open_count(), 1u);
  EXPECT_EQ(window.boxes[0].first, kNoticeBoxTitle);
  EXPECT_EQ(window.boxes[0].second, kDeviceLostNotice);
  window.close_all();
  route(kDeviceBack);
  route(kDeviceLost);
  EXPECT_EQ(window.open_count(), 1u) << "a loss after the box was closed is told again";

  window.close_all();
  wave_out.error_texts[kMmNoMem] = "The device refused the buffer.";
  wave_out.fail("write", kMmNoMem, 4);  // two writes of the open, the refill above, then this
  wave_out.fail("prepare", kMmNoMem, 5);
  route(kMmWomDone);
  route(kMmWomDone);
  ASSERT_EQ(window.open_count(), 1u);
  EXPECT_EQ(window.boxes.back().second, "The device refused the buffer.");
}

}  // namespace
}  // namespace tq
