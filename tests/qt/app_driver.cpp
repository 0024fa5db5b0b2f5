// tonquill_drive: the program exactly as main() builds it (the window, the
// real sound service, the generator, the same start-up), worked through its
// widgets by commands read line by line from standard input. Each command
// is answered by one line on standard output, "ok <command> <time>" (time:
// seconds since the epoch, taken just before the key or click that makes
// the change) or "error <reason>". The end-to-end test, the screenshot and
// the measurements use it; Qt's offscreen platform needs no display.
//
//   frequency TEXT          type TEXT into the frequency box, press Return
//   level left|right TEXT   the same for a level box
//   wave left|right NAME    click a waveform button ("Sine", "Pink", ...)
//   boxes                   "ok boxes N", then one line per open message box
//   dismiss                 press OK in every open message box
//   state                   frequency, levels, waveforms, underruns, device
//                           lost, sound service (pulse or alsa)
//   grab PATH               save a picture of the window
//   platform                Qt's platform plugin in use and the window's
//                           outer size: "ok platform wayland 600x280"
//   exit                    the "Exit!" menu command; the program then ends
// End of input also closes the window.

#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QRadioButton>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

#include "app/routing.h"
#include "panel/layout.h"
#include "platform/qt/program.h"

namespace {

using tq::Box;
using tq::qt::MainWindow;
using tq::qt::Program;

std::string now_text() {
  const auto since = std::chrono::system_clock::now().time_since_epoch();
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", std::chrono::duration<double>(since).count());
  return text;
}

void reply(const std::string& line) {
  std::cout << line << std::endl;
}

int channel_of(const std::string& side) {
  if (side == "left") return 0;
  if (side == "right") return 1;
  return -1;
}

std::string enter(QLineEdit* box, const std::string& text) {
  box->selectAll();
  QTest::keyClicks(box, QString::fromStdString(text));
  const std::string time = now_text();
  QTest::keyClick(box, Qt::Key_Return);
  return time + " " + box->text().toStdString();
}

std::string click_waveform(MainWindow& window, int channel, const std::string& name) {
  for (const tq::ControlSpec& entry : tq::panel_controls()) {
    if (entry.kind != tq::ControlKind::radio || entry.slot != channel || name != entry.text)
      continue;
    const std::string time = now_text();
    QTest::mouseClick(window.radio_button(entry.id), Qt::LeftButton);
    return time;
  }
  return {};
}

void list_boxes() {
  std::vector<QMessageBox*> boxes;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(widget);
    if (box != nullptr && box->isVisible()) boxes.push_back(box);
  }
  reply("ok boxes " + std::to_string(boxes.size()));
  for (QMessageBox* box : boxes) {
    reply("box " + box->windowTitle().toStdString() + " | " +
          box->text().simplified().toStdString());
  }
}

void dismiss_boxes() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(widget);
    if (box != nullptr && box->isVisible()) box->accept();
  }
  reply("ok dismiss");
}

void report_state(Program& program) {
  const tq::Generator& generator = program.generator();
  std::ostringstream line;
  line << "ok state " << generator.panel.frequency << " " << generator.panel.level_db[0] << " "
       << generator.panel.level_db[1] << " " << generator.signal.channels[0].waveform << " "
       << generator.signal.channels[1].waveform
       << " recoveries=" << program.sound().underrun_count()
       << " lost=" << program.sound().device_lost() << " service=" << program.sound().name();
  reply(line.str());
}

void run_command(Program& program, const std::string& line) {
  MainWindow& window = program.window();
  std::istringstream words(line);
  std::string verb, first, rest;
  words >> verb >> first;
  std::getline(words >> std::ws, rest);
  if (verb == "frequency") {
    reply("ok frequency " + enter(window.box(Box::frequency), first));
  } else if (verb == "level" && channel_of(first) >= 0) {
    const Box box = channel_of(first) == 0 ? Box::left_level : Box::right_level;
    reply("ok level " + enter(window.box(box), rest));
  } else if (verb == "wave" && channel_of(first) >= 0) {
    const std::string time = click_waveform(window, channel_of(first), rest);
    reply(time.empty() ? "error no button " + rest : "ok wave " + time);
  } else if (verb == "boxes") {
    list_boxes();
  } else if (verb == "dismiss") {
    dismiss_boxes();
  } else if (verb == "state") {
    report_state(program);
  } else if (verb == "grab") {
    const bool saved = window.grab().save(QString::fromStdString(first));
    reply(saved ? "ok grab " + first : "error grab " + first);
  } else if (verb == "platform") {
    const QSize outer = window.frameGeometry().size();
    reply("ok platform " + QGuiApplication::platformName().toStdString() + " " +
          std::to_string(outer.width()) + "x" + std::to_string(outer.height()));
  } else if (verb == "exit") {
    reply("ok exit " + now_text());
    window.menu_action(tq::kCmdExit)->trigger();
  } else if (!verb.empty()) {
    reply("error unknown command: " + line);
  }
}

// Splits what arrives on standard input into lines and runs each.
class CommandReader {
 public:
  explicit CommandReader(Program& program)
      : program_(program), notifier_(STDIN_FILENO, QSocketNotifier::Read) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { read_more(); });
  }

 private:
  void read_more() {
    char chunk[4096];
    const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (got <= 0) {
      notifier_.setEnabled(false);
      program_.window().close();
      return;
    }
    pending_.append(chunk, static_cast<std::size_t>(got));
    for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
      const std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      run_command(program_, line);
    }
  }

  Program& program_;
  QSocketNotifier notifier_;
  std::string pending_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  tq::qt::prepare_application();
  Program program;
  program.start();
  CommandReader reader(program);
  reply("ready " + now_text());
  return QApplication::exec();
}
