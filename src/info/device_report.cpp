#include "info/device_report.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "audio/output_stream.h"
#include "audio/wave_out.h"
#include "info/message_boxes.h"

namespace tq {

namespace {

constexpr std::int32_t kLowestProbeRate = 1000;
constexpr std::int32_t kHighestProbeRate = 999900;
constexpr std::int32_t kProbeRateStep = 100;
constexpr std::size_t kMaxReportLength = kReportCapacity - 1;
constexpr std::string_view kCutMark = "\n[Report cut short: too many devices to list]\n";

std::string decimal(std::uint32_t value) {
  return std::to_string(value);
}

std::string hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0X%x", value);
  return text;
}

// The name as a C string of at most 31 characters: the platform record need
// not be terminated.
std::string product_name(const WaveOutCaps& caps) {
  const char* name = caps.product_name;
  return std::string(name, strnlen(name, sizeof caps.product_name - 1));
}

std::string capability_lines(const WaveOutCaps& caps) {
  return "Manufacturer identifier =" + decimal(caps.manufacturer_id) + "; " +
         "Product identifier =" + decimal(caps.product_id) + "\n" +
         "Version number of the device driver  =" + hex(caps.driver_version) + "\n" +
         "Product name = " + product_name(caps) + "\n" +
         "Standard formats that are supported  =" + hex(caps.formats) + "\n" +
         "Number of channels that are supported  =" + decimal(caps.channels) + "\n" +
         "Optional functionality supported  =" + hex(caps.support) + "\n";
}

// A device whose record cannot be read shows why instead of a zeroed record.
std::string capability_failure_line(WaveOutService& wave_out, MMResult result) {
  return "Device capabilities could not be read: " + device_error_text(wave_out, result) + "\n";
}

std::string rate_line(std::int32_t max_rate) {
  return "Max playback rate =" + std::to_string(max_rate) + " : " +
         (max_rate >= kCompatibleRate ? "This device is compatible with tq_daro\n"
                                      : "This device is not compatible with tq_daro\n");
}

std::string device_block(WaveOutService& wave_out, std::uint32_t device,
                         const std::stop_token& stop) {
  WaveOutCaps caps{};
  const MMResult result = wave_out.device_caps(device, &caps);
  std::string block = "\nDevice id=" + decimal(device) + "\n";
  block +=
      result == kMmNoError ? capability_lines(caps) : capability_failure_line(wave_out, result);
  return block + rate_line(max_playback_rate(wave_out, device, stop));
}

WaveFormat probe_format(std::int32_t rate) {
  WaveFormat format{};
  format.samples_per_sec = static_cast<std::uint32_t>(rate);
  format.avg_bytes_per_sec = static_cast<std::uint32_t>(rate) * 4;
  return format;
}

// Cuts an over-long report after its last whole line that leaves room for
// the mark, and adds the mark.
void cut_report(std::string& report) {
  const std::size_t room = kMaxReportLength - kCutMark.size();
  const std::size_t last_break = report.rfind('\n', room - 1);
  report.resize(last_break == std::string::npos ? room : last_break + 1);
  report += kCutMark;
}

}  // namespace

std::int32_t max_playback_rate(WaveOutService& wave_out, std::uint32_t device,
                               std::stop_token stop) {
  // The first rate accepted from the top is the largest of the grid, so the
  // rates below it need no query.
  for (std::int32_t rate = kHighestProbeRate; rate >= kLowestProbeRate; rate -= kProbeRateStep) {
    if (stop.stop_requested()) return 0;
    if (wave_out.query_format(device, probe_format(rate)) == kMmNoError) return rate;
  }
  return 0;
}

std::string device_report_text(WaveOutService& wave_out, std::stop_token stop) {
  const std::uint32_t count = wave_out.device_count();
  std::string report = "Number of sound output devices is " + decimal(count) + "\n";
  // Devices past the cap would not be shown, so they are not probed either.
  for (std::uint32_t device = 0; device < count && report.size() <= kMaxReportLength; ++device) {
    report += device_block(wave_out, device, stop);
  }
  if (report.size() > kMaxReportLength) cut_report(report);
  return report;
}

void report_sound_devices(WaveOutService& wave_out, MessageDesk& desk) {
  // Passed as an argument, so a '%' in a product name is shown as it stands.
  show_text_box(desk, "%s", device_report_text(wave_out).c_str(), "");
}

}  // namespace tq
