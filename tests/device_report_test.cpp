#include "info/device_report.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/generator.h"
#include "doubles/recording_wave_out.h"
#include "doubles/recording_window.h"
#include "info/message_boxes.h"

namespace tq {
namespace {

using testing::FakeDevice;

const std::string kCompatible = "This device is compatible with tq_daro\n";
const std::string kNotCompatible = "This device is not compatible with tq_daro\n";
const std::string kCutMark = "\n[Report cut short: too many devices to list]\n";

// The report as the box shows it.
std::string shown_report(testing::RecordingWaveOut& wave_out) {
  testing::RecordingWindow window;
  Generator generator(wave_out, window);
  report_sound_devices(generator);
  EXPECT_EQ(window.boxes.size(), 1u);
  EXPECT_EQ(window.boxes.at(0).first, kTextBoxTitle);
  return window.boxes.at(0).second;
}

TEST(DeviceReport, ListsEachRecordFieldInItsFormat) {
  testing::RecordingWaveOut wave_out;
  EXPECT_EQ(shown_report(wave_out), "Number of sound output devices is 0\n");
  FakeDevice device;
  device.caps = {1, 65535, 0x50000, "Speakers 100% %s %d", 0xFFFFF, 2, 0x2C};
  device.accepts = [](std::uint32_t rate) { return rate <= 48000; };
  FakeDevice failing;
  failing.caps_result = kMmNoDriver;
  FakeDevice long_name;
  std::memset(long_name.caps.product_name, 'N', sizeof long_name.caps.product_name);
  wave_out.devices = {device, failing, long_name};
  const std::string report = shown_report(wave_out);
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
  EXPECT_NE(report.find("\nProduct name = " + std::string(31, 'N') + "\nStandard"),
            std::string::npos);
  EXPECT_EQ(wave_out.queries, 3 * 9990);
}

TEST(DeviceReport, MaxRateIsTheLargestAcceptedRateOfTheGrid) {
  const struct {
    bool (*accepts)(std::uint32_t);
    std::int32_t max_rate;
    const std::string& verdict;
  } cases[] = {
      {[](std::uint32_t r) { return r == 48000; }, 48000, kCompatible},
      {[](std::uint32_t r) { return r <= 44000; }, 44000, kNotCompatible},
      {[](std::uint32_t r) { return r == 44100; }, 44100, kCompatible},
      {[](std::uint32_t) { return false; }, 0, kNotCompatible},
      {[](std::uint32_t r) { return r == 1000; }, 1000, kNotCompatible},
      {[](std::uint32_t r) { return r == 44150 || r >= 1000000; }, 0, kNotCompatible},
  };
  for (const auto& c : cases) {
    testing::RecordingWaveOut wave_out;
    wave_out.devices.resize(1);
    wave_out.devices[0].accepts = c.accepts;
    bool stereo16 = true;
    wave_out.on_query = [&](std::uint32_t, const WaveFormat& f) {
      stereo16 = stereo16 && f.format_tag == 1 && f.channels == 2 && f.block_align == 4 &&
                 f.bits_per_sample == 16 && f.avg_bytes_per_sec == f.samples_per_sec * 4;
    };
    EXPECT_EQ(max_playback_rate(wave_out, 0), c.max_rate);
    EXPECT_TRUE(stereo16);
    EXPECT_TRUE(shown_report(wave_out).ends_with(
        "\nMax playback rate =" + std::to_string(c.max_rate) + " : " + c.verdict));
    EXPECT_FALSE(wave_out.is_open);
  }
}

TEST(DeviceReport, StaysUnder10000CharactersAndMarksACut) {
  for (const std::size_t devices : {20u, 40u, 300u}) {
    testing::RecordingWaveOut wave_out;
    FakeDevice device;
    device.caps = {65535, 65535, 0xFFFFFFFF, {}, 0xFFFFFFFF, 65535, 0xFFFFFFFF};
    std::memset(device.caps.product_name, 'L', 31);
    device.accepts = [](std::uint32_t r) { return r == 100000; };
    wave_out.devices.assign(devices, device);
    const std::string report = shown_report(wave_out);
    const bool cut = devices > 20;
    EXPECT_LE(report.size(), 9999u) << devices;
    EXPECT_TRUE(report.starts_with("Number of sound output devices is " + std::to_string(devices)));
    EXPECT_EQ(report.ends_with(kCutMark), cut) << devices;
    if (cut) {
      EXPECT_GT(report.size(), 9999u - 300u) << "cut far too early";
      EXPECT_EQ(report[report.size() - kCutMark.size() - 1], '\n') << "cut inside a line";
    }
  }
}

}  // namespace
}  // namespace tq
