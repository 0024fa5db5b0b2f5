#pragma once
// The program's one window: the control panel built from the core's layout
// tables, the "&File" menu, and the routing of every command, scroll action
// and sound-device event to the core. It is also the PanelWindow the core
// talks back to: box texts, bar positions, focus, message boxes.

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/panel_window.h"
#include "audio/wave_out.h"
#include "audio/wave_out_rules.h"
#include "panel/layout.h"

class QAction;
class QButtonGroup;
class QDialog;
class QKeyEvent;
class QLineEdit;
class QMessageBox;
class QRadioButton;
class QScrollBar;

namespace tq {
struct Generator;
}

namespace tq::qt {

class MainWindow final : public QMainWindow, public PanelWindow {
 public:
  MainWindow();
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // From now on commands, scroll actions and device events go to
  // `generator`; nullptr stops them.
  void attach(Generator* generator);
  // Called once, after the window was closed and the stream stopped.
  void set_close_handler(std::function<void()> handler);
  // Replaces the desktop's opener of web addresses.
  void set_web_opener(std::function<void(const QString& address)> opener);

  // The target the stream's events name, and a sink that hands them to
  // this window's thread as queued calls: they run between user actions,
  // and none runs once the window is gone.
  NotifyTarget notify_target() const;
  DeviceEventSink device_event_sink();
  void on_device_message(std::uint32_t message, WaveHeader* header);

  // The controls, for the program's drivers and tests.
  QLineEdit* box(Box which) const;
  QScrollBar* bar(Bar which) const;
  QRadioButton* radio_button(int id) const;
  QAction* menu_action(int id) const;
  QWidget* panel() const { return panel_; }

  // PanelWindow.
  void set_box_text(Box which, const std::string& text) override;
  std::string box_text(Box which) override;
  void set_bar_position(Bar which, int position) override;
  void focus_main_window() override;
  void request_close() override;
  void show_message_box(const std::string& title, const std::string& text) override;
  void open_web_address(const std::string& address) override;
  void post_to_window(std::function<void()> task) override;
  bool message_box_open(const std::string& text) override;
  std::uint32_t tick_count() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void build_menu();
  void build_panel();
  void add_control(const ControlSpec& entry);
  void add_background(const ControlSpec& entry);
  void add_label(const ControlSpec& entry);
  void add_box(const ControlSpec& entry);
  void add_bar(const ControlSpec& entry);
  void add_radio(const ControlSpec& entry);
  void place_scroll_bars(int client_width);
  void fit_outer_size(int checks_left);
  void show_scrolling_box(const std::string& title, const std::string& text);

  void command(int id, int notification);
  void on_bar_action(Bar which, int action);
  bool on_bar_key(Bar which, const QKeyEvent& event);
  void on_bar_released(Bar which);
  void scroll(Bar which, int code, int position);

  Generator* generator_ = nullptr;
  QWidget* panel_ = nullptr;
  std::array<QLineEdit*, 3> boxes_{};    // indexed by Box
  std::array<QScrollBar*, 3> bars_{};    // indexed by Bar
  std::array<QButtonGroup*, 2> rows_{};  // one radio row per channel
  // The core's position for a bar whose thumb the user holds, shown once
  // the thumb is let go.
  std::array<std::optional<int>, 3> held_positions_{};
  std::vector<std::pair<int, QRadioButton*>> radios_;
  std::vector<std::pair<int, QAction*>> menu_actions_;
  std::vector<QPointer<QMessageBox>> message_boxes_;
  std::vector<QPointer<QDialog>> scrolling_boxes_;
  std::function<void()> close_handler_;
  std::function<void(const QString&)> web_opener_;
  bool closed_ = false;
  bool fitted_ = false;
};

}  // namespace tq::qt
