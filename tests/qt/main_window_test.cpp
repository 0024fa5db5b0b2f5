// The Qt window over the core, driven through its widgets as a user would,
// with a recording wave-out service in place of ALSA.

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSet>
#include <QStyleOptionSlider>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <clocale>
#include <memory>
#include <thread>

#include "app/generator.h"
#include "app/routing.h"
#include "doubles/recording_wave_out.h"
#include "info/device_report.h"
#include "info/info_commands.h"
#include "info/message_boxes.h"
#include "panel/frequency_control.h"
#include "panel/level_control.h"
#include "panel/scroll_codes.h"
#include "platform/qt/program.h"

namespace tq::qt {
namespace {

constexpr int kFreq = 0, kLeft = 1, kRight = 2;  // Box and Bar of each row

// The window started as the program starts it, over a recording service
// with one sound card.
struct Fixture {
  testing::RecordingWaveOut wave_out;
  MainWindow window;
  Generator generator{wave_out, window};
  QStringList addresses;
  int closes = 0;

  explicit Fixture(MMResult open_result = kMmNoError) {
    if (open_result != kMmNoError) wave_out.fail("open", open_result);
    wave_out.error_texts[kMmBadDeviceId] = "No sound output device could be opened.";
    testing::FakeDevice card;
    std::snprintf(card.caps.product_name, sizeof card.caps.product_name, "Test Card");
    wave_out.devices.push_back(card);
    window.set_web_opener([this](const QString& address) { addresses << address; });
    window.set_close_handler([this] { ++closes; });
    start_up(window, generator);
    window.activateWindow();
  }
  double value(int slot) const {
    return slot == kFreq ? generator.panel.frequency
                         : generator.panel.level_db[static_cast<std::size_t>(slot - 1)];
  }
  QLineEdit* box(int slot) const { return window.box(static_cast<Box>(slot)); }
  QScrollBar* bar(int slot) const { return window.bar(static_cast<Bar>(slot)); }
};

std::vector<QMessageBox*> open_boxes() {
  std::vector<QMessageBox*> boxes;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(widget);
    if (box != nullptr && box->isVisible()) boxes.push_back(box);
  }
  return boxes;
}

void close_boxes() {
  for (QMessageBox* box : open_boxes()) box->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Types `text` over the box's text, then presses `key` (0: none).
void type(QLineEdit* box, const QString& text, int key = Qt::Key_Return) {
  box->setFocus();
  box->selectAll();
  QTest::keyClicks(box, text);
  if (key == 0) return;
  QTest::keyClick(box, static_cast<Qt::Key>(key),
                  key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
}

QRect bar_part(QScrollBar* bar, QStyle::SubControl part) {
  QStyleOptionSlider option;
  option.initFrom(bar);
  option.orientation = Qt::Horizontal;
  option.state |= QStyle::State_Horizontal;
  option.maximum = bar->maximum();
  option.sliderPosition = option.sliderValue = bar->sliderPosition();
  option.pageStep = bar->pageStep();
  return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, bar);
}

// The position a thumb whose left edge is at `thumb_x` stands for, as the
// desktop's style maps pixels to the bar's range.
int position_at(QScrollBar* bar, int thumb_x) {
  const QRect groove = bar_part(bar, QStyle::SC_ScrollBarGroove);
  const int span = groove.width() - bar_part(bar, QStyle::SC_ScrollBarSlider).width();
  return QStyle::sliderValueFromPosition(bar->minimum(), bar->maximum(), thumb_x - groove.x(),
                                         span);
}

QPoint thumb_centre(QScrollBar* bar) {
  return bar_part(bar, QStyle::SC_ScrollBarSlider).center();
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    // Should a box ever block its caller, this closes it so nothing hangs.
    watchdog_.setInterval(500);
    connect(&watchdog_, &QTimer::timeout, [] { close_boxes(); });
    watchdog_.start();
    f_ = std::make_unique<Fixture>();
    QVERIFY(QTest::qWaitForWindowActive(&f_->window));
  }
  void cleanup() {
    f_.reset();
    watchdog_.stop();
    watchdog_.disconnect();
    close_boxes();
  }

  void window_follows_the_tables() {
    MainWindow& window = f_->window;
    QCOMPARE(window.windowTitle(), QString(kWindowTitle));
    QVERIFY(!QApplication::windowIcon().availableSizes().isEmpty());
    for (const ControlSpec& entry : panel_controls()) {
      const QRect rect(entry.x, entry.y, entry.width, entry.height);
      QWidget* widget = nullptr;
      if (entry.kind == ControlKind::edit) widget = f_->box(entry.slot);
      if (entry.kind == ControlKind::radio) widget = window.radio_button(entry.id);
      for (QLabel* label : window.panel()->findChildren<QLabel*>())
        if (entry.kind == ControlKind::label && label->text() == entry.text &&
            label->pos() == rect.topLeft())
          widget = label;
      if (entry.kind == ControlKind::label) QVERIFY2(widget, entry.text);
      if (widget == nullptr) continue;  // bars: below; the background: no behaviour
      QCOMPARE(widget->geometry(), rect);
      if (entry.accessible_name) QCOMPARE(widget->accessibleName(), QString(entry.accessible_name));
    }
    for (int width : {600, 811}) {
      window.resize(width, kWindowHeight);
      QCoreApplication::processEvents();
      const std::array<Rect, 3> rects = scroll_bar_rects(window.panel()->width());
      for (int slot : {kFreq, kLeft, kRight}) {
        const Rect& r = rects[static_cast<std::size_t>(slot)];
        QCOMPARE(f_->bar(slot)->geometry(), QRect(r.x, r.y, r.width, r.height));
        QCOMPARE(f_->bar(slot)->maximum(), kScrollRangeMax);
      }
    }
    const QList<QAction*> menus = window.menuBar()->actions();
    QCOMPARE(menus.size(), 1);
    QCOMPARE(menus[0]->text(), QString(kFileMenuTitle));
    QStringList items, expected;
    for (QAction* item : menus[0]->menu()->actions()) items << item->text();
    for (const MenuItemSpec& item : file_menu_items()) expected << item.text;
    QCOMPARE(items, expected);
  }

  void tab_reaches_every_box_and_bar() {
    f_->box(kFreq)->setFocus();
    QSet<QWidget*> reached;
    for (int i = 0; i < 30; ++i) {
      reached.insert(QApplication::focusWidget());
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    for (int slot : {kFreq, kLeft, kRight}) {
      QVERIFY(reached.contains(f_->box(slot)));
      QVERIFY(reached.contains(f_->bar(slot)));
    }
  }

  void typing_in_a_box_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("key");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("volume");  // the device volume word set; -1: none
    const int ret = Qt::Key_Return, pad = Qt::Key_Enter, tab = Qt::Key_Tab;
    QTest::newRow("frequency rounded")
        << kFreq << "1234.567" << ret << 1234.6 << "1234.6" << 183 << -1;
    QTest::newRow("frequency past the bar")
        << kFreq << "50000" << pad << 50000.0 << "50000" << 255 << -1;
    QTest::newRow("frequency not a number") << kFreq << "abc" << ret << 1.0 << "1" << 0 << -1;
    QTest::newRow("typed, no Enter") << kFreq << "440" << 0 << 1.0 << "440" << 0 << -1;
    QTest::newRow("typed, Tab away") << kLeft << "-7" << tab << -50.0 << "-7" << 0 << -1;
    QTest::newRow("left below the floor")
        << kLeft << "-80" << pad << -50.0 << "-50" << 0 << 202 + (202 << 16);
    QTest::newRow("left above 0 dB")
        << kLeft << "3" << ret << 0.0 << "0" << 255 << 64000 + (202 << 16);
    QTest::newRow("right -20 dB") << kRight << "-20" << ret << -20.0 << "-20" << 153
                                  << 202 + (6400 << 16);
    QTest::newRow("right fraction")
        << kRight << "-6.5" << pad << -6.5 << "-6.5" << 221 << 202 + (30281 << 16);
  }
  void typing_in_a_box() {
    QFETCH(int, slot);
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(int, volume);
    const std::size_t volumes_before = f_->wave_out.volumes.size();
    type(f_->box(slot), typed, key);
    QTEST(f_->value(slot), "value");
    QTEST(f_->box(slot)->text(), "shown");
    QTEST(f_->bar(slot)->value(), "position");
    if (volume < 0) QCOMPARE(f_->wave_out.volumes.size(), volumes_before);
    if (volume >= 0) QCOMPARE(f_->wave_out.volumes.back(), static_cast<std::uint32_t>(volume));
  }

  void scroll_actions_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("start");  // typed into the bar's box first
    QTest::addColumn<int>("key");        // 0: a click at `click_at` of the bar's width
    QTest::addColumn<double>("click_at");
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("position");  // the core's, never Qt's own step
    QTest::newRow("freq Right") << kFreq << "1" << int(Qt::Key_Right) << 0.0 << 1.01 << 0;
    QTest::newRow("freq Left at 1 Hz") << kFreq << "1" << int(Qt::Key_Left) << 0.0 << 1.0 << 0;
    QTest::newRow("freq PageDown")
        << kFreq << "100" << int(Qt::Key_PageDown) << 0.0 << 116.0 << 122;
    QTest::newRow("freq PageUp") << kFreq << "100" << int(Qt::Key_PageUp) << 0.0 << 84.0 << 114;
    QTest::newRow("freq Home") << kFreq << "100" << int(Qt::Key_Home) << 0.0 << 99.0 << 118;
    QTest::newRow("freq right arrow") << kFreq << "100" << 0 << 0.99 << 101.0 << 118;
    QTest::newRow("freq trough") << kFreq << "1" << 0 << 0.75 << 1.16 << 3;
    QTest::newRow("left Down") << kLeft << "-30" << int(Qt::Key_Down) << 0.0 << -29.0 << 107;
    QTest::newRow("left Home") << kLeft << "-50" << int(Qt::Key_Home) << 0.0 << -51.0 << 0;
    QTest::newRow("left left arrow") << kLeft << "-20" << 0 << 0.01 << -21.0 << 147;
    QTest::newRow("right End") << kRight << "-1" << int(Qt::Key_End) << 0.0 << 0.0 << 255;
    QTest::newRow("right trough") << kRight << "-50" << 0 << 0.8 << -34.0 << 81;
  }
  void scroll_actions() {
    QFETCH(int, slot);
    QFETCH(QString, start);
    QFETCH(int, key);
    QFETCH(double, click_at);
    QFETCH(double, value);
    QFETCH(int, position);
    QScrollBar* bar = f_->bar(slot);
    type(f_->box(slot), start);
    if (key != 0) QTest::keyClick(bar, static_cast<Qt::Key>(key));
    const QPoint at(static_cast<int>(bar->width() * click_at), bar->height() / 2);
    if (key == 0) QTest::mouseClick(bar, Qt::LeftButton, {}, at);
    QCOMPARE(f_->value(slot), value);
    QCOMPARE(bar->value(), position);
    QCOMPARE(bar->sliderPosition(), position);
    QCOMPARE(f_->box(slot)->text(), QString::number(value));
    QCOMPARE(f_->generator.signal.channels[1].frequency, f_->generator.panel.frequency);
  }

  void dragging_the_thumb_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<double>("right_end");
    QTest::addColumn<double>("left_end");
    QTest::newRow("frequency") << kFreq << 20000.0 << 1.0;
    QTest::newRow("right level") << kRight << 0.0 << -50.0;
  }
  void dragging_the_thumb() {
    QFETCH(int, slot);
    QFETCH(double, right_end);
    QFETCH(double, left_end);
    QScrollBar* bar = f_->bar(slot);
    const int y = bar->height() / 2;
    QTest::mousePress(bar, Qt::LeftButton, {}, thumb_centre(bar));
    QTest::mouseMove(bar, QPoint(bar->width() + 40, y));
    // While the thumb is held, each move is already a change.
    QVERIFY(bar->isSliderDown());
    QCOMPARE(f_->value(slot), right_end);
    QCOMPARE(bar->value(), kScrollRangeMax);
    QTest::mouseMove(bar, QPoint(-40, y));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(-40, y));
    QVERIFY(!bar->isSliderDown());
    QCOMPARE(f_->value(slot), left_end);
    QCOMPARE(bar->value(), kScrollRangeMin);
    QCOMPARE(f_->box(slot)->text(), QString::number(left_end));
  }

  // Held, the thumb is where the cursor puts it and each move plays that
  // position; let go, the position let go at is the one that counts.
  void a_held_thumb_stays_under_the_cursor_data() {
    QTest::addColumn<int>("slot");
    QTest::newRow("frequency") << kFreq;
    QTest::newRow("left level") << kLeft;
  }
  void a_held_thumb_stays_under_the_cursor() {
    QFETCH(int, slot);
    QScrollBar* bar = f_->bar(slot);
    const auto played = [slot](int code, int position) {
      return slot == kFreq ? scrolled_frequency(1.0, code, position)
                           : scrolled_level(-50.0, code, position);
    };
    const QPoint grab = thumb_centre(bar);
    const int grab_offset = grab.x() - bar_part(bar, QStyle::SC_ScrollBarSlider).x();
    QTest::mousePress(bar, Qt::LeftButton, {}, grab);
    int position = 0;
    for (int x = grab.x() + 1; x < bar->width(); x += 3) {
      QTest::mouseMove(bar, QPoint(x, grab.y()));
      position = position_at(bar, x - grab_offset);
      QCOMPARE(bar->sliderPosition(), position);
      QCOMPARE(f_->value(slot), played(kSbThumbTrack, position));
    }
    QVERIFY(position > 200);
    const int released_at = position_at(bar, bar->width() / 2 - grab_offset);
    QTest::mouseMove(bar, QPoint(bar->width() / 2, grab.y()));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, grab.y()));
    const double value = played(kSbThumbPosition, released_at);
    QCOMPARE(f_->value(slot), value);
    QCOMPARE(bar->value(), slot == kFreq ? frequency_to_position(value) : level_to_position(value));
    QCOMPARE(bar->sliderPosition(), bar->value());
  }

  void radio_buttons_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("kind");
    const int ids[2][7] = {{52, 53, 54, 55, 61, 65, 67}, {57, 58, 59, 60, 62, 66, 68}};
    const int kinds[7] = {kSine, kSquare, kSawtooth, kPulse, kTriangle, kWhiteNoise, kPinkNoise};
    for (int c = 0; c < 2; ++c)
      for (int i = 0; i < 7; ++i) QTest::addRow("id %d", ids[c][i]) << ids[c][i] << c << kinds[i];
  }
  void radio_buttons() {
    QFETCH(int, id);
    QFETCH(int, channel);
    const auto c = static_cast<std::size_t>(channel);
    f_->generator.signal.channels[c].waveform = 0;
    QTest::mouseClick(f_->window.radio_button(id), Qt::LeftButton);
    QTEST(f_->generator.signal.channels[c].waveform, "kind");
    QCOMPARE(f_->generator.signal.channels[1 - c].waveform, kSine);
    QVERIFY(f_->window.radio_button(channel == 0 ? 57 : 52)->isChecked());
    for (const ControlSpec& entry : panel_controls())
      if (entry.kind == ControlKind::radio && entry.slot == channel)
        QCOMPARE(f_->window.radio_button(entry.id)->isChecked(), entry.id == id);
  }

  void commands_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("title");  // empty: no box
    QTest::addColumn<QString>("start");  // how the text starts; "report": the whole report
    QTest::newRow("devices") << kCmdDeviceReport << kTextBoxTitle << "report";
    QTest::newRow("help") << kCmdHelp << kTextBoxTitle << QString::fromStdString(help_text());
    QTest::newRow("about") << kCmdAbout << kTextBoxTitle << "Function Generator\n";
    QTest::newRow("timing, Ctrl+Shift+T")
        << kCmdTimingReport << kNoticeBoxTitle << "waveoutproctime= ";
    QTest::newRow("web page") << kCmdProductPage << ""
                              << "";
  }
  void commands() {
    QFETCH(int, id);
    QFETCH(QString, title);
    QFETCH(QString, start);
    if (id == kCmdTimingReport) {
      QTest::keyClick(f_->box(kFreq), Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
    } else {
      f_->window.menu_action(id)->trigger();
    }
    // The device report arrives from beside the window's thread.
    if (id == kCmdDeviceReport) QTRY_VERIFY(!open_boxes().empty());
    const std::vector<QMessageBox*> boxes = open_boxes();
    QCOMPARE(f_->addresses,
             id == kCmdProductPage ? QStringList{kInstalledPageName} : QStringList{});
    QCOMPARE(boxes.size(), title.isEmpty() ? 0u : 1u);
    if (boxes.empty()) return;
    QCOMPARE(boxes[0]->windowTitle(), title);
    QCOMPARE(boxes[0]->standardButtons(), QMessageBox::Ok);
    if (start == "report") start = QString::fromStdString(device_report_text(f_->wave_out));
    QVERIFY2(boxes[0]->text().startsWith(start), qPrintable(boxes[0]->text()));
  }

  void boxes_are_plain_ownerless_and_leave_the_panel_usable() {
    const QString text = "<b>100%</b> & more";
    f_->window.show_message_box(kNoticeBoxTitle, text.toStdString());
    f_->window.menu_action(kCmdHelp)->trigger();
    const std::vector<QMessageBox*> boxes = open_boxes();
    QCOMPARE(boxes.size(), 2u);
    for (QMessageBox* box : boxes) {
      QCOMPARE(box->textFormat(), Qt::PlainText);
      QCOMPARE(box->parentWidget(), nullptr);
      QCOMPARE(box->windowModality(), Qt::NonModal);
    }
    QVERIFY(boxes[0]->text() == text || boxes[1]->text() == text);
    type(f_->box(kFreq), "440");
    QCOMPARE(f_->generator.panel.frequency, 440.0);
  }

  void a_text_taller_than_the_screen_scrolls() {
    QString text;
    for (int line = 0; line < 400; ++line) text += QString("Device id=%1\n").arg(line);
    f_->window.show_message_box(kTextBoxTitle, text.toStdString());
    QCOMPARE(open_boxes().size(), 0u);
    QDialog* box = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (widget->isVisible() && widget != &f_->window) box = qobject_cast<QDialog*>(widget);
    }
    QVERIFY(box != nullptr);
    QCOMPARE(box->windowTitle(), QString(kTextBoxTitle));
    QCOMPARE(box->parentWidget(), nullptr);
    QCOMPARE(box->windowModality(), Qt::NonModal);
    QVERIFY(box->height() < box->screen()->availableGeometry().height());
    auto* view = box->findChild<QPlainTextEdit*>();
    QVERIFY(view != nullptr && view->isReadOnly());
    view->selectAll();
    view->copy();
    QCOMPARE(QApplication::clipboard()->text(), text);
    const QList<QAbstractButton*> buttons = box->findChildren<QAbstractButton*>();
    QCOMPARE(buttons.size(), 1);
    QCOMPARE(buttons[0]->text().remove('&'), QString("OK"));
    type(f_->box(kFreq), "440");  // the panel is usable while it is open
    QCOMPARE(f_->generator.panel.frequency, 440.0);
    QTest::mouseClick(buttons[0], Qt::LeftButton);
    QTRY_VERIFY(!box->isVisible());
  }

  void closing_data() {
    QTest::addColumn<bool>("by_exit_command");
    QTest::newRow("Exit!") << true;
    QTest::newRow("title-bar button") << false;
  }
  void closing() {
    QFETCH(bool, by_exit_command);
    WaveHeader* returned = f_->wave_out.finish_next();
    if (by_exit_command) f_->window.menu_action(kCmdExit)->trigger();
    if (!by_exit_command) f_->window.close();
    QCOMPARE(f_->closes, 1);
    QVERIFY(!f_->window.isVisible());
    QCOMPARE(f_->generator.stream.handle, WaveOutHandle{0});
    QVERIFY(!f_->wave_out.is_open);
    // A buffer the device hands back afterwards is not played again.
    const std::size_t writes = f_->wave_out.written.size();
    f_->window.on_device_message(kMmWomDone, returned);
    QCOMPARE(f_->wave_out.written.size(), writes);
  }

  void device_events_run_on_the_window_thread() {
    QThread* refilled_on = nullptr;
    f_->wave_out.on_call = [&](const std::string& call) {
      if (call.rfind("write", 0) == 0) refilled_on = QThread::currentThread();
    };
    WaveHeader* done = f_->wave_out.finish_next();
    const DeviceEventSink sink = f_->window.device_event_sink();
    std::thread([&] { sink(f_->window.notify_target(), kMmWomDone, done); }).join();
    QCOMPARE(f_->wave_out.written.size(), 2u);  // queued, not run by the service's thread
    QTRY_COMPARE(f_->wave_out.written.size(), 3u);
    QCOMPARE(refilled_on, QCoreApplication::instance()->thread());
  }

  void without_a_sound_device_the_panel_works() {
    f_.reset();
    close_boxes();
    f_ = std::make_unique<Fixture>(kMmBadDeviceId);
    QCOMPARE(open_boxes().size(), 1u);
    QCOMPARE(open_boxes()[0]->windowTitle(), QString(kNoticeBoxTitle));
    QCOMPARE(open_boxes()[0]->text(), QString("No sound output device could be opened."));
    QVERIFY(f_->window.isVisible());
    type(f_->box(kLeft), "-10");
    QCOMPARE(f_->generator.panel.level_db[0], -10.0);
    QCOMPARE(open_boxes().size(), 1u);
  }

  void a_decimal_comma_locale_changes_nothing() {
    if (!qEnvironmentVariable("LC_ALL").startsWith("de_DE")) QSKIP("run with LC_ALL=de_DE.UTF-8");
    // QApplication has set the C library's locale from the environment.
    if (!QString(std::setlocale(LC_CTYPE, nullptr)).startsWith("de_DE"))
      QSKIP("de_DE.UTF-8 is not installed (scripts/bootstrap.sh makes it)");
    QCOMPARE(QLocale::system().decimalPoint(), QString(","));
    type(f_->box(kFreq), "1234.5");
    QCOMPARE(f_->generator.panel.frequency, 1234.5);
    QCOMPARE(f_->box(kFreq)->text(), QString("1234.5"));
  }

 private:
  std::unique_ptr<Fixture> f_;
  QTimer watchdog_;
};

}  // namespace tq::qt

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  tq::qt::prepare_application();
  tq::qt::MainWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "main_window_test.moc"
