// The device list as the report shows it: what a user can play to, each
// device named, busy and missing devices said in plain words, error texts
// whole, and nothing written to the terminal but by the program.

#include <fcntl.h>
#include <unistd.h>

#include <regex>
#include <set>

#include "alsa_test_support.h"
#include "info/device_report.h"
#include "platform/alsa/device_space.h"
#include "platform/alsa/error_texts.h"

namespace tq::testing {
namespace {

TEST(AlsaDeviceList, HintsListedAreThingsToPlayTo) {
  const struct {
    const char* name;
    bool jack_running;
    bool oss_present;
    bool listed;
  } cases[] = {
      {"pulse", false, false, true},
      {"pipewire", false, false, true},
      {"my_headset", false, false, true},  // a PCM of the user's own configuration
      {"jack", false, false, false},
      {"jack", true, false, true},
      {"oss", false, false, false},
      {"oss", false, true, true},
      {"null", false, false, false},
      {"lavrate", false, false, false},
      {"speexrate", false, false, false},
      {"upmix", false, false, false},
      {"vdownmix", false, false, false},
      {"sysdefault", false, false, false},
      {"sysdefault:CARD=PCH", false, false, false},
      {"front:CARD=PCH,DEV=0", false, false, false},
      {"surround51:CARD=PCH,DEV=0", false, false, false},
      {"dmix:CARD=PCH,DEV=0", false, false, false},
      {"hdmi:CARD=HDMI,DEV=0", false, false, false},
      {"plughw:CARD=PCH,DEV=0", false, false, false},
      {"", false, false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(is_listed_hint(c.name, c.jack_running, c.oss_present), c.listed)
        << c.name << " jack " << c.jack_running << " oss " << c.oss_present;
  }
}

// A /proc/asound of the test's own: card 0's device 0 held by a sound
// server at 48000 Hz (one substream closed), its stream file offering three
// playback rates and one capture rate; device 1 tells nothing.
TEST(AlsaDeviceList, BusyDeviceRatesComeFromWhatTheKernelTells) {
  TempDir proc;
  std::filesystem::create_directories(proc / "card0/pcm0p/sub0");
  std::filesystem::create_directories(proc / "card0/pcm0p/sub1");
  std::ofstream(proc / "card0/pcm0p/sub0/hw_params") << "closed\n";
  std::ofstream(proc / "card0/pcm0p/sub1/hw_params")
      << "access: MMAP_INTERLEAVED\nformat: S16_LE\nsubformat: STANDARD\nchannels: 2\n"
         "rate: 48000 (48000/1)\nperiod_size: 1024\nbuffer_size: 4096\n";
  std::ofstream(proc / "card0/stream0")
      << "Vendor USB Audio at usb-0000:00:14.0-1, full speed : USB Audio\n\n"
         "Playback:\n  Status: Running\n  Interface 1\n    Format: S16_LE\n"
         "    Channels: 2\n    Rates: 44100, 48000, 96000\n\n"
         "Capture:\n  Interface 2\n    Format: S16_LE\n    Rates: 8000\n";
  const std::string root = (proc / "").string();
  EXPECT_EQ(kernel_told_rates(root, 0, 0), (std::vector<unsigned>{44100, 48000, 96000}));
  EXPECT_TRUE(kernel_told_rates(root, 0, 1).empty());
  EXPECT_TRUE(kernel_told_rates(root, 3, 0).empty());

  const DeviceSpace busy = busy_device_space(kernel_told_rates(root, 0, 0));
  EXPECT_EQ(busy.open_error, -EBUSY);
  const auto accepts = [&](std::uint32_t rate) {
    WaveFormat format{};
    format.samples_per_sec = rate;
    format.avg_bytes_per_sec = rate * 4;
    return space_accepts(busy, format);
  };
  EXPECT_TRUE(accepts(44100));
  EXPECT_TRUE(accepts(96000));
  EXPECT_FALSE(accepts(96100));
  EXPECT_FALSE(accepts(8000));
  EXPECT_FALSE(space_accepts(busy_device_space({}), WaveFormat{}));
}

TEST(AlsaDeviceList, FailureTextsNameTheDeviceInPlainWordsAndFitWhole) {
  EXPECT_EQ(device_failure_text(kMmAllocated, "HDA Intel PCH, ALC892 Analog", "hw:CARD=PCH,DEV=0",
                                "Device or resource busy"),
            "HDA Intel PCH, ALC892 Analog (hw:CARD=PCH,DEV=0) is in use by another program.");
  EXPECT_EQ(
      device_failure_text(kMmNoDriver, "PulseAudio Sound Server", "pulse", "Connection refused"),
      "PulseAudio Sound Server (pulse) is not available (ALSA: Connection refused).");
  EXPECT_EQ(device_failure_text(kMmNoDriver, "default", "default", ""),
            "default is not available.");
  EXPECT_EQ(device_failure_text(kMmNoMem, "tq", "tq", "Cannot allocate memory"),
            "tq: There is not enough memory for the sound device (ALSA: Cannot allocate memory).");

  // The longest names a device gets, with ALSA's longest reasons.
  const std::string name31 = "Generic USB Audio Device Output";
  const std::string long_pcm = "hw:CARD=Generic_USB_Audio_Device,DEV=12";
  const std::string long_reason = "Connection refused by the sound server on the other side";
  const std::regex whole(R"(.*[.)]$)");
  for (const MMResult result : {kMmAllocated, kMmNoDriver, kMmError, kMmNoMem, kWaveBadFormat}) {
    for (const std::string& text :
         {device_failure_text(result, name31, long_pcm, long_reason),
          open_failure_text(result, long_reason), open_failure_text(result, "")}) {
      EXPECT_LE(text.size(), kMaxErrorTextLength) << text;
      EXPECT_TRUE(std::regex_match(text, whole)) << text;
      EXPECT_EQ(text.find("  "), std::string::npos) << text;
    }
  }
  // Nothing fits: cut after the last whole word.
  const std::string words(200, 'x');
  EXPECT_EQ(first_that_fits({"first " + std::string(130, 'y'), "abc " + words}), "abc");
}

// Standard error captured while `run` runs.
std::string error_output_of(const std::function<void()>& run) {
  TempDir dir;
  const std::string path = (dir / "stderr").string();
  std::fflush(stderr);
  const int saved = dup(2);
  const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  dup2(file, 2);
  close(file);
  run();
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  const std::vector<char> bytes = read_bytes(path);
  return {bytes.begin(), bytes.end()};
}

// Every device block of a report, from its "Device id=" line on.
std::vector<std::string> device_blocks(const std::string& report) {
  std::vector<std::string> blocks;
  for (std::size_t at = report.find("\nDevice id="); at != std::string::npos;) {
    const std::size_t next = report.find("\nDevice id=", at + 1);
    blocks.push_back(report.substr(at, next == std::string::npos ? next : next - at));
    at = next;
  }
  return blocks;
}

// The system's own ALSA configuration, every plugin of Debian's packages
// installed, and a sound server that does not answer.
class AlsaSystemListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("ALSA_CONFIG_PATH", "/usr/share/alsa/alsa.conf", 1);
    setenv("PULSE_SERVER", ("unix:" + (dir / "no-server").string()).c_str(), 1);
    std::ofstream(dir / "client.conf") << "autospawn = no\n";
    setenv("PULSE_CLIENTCONFIG", (dir / "client.conf").c_str(), 1);
  }
  void TearDown() override {
    for (const char* name : {"PULSE_SERVER", "PULSE_CLIENTCONFIG"}) unsetenv(name);
  }
  TempDir dir;
  EventLog events;
};

TEST_F(AlsaSystemListTest, EveryDeviceNamedOnceAndTheTerminalKeptQuiet) {
  std::string report;
  const std::string printed = error_output_of([&] {
    AlsaWaveOut service(events.sink());
    report = device_report_text(service);
  });
  EXPECT_EQ(printed, "");
  const std::vector<OutputDevice> devices = list_output_devices();
  ASSERT_FALSE(devices.empty());
  EXPECT_EQ(devices[0].pcm, "default");
  std::set<std::string> names;
  std::size_t cards = 0;
  for (const OutputDevice& device : devices) {
    EXPECT_TRUE(names.insert(device.description).second) << device.description;
    EXPECT_EQ(device.pcm.find(':') != std::string::npos, device.card >= 0) << device.pcm;
    cards += device.card >= 0 ? 1 : 0;
  }
  if (cards == 0) {
    EXPECT_LE(devices.size(), 6u) << report;
  }
  const std::vector<std::string> blocks = device_blocks(report);
  ASSERT_EQ(blocks.size(), devices.size()) << report;
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const std::string& name = devices[i].description;
    const bool named =
        blocks[i].find("Product name = " + name.substr(0, 31) + "\n") != std::string::npos ||
        blocks[i].find("could not be read: " + name) != std::string::npos;
    EXPECT_TRUE(named) << blocks[i];
  }
  // The sound server that does not answer is named and said to be missing.
  EXPECT_NE(report.find("PulseAudio Sound Server (pulse) is not available"), std::string::npos)
      << report;
}

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? "" : value;
}

// The same with the private PulseAudio daemon of the "pulse" fixture: the
// default device and the sound server both play the stream's format.
TEST(AlsaPulseDeviceList, TheSoundServerIsListedAndReadable) {
  if (environment("PULSE_SERVER").empty()) {
    if (!environment("TQ_REQUIRE_PULSE").empty()) FAIL() << "no private PulseAudio daemon";
    GTEST_SKIP() << "no private PulseAudio daemon";
  }
  setenv("ALSA_CONFIG_PATH", "/usr/share/alsa/alsa.conf", 1);
  EventLog events;
  AlsaWaveOut service(events.sink());
  const std::uint32_t count = service.device_count();
  std::uint32_t server = 0;
  for (std::uint32_t device = 0; device < count; ++device) {
    WaveOutCaps caps{};
    ASSERT_EQ(service.device_caps(device, &caps), kMmNoError) << device;
    if (std::string(caps.product_name) == "PulseAudio Sound Server") server = device;
  }
  ASSERT_NE(server, 0u);
  EXPECT_GE(max_playback_rate(service, 0), 44100);
  EXPECT_GE(max_playback_rate(service, server), 44100);
}

}  // namespace
}  // namespace tq::testing
