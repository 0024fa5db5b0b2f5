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
using testing::RecordingWaveOut;
using testing::RecordingWindow;

const std::string kCompatible = "This device is compatible with tq_daro\n";
const std::string kNotCompatible = "This device is not compatible with tq_daro\n";

FakeDevice device_named(const char* name) {
  FakeDevice device;
  std::strncpy(device.caps.product_name, name, sizeof device.caps.product_name);
  return device;
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(DeviceReport, NoDevicesGivesTheCountLineAlone) {
  RecordingWaveOut wave_out;
  RecordingWindow window;
  Generator generator(wave_out, window);
  report_sound_devices(generator);
  ASSERT_EQ(window.boxes.size(), 1u);
  EXPECT_EQ(window.boxes[0].first, kTextBoxTitle);
  EXPECT_EQ(window.boxes[0].second, "Number of sound output devices is 0\n");
  EXPECT_EQ(wave_out.queries, 0);
}

TEST(DeviceReport, WritesEachRecordFieldInItsFormat) {
  RecordingWaveOut wave_out;
  FakeDevice device = device_named("Speakers 100% %s %d");
  device.caps.manufacturer_id = 1;
  device.caps.product_id = 65535;
  device.caps.driver_version = 0x50000;
  device.caps.formats = 0xFFFFF;
  device.caps.channels = 2;
  device.caps.support = 0x2C;
  device.accepts = [](std::uint32_t rate) { return rate <= 48000; };
  wave_out.devices = {device, device_named("Line out")};
  wave_out.devices[1].caps_result = kMmNoDriver;

  EXPECT_EQ(device_report_text(wave_out),
            "Number of sound output devices is 2\n"
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
}

TEST(DeviceReport, NameIsCutAt31CharactersWithoutATerminator) {
  RecordingWaveOut wave_out;
  FakeDevice device;
  std::memset(device.caps.product_name, 'N', sizeof device.caps.product_name);
  wave_out.devices = {device};
  EXPECT_TRUE(contains(device_report_text(wave_out),
                       "\nProduct name = " + std::string(31, 'N') + "\nStandard"));
}

TEST(DeviceReport, MaxRateIsTheLargestAcceptedRateOfTheGrid) {
  const struct {
    const char* name;
    bool (*accepts)(std::uint32_t);
    std::int32_t max_rate;
    const std::string& verdict;
  } cases[] = {
      {"48000 only", [](std::uint32_t r) { return r == 48000; }, 48000, kCompatible},
      {"up to 44000", [](std::uint32_t r) { return r <= 44000; }, 44000, kNotCompatible},
      {"44100 only", [](std::uint32_t r) { return r == 44100; }, 44100, kCompatible},
      {"none", [](std::uint32_t) { return false; }, 0, kNotCompatible},
      {"1000 only", [](std::uint32_t r) { return r == 1000; }, 1000, kNotCompatible},
      {"all", [](std::uint32_t) { return true; }, 999900, kCompatible},
      {"off the grid", [](std::uint32_t r) { return r == 44150 || r >= 1000000; }, 0,
       kNotCompatible},
  };
  for (const auto& c : cases) {
    RecordingWaveOut wave_out;
    FakeDevice device;
    device.accepts = c.accepts;
    wave_out.devices = {device};
    EXPECT_EQ(max_playback_rate(wave_out, 0), c.max_rate) << c.name;
    EXPECT_TRUE(contains(device_report_text(wave_out),
                         "\nMax playback rate =" + std::to_string(c.max_rate) + " : " + c.verdict))
        << c.name;
  }
}

TEST(DeviceReport, ProbesEachDevice9990TimesWithTheStereoFormat) {
  RecordingWaveOut wave_out;
  wave_out.devices.resize(3);
  long bad_formats = 0;
  wave_out.on_query = [&](std::uint32_t, const WaveFormat& format) {
    const bool stereo16 = format.format_tag == 1 && format.channels == 2 &&
                          format.block_align == 4 && format.bits_per_sample == 16 &&
                          format.extra_size == 0 &&
                          format.avg_bytes_per_sec == format.samples_per_sec * 4;
    if (!stereo16) ++bad_formats;
  };
  device_report_text(wave_out);
  EXPECT_EQ(wave_out.queries, 3 * 9990);
  EXPECT_EQ(bad_formats, 0);
  EXPECT_FALSE(wave_out.is_open);
  EXPECT_TRUE(wave_out.calls.empty());  // no stream opened, no volume touched
}

TEST(DeviceReport, StaysUnder10000CharactersAndMarksACut) {
  const struct {
    int devices;
    bool cut;
  } cases[] = {{20, false}, {40, true}, {300, true}};
  for (const auto& c : cases) {
    RecordingWaveOut wave_out;
    FakeDevice device = device_named(std::string(31, 'L').c_str());
    device.caps = {65535, 65535, 0xFFFFFFFF, {}, 0xFFFFFFFF, 65535, 0xFFFFFFFF};
    std::memset(device.caps.product_name, 'L', 31);
    device.accepts = [](std::uint32_t r) { return r == 100000; };
    wave_out.devices.assign(static_cast<std::size_t>(c.devices), device);
    RecordingWindow window;
    Generator generator(wave_out, window);
    report_sound_devices(generator);
    ASSERT_EQ(window.boxes.size(), 1u);
    const std::string& text = window.boxes[0].second;
    const std::string mark = "\n[Report cut short: too many devices to list]\n";
    EXPECT_LE(text.size(), 9999u) << c.devices;
    EXPECT_EQ(text.starts_with("Number of sound output devices is " + std::to_string(c.devices)),
              true);
    EXPECT_EQ(text.ends_with(mark), c.cut) << c.devices;
    if (c.cut) {
      EXPECT_GT(text.size(), 9999u - 300u) << "cut far too early";
      EXPECT_EQ(text[text.size() - mark.size() - 1], '\n') << "cut inside a line";
    } else {
      EXPECT_TRUE(text.ends_with("Max playback rate =100000 : " + kCompatible));
    }
  }
}

}  // namespace
}  // namespace tq
