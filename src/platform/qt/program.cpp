#include "platform/qt/program.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <clocale>

#include "app/lifetime.h"

// Resources of a static library are registered by hand, outside any
// namespace (the macro declares a global function).
static void register_icon_resources() {
  Q_INIT_RESOURCE(tonquill);
}

namespace tq::qt {

QIcon program_icon() {
  register_icon_resources();
  // The scalable drawing where Qt can read SVG, the pictures drawn from it
  // everywhere else.
  QIcon icon(":/tonquill/tonquill.svg");
  for (const char* picture : {":/tonquill/tonquill-32.png", ":/tonquill/tonquill-64.png",
                              ":/tonquill/tonquill-256.png"}) {
    icon.addFile(picture);
  }
  return icon;
}

void prepare_application() {
  // QApplication has set the C library's locale from the environment; the
  // C code below it (ALSA and libpulse among it) reads and writes numbers in "C" form.
  std::setlocale(LC_NUMERIC, "C");
  QGuiApplication::setDesktopFileName("tonquill");
  QApplication::setWindowIcon(program_icon());
  QApplication::setQuitOnLastWindowClosed(false);
}

void start_up(MainWindow& window, Generator& generator) {
  window.attach(&generator);
  initialize_panel(generator);
  window.show();
  start_generator(generator, window.notify_target());
}

Program::Program() : sound_(window_.device_event_sink()), generator_(sound_.service(), window_) {
  window_.set_close_handler([] { QCoreApplication::exit(0); });
}

Program::~Program() {
  window_.attach(nullptr);
}

void Program::start() {
  start_up(window_, generator_);
}

}  // namespace tq::qt
