#include "info/device_report.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "doubles/recorded_generator.h"
#include "info/message_boxes.h"

namespace tq {
namespace {

using testing::FakeDevice;

const std::string kCompatible = "This device is compatible with tq_daro\n";
const std::string kNotCompatible = "This device is not compatible with tq_daro\n";
const std::string kCutMark = "\n[Report cut short: too many devices to list]\n";

// The report as the box shows it, over `devices`; counts the format queries.
std::string shown_report(const std::vector<FakeDevice>& devices, long* queries = nullptr) {
  testing::RecordedGenerator r;
  r.wave_out.devices = devices;
  bool stereo16 = true;  // every query asks for 16-bit stereo PCM
  r.wave_out.on_query = [&](std::uint32_t, const WaveFormat& f) {
    stereo16 = stereo16 && f.format_tag == 1 && f.channels == 2 && f.block_align == 4 &&
               f.bits_per_sample == 16 && f.avg_bytes_per_sec == f.samples_per_sec * 4;
    if (queries) ++*queries;
  };
  report_sound_devices(r.wave_out, r.window);
  EXPECT_TRUE(stereo16 && !r.wave_out.is_open);
  EXPECT_EQ(r.window.boxes.size(), 1u);
  EXPECT_EQ(r.window.boxes.at(0).first, kTextBoxTitle);
  return r.window.boxes.at(0).second;
}

TEST(DeviceReport, ListsEachRecordFieldInItsFormat) {
  EXPECT_EQ(shown_report({}), "Number of sound output devices is 0\n");
  FakeDevice device;
  device.caps = {1, 65535, 0x50000, "Speakers 100% %s %d", 0xFFFFF, 2, 0x2C};
  device.accepts = [](std::uint32_t rate) { return rate <= 48000; };
  FakeDevice failing;
  failing.caps_result = kMmNoDriver;
  FakeDevice long_name;  // 32 characters and no terminator
  std::memset(long_name.caps.product_name, 'N', sizeof long_name.caps.product_name);
  long queries = 0;
  const std::string report = shown_report({device, failing, long_name}, &queries);
  EXPECT_EQ(report.substr(0, report.find("\nDevice id=2\n")),
            "Number of sound output devices is 3\n"
            "\nDevice id=0\n"
            "Manufacturer identifier =1; Product identifier =65535\n"
            "Version number of the device driver  =0X50000\n"
            "Product name = Speakers 100% %s %d\n"
            "Standard formats that are supported  =0Xfffff\n"
            "Number of channels that are supported  =2\n"
            "Optional functionality supported  =0X2c\n"
            "Max playback rate =48000 : " +
                kCompatible +
                "\nDevice id=1\n"
                "Device capabilities could not be read: error text 6\n"
                "Max playback rate =999900 : " +
                kCompatible);
  EXPECT_NE(report.find("\nProduct name = " + std::string(31, 'N') + "\nStandard"), report.npos);
  // From 999900 down: 9520 queries to reach 48000, one for each of the others.
  EXPECT_EQ(queries, 9520 + 1 + 1);
}

// The search from the top finds what a scan of the whole grid upwards
// finds, with a query for each rate above the answer and one for it.
TEST(DeviceReport, MaxRateIsTheLargestAcceptedRateOfTheGrid) {
  using Accepts = bool (*)(std::uint32_t);
  const std::tuple<Accepts, std::int32_t, const std::string&, long> cases[] = {
      {[](std::uint32_t) { return true; }, 999900, kCompatible, 1},
      {[](std::uint32_t r) { return r <= 192000; }, 192000, kCompatible, 8080},
      {[](std::uint32_t r) { return r == 48000; }, 48000, kCompatible, 9520},
      {[](std::uint32_t r) { return r <= 44000; }, 44000, kNotCompatible, 9560},
      {[](std::uint32_t r) { return r == 44100; }, 44100, kCompatible, 9559},
      {[](std::uint32_t r) { return r == 1000; }, 1000, kNotCompatible, 9990},
      {[](std::uint32_t) { return false; }, 0, kNotCompatible, 9990},
      {[](std::uint32_t r) { return r == 44150 || r >= 1000000; }, 0, kNotCompatible, 9990},
  };
  for (const auto& [accepts, max_rate, verdict, expected_queries] : cases) {
    std::int32_t full_scan = 0;
    for (std::uint32_t rate = 1000; rate < 1000000; rate += 100) {
      if (accepts(rate)) full_scan = static_cast<std::int32_t>(rate);
    }
    EXPECT_EQ(full_scan, max_rate);
    FakeDevice device;
    device.accepts = accepts;
    long queries = 0;
    EXPECT_TRUE(
        shown_report({device}, &queries)
            .ends_with("\nMax playback rate =" + std::to_string(max_rate) + " : " + verdict));
    EXPECT_EQ(queries, expected_queries) << max_rate;
  }
}

// A stop request ends the search without another query.
TEST(DeviceReport, StopRequestEndsTheProbe) {
  testing::RecordingWaveOut wave_out;
  wave_out.devices.resize(2);
  wave_out.devices[0].accepts = [](std::uint32_t) { return false; };
  std::stop_source stop;
  long queries = 0;
  wave_out.on_query = [&](std::uint32_t, const WaveFormat&) {
    if (++queries == 10) stop.request_stop();
  };
  device_report_text(wave_out, stop.get_token());
  EXPECT_EQ(queries, 10);
}

// 40 devices with the longest fields overrun the 9999 characters; the report
// is cut after a whole line, close to the limit, and marked.
TEST(DeviceReport, StaysUnder10000CharactersAndMarksACut) {
  for (const std::size_t count : {20u, 40u}) {
    FakeDevice device;
    device.caps = {65535, 65535, 0xFFFFFFFF, {}, 0xFFFFFFFF, 65535, 0xFFFFFFFF};
    std::memset(device.caps.product_name, 'L', 31);
    const std::string report = shown_report(std::vector<FakeDevice>(count, device));
    EXPECT_TRUE(report.starts_with("Number of sound output devices is " + std::to_string(count)));
    EXPECT_LE(report.size(), 9999u) << count;
    EXPECT_EQ(report.ends_with(kCutMark), count == 40) << count;
    if (count == 40) {
      EXPECT_GT(report.size(), 9999u - 300u) << "cut far too early";
      EXPECT_EQ(report[report.size() - kCutMark.size() - 1], '\n') << "cut inside a line";
    }
  }
}

}  // namespace
}  // namespace tq
