// The Linux desktop program: the panel window over the generator core,
// sound through the sound server or ALSA (platform/linux/sound_service.h).
// The command line is not read.

#include <QApplication>
#include <cstdio>
#include <string>

#include "platform/qt/display_check.h"
#include "platform/qt/program.h"

int main(int /*argc*/, char** argv) {
  const tq::qt::DisplayVerdict verdict =
      tq::qt::check_display(tq::qt::read_display_environment(), tq::qt::system_probes());
  if (verdict.platform.empty()) {
    std::fputs(tq::qt::no_display_line(verdict.reason).c_str(), stderr);
    return 1;
  }
  // Qt gets the program's name and the platform found to answer, nothing
  // of the command line: left to itself it would try a Wayland display
  // that does not answer before X, and wait for it without end.
  std::string platform_option = "-platform";
  std::string platform = verdict.platform;
  char* qt_argv[] = {argv[0], platform_option.data(), platform.data(), nullptr};
  int qt_argc = 3;
  QApplication application(qt_argc, qt_argv);
  tq::qt::prepare_application();
  tq::qt::Program program;
  program.start();
  return QApplication::exec();
}
