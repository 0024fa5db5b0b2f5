// The Linux desktop program: the panel window over the generator core,
// sound through the sound server or ALSA (sound_service.h). The command
// line is not read.

#include <QApplication>
#include <cstdio>

#include "platform/qt/display_check.h"
#include "platform/qt/program.h"

int main(int /*argc*/, char** argv) {
  const std::optional<std::string> missing =
      tq::qt::missing_display(tq::qt::read_display_environment(), tq::qt::x_display_reachable);
  if (missing) {
    std::fputs(tq::qt::no_display_line(*missing).c_str(), stderr);
    return 1;
  }
  // Qt gets the program's name only, so no argument changes what it does.
  int qt_argc = 1;
  QApplication application(qt_argc, argv);
  tq::qt::prepare_application();
  tq::qt::Program program;
  program.start();
  return QApplication::exec();
}
