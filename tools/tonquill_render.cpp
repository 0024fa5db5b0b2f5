// tonquill-render: writes what the generator plays to a sound file or to
// standard output.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "join.h"
#include "render_options.h"
#include "render_signal.h"
#include "sound_file.h"

#ifdef TQ_RENDER_DEVICES
#include "info/device_report.h"
#include "platform/alsa/alsa_wave_out.h"
#endif

namespace {

constexpr int kBadArguments = 2;

int fail(const std::string& message) {
  std::fprintf(stderr, "tonquill-render: %s\n", message.c_str());
  return kBadArguments;
}

// The sound device report of the desktop program, on standard output.
int print_devices() {
#ifdef TQ_RENDER_DEVICES
  tq::AlsaWaveOut wave_out([](tq::NotifyTarget, std::uint32_t, tq::WaveHeader*) {});
  std::fputs(tq::device_report_text(wave_out).c_str(), stdout);
  return 0;
#else
  return fail("--devices: this build has no sound device service");
#endif
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const tq::render::ParseResult parsed = tq::render::parse_render_options(args);
  if (!parsed.error.empty()) return fail(parsed.error);
  const tq::render::RenderOptions& options = parsed.options;
  if (options.help) {
    std::fputs(tq::render::usage_text().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::puts("tonquill-render " TQ_VERSION);
    return 0;
  }
  if (options.devices) return print_devices();

  tq::render::SoundOutput output;
  std::string error;
  const tq::render::OutputFormat format{options.signal.rate, options.format};
  if (!output.open(options.output, format, error)) return fail(tq::render::join({"-o: ", error}));
  const bool rendered = tq::render::render_signal(
      options,
      [&](const tq::render::SampleSpan& samples) { return output.write_samples(samples, error); });
  if (!rendered || !output.commit(error)) return fail(tq::render::join({"-o: ", error}));
  return 0;
}
