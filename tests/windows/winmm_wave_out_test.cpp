// The winmm service against the system's winmm (Wine's in CI, with ALSA's
// default device writing to a file). Skipped where no device exists.

// clang-format off
#include <windows.h>
#include <mmsystem.h>
// clang-format on

#include "platform/winmm/winmm_wave_out.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr DWORD kWaitMilliseconds = 5000;
constexpr std::uint32_t kStreamFlags = tq::kCallbackWindow | tq::kWaveAllowSync;

// A message-only window that receives the device events; the test pumps
// its queue itself.
class WinmmWaveOutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (waveOutGetNumDevs() == 0) GTEST_SKIP() << "no wave output device";
    window_ =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    if (window_ != nullptr) DestroyWindow(window_);
  }

  tq::WaveOutHandle open(tq::WinmmWaveOut& wave_out) {
    tq::WaveOutHandle handle = 0;
    EXPECT_EQ(wave_out.open(&handle, 0, tq::WaveFormat{},
                            reinterpret_cast<tq::NotifyTarget>(window_), kStreamFlags),
              tq::kMmNoError);
    return handle;
  }

  // The next device event's lParam, or 0 when none comes in time.
  LPARAM wait_for(UINT message) {
    const DWORD start = GetTickCount();
    MSG msg{};
    while (GetTickCount() - start < kWaitMilliseconds) {
      if (PeekMessageA(&msg, window_, message, message, PM_REMOVE))
        return msg.lParam ? msg.lParam : 1;
      Sleep(1);
    }
    return 0;
  }

  static tq::WaveHeader header_over(std::vector<char>& buffer, std::uintptr_t user) {
    tq::WaveHeader header;
    header.data = buffer.data();
    header.buffer_length = static_cast<std::uint32_t>(buffer.size());
    header.user = user;
    return header;
  }

  HWND window_ = nullptr;
};

TEST_F(WinmmWaveOutTest, DoneMessageLeadsBackToTheCoreHeaderWithTheDriversFlags) {
  tq::WinmmWaveOut wave_out(tq::VolumeMode::device);
  const tq::WaveOutHandle handle = open(wave_out);
  ASSERT_NE(handle, 0u);
  EXPECT_NE(wait_for(MM_WOM_OPEN), 0);
  std::vector<char> buffer(4096, 0);
  tq::WaveHeader header = header_over(buffer, 7);
  ASSERT_EQ(wave_out.prepare(handle, &header), tq::kMmNoError);
  EXPECT_TRUE(header.flags & tq::kWhdrPrepared);
  ASSERT_EQ(wave_out.write(handle, &header), tq::kMmNoError);

  const LPARAM done = wait_for(MM_WOM_DONE);
  ASSERT_NE(done, 0);
  EXPECT_EQ(reinterpret_cast<WAVEHDR*>(done)->dwUser, 7u);
  EXPECT_EQ(wave_out.header_for_done(static_cast<std::uintptr_t>(done)), &header);
  EXPECT_EQ(header.flags & (tq::kWhdrDone | tq::kWhdrInQueue | tq::kWhdrPrepared),
            tq::kWhdrDone | tq::kWhdrPrepared);
  EXPECT_EQ(wave_out.header_for_done(reinterpret_cast<std::uintptr_t>(&header)), nullptr);

  EXPECT_EQ(wave_out.unprepare(handle, &header), tq::kMmNoError);
  EXPECT_FALSE(header.flags & tq::kWhdrPrepared);
  EXPECT_EQ(wave_out.close(handle), tq::kMmNoError);
  EXPECT_NE(wait_for(MM_WOM_CLOSE), 0);
}

// After a reset the core's headers show what the driver did, so they can be
// unprepared although the core never saw their DONE messages.
TEST_F(WinmmWaveOutTest, ResetMarksTheQueuedBuffersDoneInTheCoreHeaders) {
  tq::WinmmWaveOut wave_out(tq::VolumeMode::device);
  const tq::WaveOutHandle handle = open(wave_out);
  ASSERT_NE(handle, 0u);
  std::vector<char> first(32768, 0);
  std::vector<char> second(32768, 0);
  tq::WaveHeader headers[2] = {header_over(first, 0), header_over(second, 1)};
  for (tq::WaveHeader& header : headers) {
    ASSERT_EQ(wave_out.prepare(handle, &header), tq::kMmNoError);
    ASSERT_EQ(wave_out.write(handle, &header), tq::kMmNoError);
  }
  EXPECT_EQ(wave_out.reset(handle), tq::kMmNoError);
  for (tq::WaveHeader& header : headers) {
    EXPECT_EQ(header.flags & (tq::kWhdrDone | tq::kWhdrInQueue), tq::kWhdrDone) << header.user;
    EXPECT_EQ(wave_out.unprepare(handle, &header), tq::kMmNoError) << header.user;
  }
  EXPECT_EQ(wave_out.close(handle), tq::kMmNoError);
}

TEST_F(WinmmWaveOutTest, SampleModePlaysAScaledCopyAndLeavesTheCoreBufferAlone) {
  tq::WinmmWaveOut wave_out(tq::VolumeMode::samples);
  EXPECT_EQ(wave_out.set_volume(0, 32000u | (64000u << 16)), tq::kMmNoError);
  const tq::WaveOutHandle handle = open(wave_out);
  ASSERT_NE(handle, 0u);
  const std::int16_t frame[2] = {1000, -1000};
  std::vector<char> buffer(4096);
  for (std::size_t offset = 0; offset < buffer.size(); offset += sizeof frame) {
    std::memcpy(buffer.data() + offset, frame, sizeof frame);
  }
  const std::vector<char> original = buffer;
  tq::WaveHeader header = header_over(buffer, 0);
  ASSERT_EQ(wave_out.prepare(handle, &header), tq::kMmNoError);
  ASSERT_EQ(wave_out.write(handle, &header), tq::kMmNoError);
  const LPARAM done = wait_for(MM_WOM_DONE);
  ASSERT_NE(done, 0);
  const WAVEHDR& played = *reinterpret_cast<WAVEHDR*>(done);
  ASSERT_EQ(played.dwBufferLength, buffer.size());
  std::int16_t played_frame[2] = {};
  std::memcpy(played_frame, played.lpData + buffer.size() - sizeof played_frame,
              sizeof played_frame);
  EXPECT_EQ(played_frame[0], 500);
  EXPECT_EQ(played_frame[1], -1000);
  EXPECT_EQ(buffer, original);
  wave_out.reset(handle);
  wave_out.unprepare(handle, &header);
  EXPECT_EQ(wave_out.close(handle), tq::kMmNoError);
}

// The device number stands in for a handle, as winmm allows. Wine refuses a
// device number there (MMSYSERR_INVALHANDLE), one more reason it gets the
// sample gain.
TEST_F(WinmmWaveOutTest, DeviceModeSetsTheVolumeOfTheNumberedDevice) {
  if (tq::volume_mode_of_this_system() == tq::VolumeMode::samples) {
    GTEST_SKIP() << "this system's wave volume is applied to the samples";
  }
  tq::WinmmWaveOut wave_out(tq::VolumeMode::device);
  for (const std::uint32_t volume : {0x00CA00CAu, 0x0000FA00u}) {
    ASSERT_EQ(wave_out.set_volume(0, volume), tq::kMmNoError);
    DWORD read_back = 0;
    ASSERT_EQ(waveOutGetVolume(reinterpret_cast<HWAVEOUT>(UINT_PTR{0}), &read_back),
              MMSYSERR_NOERROR);
    EXPECT_EQ(read_back, volume);
  }
}

TEST_F(WinmmWaveOutTest, QueriesOpenNothingAndJudgeTheFormat) {
  tq::WinmmWaveOut wave_out(tq::VolumeMode::device);
  EXPECT_EQ(wave_out.query_format(0, tq::WaveFormat{}), tq::kMmNoError);
  tq::WaveFormat unknown;
  unknown.format_tag = 0x1234;
  EXPECT_NE(wave_out.query_format(0, unknown), tq::kMmNoError);
  EXPECT_EQ(wave_out.query_format(wave_out.device_count(), tq::WaveFormat{}), tq::kMmBadDeviceId);
}

TEST_F(WinmmWaveOutTest, CapabilitiesAndErrorTexts) {
  tq::WinmmWaveOut wave_out(tq::VolumeMode::device);
  tq::WaveOutCaps caps;
  std::memset(caps.product_name, 'x', sizeof caps.product_name);
  ASSERT_EQ(wave_out.device_caps(0, &caps), tq::kMmNoError);
  WAVEOUTCAPSA platform{};
  ASSERT_EQ(waveOutGetDevCapsA(0, &platform, sizeof platform), MMSYSERR_NOERROR);
  EXPECT_STREQ(caps.product_name, platform.szPname);
  EXPECT_EQ(caps.channels, platform.wChannels);
  EXPECT_EQ(caps.support, platform.dwSupport);

  char expected[256] = {};
  ASSERT_EQ(waveOutGetErrorTextA(tq::kWaveBadFormat, expected, sizeof expected), MMSYSERR_NOERROR);
  EXPECT_EQ(wave_out.error_text(tq::kWaveBadFormat), expected);
  EXPECT_FALSE(wave_out.error_text(tq::kWaveBadFormat).empty());
  EXPECT_EQ(wave_out.error_text(12345), "Sound device error 12345");
}

}  // namespace
