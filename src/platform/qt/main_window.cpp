#include "platform/qt/main_window.h"

#include <QAction>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMetaObject>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <optional>

#include "app/generator.h"
#include "app/lifetime.h"
#include "app/routing.h"
#include "panel/scroll_codes.h"
#include "platform/qt/product_page.h"
#include "platform/qt/scroll_mapping.h"
#include "platform/qt/text_box.h"
#include "platform/qt/window_frame.h"

namespace tq::qt {

namespace {

// BN_CLICKED: the notification a button's command carries.
constexpr int kButtonClicked = 0;
// How often and how long a shown window looks for its frame: one second.
constexpr int kFrameChecks = 50;
constexpr std::chrono::milliseconds kFrameCheckInterval(20);

template <typename E>
std::size_t index_of(E e) {
  return static_cast<std::size_t>(e);
}

ScrollSource source_for(Bar which) {
  switch (which) {
    case Bar::frequency:
      return ScrollSource::frequency;
    case Bar::left_level:
      return ScrollSource::left_level;
    case Bar::right_level:
      return ScrollSource::right_level;
  }
  return ScrollSource::none;
}

void place(QWidget* widget, const ControlSpec& entry) {
  widget->setGeometry(entry.x, entry.y, entry.width, entry.height);
  if (entry.accessible_name != nullptr) widget->setAccessibleName(entry.accessible_name);
}

void open_with_desktop(const QString& address) {
  // The desktop's opener reports failure; the program stays silent about it.
  QDesktopServices::openUrl(QUrl(address));
}

}  // namespace

MainWindow::MainWindow() : web_opener_(open_with_desktop) {
  setWindowTitle(kWindowTitle);
  build_menu();
  build_panel();
  resize(kWindowWidth, kWindowHeight);
}

MainWindow::~MainWindow() {
  // The boxes have no owner window; those still open go with the program.
  for (const QPointer<QMessageBox>& message_box : message_boxes_) delete message_box.data();
  for (const QPointer<QDialog>& scrolling_box : scrolling_boxes_) delete scrolling_box.data();
}

void MainWindow::attach(Generator* generator) {
  generator_ = generator;
}

void MainWindow::set_close_handler(std::function<void()> handler) {
  close_handler_ = std::move(handler);
}

void MainWindow::set_web_opener(std::function<void(const QString& address)> opener) {
  web_opener_ = std::move(opener);
}

NotifyTarget MainWindow::notify_target() const {
  return reinterpret_cast<NotifyTarget>(this);
}

DeviceEventSink MainWindow::device_event_sink() {
  MainWindow* window = this;
  return [window](NotifyTarget, std::uint32_t message, WaveHeader* header) {
    QMetaObject::invokeMethod(
        window, [window, message, header] { window->on_device_message(message, header); },
        Qt::QueuedConnection);
  };
}

void MainWindow::on_device_message(std::uint32_t message, WaveHeader* header) {
  if (generator_ != nullptr) route_device_message(*generator_, message, header);
}

QLineEdit* MainWindow::box(Box which) const {
  return boxes_[index_of(which)];
}

QScrollBar* MainWindow::bar(Bar which) const {
  return bars_[index_of(which)];
}

QRadioButton* MainWindow::radio_button(int id) const {
  for (const auto& [radio_id, button] : radios_) {
    if (radio_id == id) return button;
  }
  return nullptr;
}

QAction* MainWindow::menu_action(int id) const {
  for (const auto& [action_id, action] : menu_actions_) {
    if (action_id == id) return action;
  }
  return nullptr;
}

// --- Building -------------------------------------------------------------

void MainWindow::build_menu() {
  QMenu* file_menu = menuBar()->addMenu(kFileMenuTitle);
  for (const MenuItemSpec& item : file_menu_items()) {
    QAction* action = file_menu->addAction(item.text);
    const int id = item.id;
    connect(action, &QAction::triggered, this, [this, id] { command(id, kButtonClicked); });
    menu_actions_.emplace_back(id, action);
  }
  // The timing report is a diagnostic: a shortcut that no menu item shows.
  auto* timing_report = new QAction(this);
  timing_report->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T));
  timing_report->setShortcutContext(Qt::WindowShortcut);
  connect(timing_report, &QAction::triggered, this,
          [this] { command(kCmdTimingReport, kButtonClicked); });
  addAction(timing_report);
}

void MainWindow::build_panel() {
  panel_ = new QWidget(this);
  panel_->installEventFilter(this);
  setCentralWidget(panel_);
  rows_ = {new QButtonGroup(this), new QButtonGroup(this)};
  // Creation order is also the Tab order: box, bar, then the radio row.
  for (const ControlSpec& entry : panel_controls()) add_control(entry);
}

void MainWindow::add_control(const ControlSpec& entry) {
  switch (entry.kind) {
    case ControlKind::background:
      add_background(entry);
      break;
    case ControlKind::label:
      add_label(entry);
      break;
    case ControlKind::edit:
      add_box(entry);
      break;
    case ControlKind::scroll_bar:
      add_bar(entry);
      break;
    case ControlKind::radio:
      add_radio(entry);
      break;
  }
}

void MainWindow::add_background(const ControlSpec& entry) {
  auto* background = new QWidget(panel_);
  background->setAutoFillBackground(true);
  place(background, entry);
}

void MainWindow::add_label(const ControlSpec& entry) {
  place(new QLabel(entry.text, panel_), entry);
}

void MainWindow::add_box(const ControlSpec& entry) {
  auto* line_edit = new QLineEdit(panel_);
  place(line_edit, entry);
  const int id = entry.id;
  // Return or keypad Enter in the one-row box is "a value was entered";
  // any other edit by the user is a plain change.
  connect(line_edit, &QLineEdit::returnPressed, this, [this, id] { command(id, kEnMaxText); });
  connect(line_edit, &QLineEdit::textEdited, this, [this, id] { command(id, kEnChange); });
  boxes_[static_cast<std::size_t>(entry.slot)] = line_edit;
}

void MainWindow::add_bar(const ControlSpec& entry) {
  auto* scroll_bar = new QScrollBar(Qt::Horizontal, panel_);
  place(scroll_bar, entry);
  scroll_bar->setRange(kScrollRangeMin, kScrollRangeMax);
  scroll_bar->setFocusPolicy(Qt::StrongFocus);
  // Its menu would move the thumb without telling the panel.
  scroll_bar->setContextMenuPolicy(Qt::NoContextMenu);
  scroll_bar->installEventFilter(this);
  const auto which = static_cast<Bar>(entry.slot);
  connect(scroll_bar, &QAbstractSlider::actionTriggered, this,
          [this, which](int action) { on_bar_action(which, action); });
  connect(scroll_bar, &QAbstractSlider::sliderReleased, this,
          [this, which] { on_bar_released(which); });
  bars_[index_of(which)] = scroll_bar;
}

void MainWindow::add_radio(const ControlSpec& entry) {
  auto* button = new QRadioButton(entry.text, panel_);
  place(button, entry);
  rows_[static_cast<std::size_t>(entry.slot)]->addButton(button);
  button->setChecked(entry.checked);
  const int id = entry.id;
  connect(button, &QAbstractButton::clicked, this, [this, id] { command(id, kButtonClicked); });
  radios_.emplace_back(id, button);
}

// --- Layout ---------------------------------------------------------------

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // The bars stretch with the client area on every resize.
  if (watched == panel_ && event->type() == QEvent::Resize) place_scroll_bars(panel_->width());
  if (event->type() == QEvent::KeyPress) {
    for (std::size_t i = 0; i < bars_.size(); ++i) {
      if (watched == bars_[i] && on_bar_key(static_cast<Bar>(i), *static_cast<QKeyEvent*>(event)))
        return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::place_scroll_bars(int client_width) {
  const std::array<Rect, 3> rects = scroll_bar_rects(client_width);
  for (std::size_t i = 0; i < rects.size(); ++i) {
    bars_[i]->setGeometry(rects[i].x, rects[i].y, rects[i].width, rects[i].height);
  }
}

// 600 x 280 is the outer size, frame included. This runs before the window
// is mapped: where the window manager tells its frame on request, the window
// goes on screen at its outer size. Elsewhere on X the frame is known only
// once the window is on screen, and the window is fitted then. On Wayland
// the frame is either Qt's own decoration, made with the native window
// right after this event and part of the window geometry the compositor
// gets, or the compositor's, outside it: one look once the native window
// is there, before the compositor's first configure is answered.
void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (fitted_) return;
  fitted_ = true;
  if (QGuiApplication::platformName().startsWith("wayland")) {
    QTimer::singleShot(0, this, [this] { fit_outer_size(0); });
    return;
  }
  if (const std::optional<FrameExtents> frame = frame_extents_before_showing(*this)) {
    resize(kWindowWidth - frame->left - frame->right, kWindowHeight - frame->top - frame->bottom);
  }
  fit_outer_size(kFrameChecks);
}

// Fits the window to the frame once the frame is known, looking again every
// few milliseconds `checks_left` times; without a window manager there is
// no frame and the client keeps 600 x 280.
void MainWindow::fit_outer_size(int checks_left) {
  const QSize frame = frameGeometry().size() - size();
  if (frame.width() > 0 || frame.height() > 0) {
    resize(kWindowWidth - frame.width(), kWindowHeight - frame.height());
    return;
  }
  if (checks_left > 0) {
    QTimer::singleShot(kFrameCheckInterval, this,
                       [this, checks_left] { fit_outer_size(checks_left - 1); });
  }
}

// --- Events to the core ---------------------------------------------------

void MainWindow::command(int id, int notification) {
  if (generator_ != nullptr) route_command(*generator_, id, notification);
}

// Qt has moved the thumb by its own step when this runs; the core decides
// where it goes, and the bar shows that and nothing else. A thumb the user
// holds is the exception: it stays under the cursor until it is let go.
void MainWindow::on_bar_action(Bar which, int action) {
  QScrollBar* scroll_bar = bar(which);
  const int position = scroll_bar->sliderPosition();
  const bool held = scroll_bar->isSliderDown();
  const std::optional<int> code =
      scroll_code_for_action(action, held, position - scroll_bar->value());
  if (code) scroll(which, *code, position);
  if (!(held && action == QAbstractSlider::SliderMove)) scroll_bar->setValue(scroll_bar->value());
}

// Keys go to the core directly; Qt does not move the thumb for them.
bool MainWindow::on_bar_key(Bar which, const QKeyEvent& event) {
  const std::optional<int> code = scroll_code_for_key(event.key());
  if (!code) return false;
  scroll(which, *code, bar(which)->value());
  return true;
}

// The position let go at is the one reported; then the bar shows the
// core's position, also one it set while the thumb was held.
void MainWindow::on_bar_released(Bar which) {
  const int position = bar(which)->sliderPosition();
  scroll(which, kSbThumbPosition, position);
  scroll(which, kSbEndScroll, position);
  std::optional<int>& held = held_positions_[index_of(which)];
  if (held) set_bar_position(which, *held);
}

void MainWindow::scroll(Bar which, int code, int position) {
  if (generator_ != nullptr)
    route_horizontal_scroll(*generator_, source_for(which), code, position);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  if (closed_) return;
  closed_ = true;
  // Title-bar button, Alt+F4 and "Exit!" all end here: the stream stops,
  // then the program's loop is told to end.
  if (generator_ != nullptr) on_main_window_destroyed(*generator_);
  if (close_handler_) close_handler_();
}

// --- PanelWindow ----------------------------------------------------------

void MainWindow::set_box_text(Box which, const std::string& text) {
  box(which)->setText(QString::fromStdString(text));
}

std::string MainWindow::box_text(Box which) {
  return box(which)->text().toStdString();
}

void MainWindow::set_bar_position(Bar which, int position) {
  QScrollBar* scroll_bar = bar(which);
  std::optional<int>& held = held_positions_[index_of(which)];
  // Moving a thumb the user holds would make Qt take that position as the
  // user's own: it waits until the thumb is let go.
  if (scroll_bar->isSliderDown()) {
    held = position;
    return;
  }
  held.reset();
  // setValue, not setSliderPosition: it moves the thumb without reporting
  // a new action of its own.
  scroll_bar->setValue(position);
}

void MainWindow::focus_main_window() {
  setFocus(Qt::OtherFocusReason);
}

void MainWindow::request_close() {
  close();
}

void MainWindow::show_message_box(const std::string& title, const std::string& text) {
  if (taller_than_screen(QString::fromStdString(text))) {
    show_scrolling_box(title, text);
    return;
  }
  // No owner and not modal: the panel stays usable while the box is open,
  // and a second command opens a second box.
  auto* message_box = new QMessageBox(QMessageBox::NoIcon, QString::fromStdString(title),
                                      QString::fromStdString(text), QMessageBox::Ok);
  message_box->setTextFormat(Qt::PlainText);
  message_box->setWindowModality(Qt::NonModal);
  message_box->setAttribute(Qt::WA_DeleteOnClose);
  std::erase_if(message_boxes_, [](const QPointer<QMessageBox>& open) { return open.isNull(); });
  message_boxes_.emplace_back(message_box);
  message_box->show();
}

void MainWindow::open_web_address(const std::string& address) {
  const QString given = QString::fromStdString(address);
  const std::optional<QUrl> url = product_page_url(given, QCoreApplication::applicationDirPath());
  web_opener_(url ? url->toString() : given);
}

void MainWindow::post_to_window(std::function<void()> task) {
  // Queued to this window's thread; dropped if the window is gone by then.
  QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

// A text taller than the screen scrolls, so that the OK button stays on
// screen; owner, modality and button as in the plain box.
void MainWindow::show_scrolling_box(const std::string& title, const std::string& text) {
  QDialog* box = new_scrolling_box(QString::fromStdString(title), QString::fromStdString(text));
  std::erase_if(scrolling_boxes_, [](const QPointer<QDialog>& open) { return open.isNull(); });
  scrolling_boxes_.emplace_back(box);
  box->show();
}

bool MainWindow::message_box_open(const std::string& text) {
  const QString shown = QString::fromStdString(text);
  for (const QPointer<QMessageBox>& open : message_boxes_) {
    if (!open.isNull() && open->isVisible() && open->text() == shown) return true;
  }
  return false;
}

std::uint32_t MainWindow::tick_count() {
  const auto since_start = std::chrono::steady_clock::now().time_since_epoch();
  const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(since_start);
  return static_cast<std::uint32_t>(milliseconds.count());
}

}  // namespace tq::qt
