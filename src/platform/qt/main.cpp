// The Linux desktop program: the panel window over the generator core,
// sound through ALSA. The command line is not read.

#include <QApplication>

#include "platform/qt/program.h"

int main(int /*argc*/, char** argv) {
  // Qt gets the program's name only, so no argument changes what it does.
  int qt_argc = 1;
  QApplication application(qt_argc, argv);
  tq::qt::prepare_application();
  tq::qt::Program program;
  program.start();
  return QApplication::exec();
}
