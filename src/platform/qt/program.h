#pragma once
// The program as main() runs it: the Qt application's settings, and the
// window, the sound service and the generator put together and started in
// their fixed order. The end-to-end driver runs the same.

#include <QApplication>
#include <QIcon>

#include "app/generator.h"
#include "platform/linux/sound_service.h"
#include "platform/qt/main_window.h"

namespace tq::qt {

// The program's icon, in every size it carries.
QIcon program_icon();

// Settings every run takes once the QApplication exists: numbers in the C
// library's "C" format whatever the user's locale, the icon, and an end only
// through the main window (an open message box does not keep the program).
void prepare_application();

// Start-up once the window and its panel exist: events to `generator`, the
// boxes filled and read back, the window shown, device 0 silenced, the sine
// table built, the stream opened with the window as its target (a failure
// is shown once, in a message box, and the panel works on), start tick.
void start_up(MainWindow& window, Generator& generator);

class Program {
 public:
  Program();
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Runs start_up; closing the window then ends the application's loop
  // with exit status 0.
  void start();

  MainWindow& window() { return window_; }
  Generator& generator() { return generator_; }
  SoundService& sound() { return sound_; }

 private:
  // In this order: the service's events name the window, so the window
  // outlives the service; the generator refers to both.
  MainWindow window_;
  SoundService sound_;
  Generator generator_;
};

}  // namespace tq::qt
