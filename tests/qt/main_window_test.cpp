// The Qt window over the core, driven through its widgets as a user would,
// with a recording wave-out service in place of ALSA.

#include "platform/qt/main_window.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QRadioButton>
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
#include "doubles/recording_wave_out.h"
#include "info/device_report.h"
#include "info/info_commands.h"
#include "info/message_boxes.h"
#include "panel/layout.h"
#include "panel/routing.h"
#include "platform/qt/program.h"

namespace tq::qt {
namespace {

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
  }
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

void enter(QLineEdit* box, const QString& text, int key = Qt::Key_Return) {
  box->selectAll();
  QTest::keyClicks(box, text);
  QTest::keyClick(box, static_cast<Qt::Key>(key),
                  key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
}

QRect thumb_rect(QScrollBar* bar) {
  QStyleOptionSlider option;
  option.initFrom(bar);
  option.orientation = Qt::Horizontal;
  option.state |= QStyle::State_Horizontal;
  option.minimum = bar->minimum();
  option.maximum = bar->maximum();
  option.sliderPosition = option.sliderValue = bar->value();
  option.singleStep = bar->singleStep();
  option.pageStep = bar->pageStep();
  return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider,
                                      bar);
}

double value_of(const Generator& generator, Bar bar) {
  if (bar == Bar::frequency) return generator.panel.frequency;
  return generator.panel.level_db[bar == Bar::left_level ? 0 : 1];
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
  }
  void cleanup() {
    f_.reset();
    watchdog_.stop();
    watchdog_.disconnect();
    close_boxes();
  }

  void layout_follows_the_tables() {
    MainWindow& window = f_->window;
    QCOMPARE(window.windowTitle(), QString(kWindowTitle));
    QVERIFY(!QApplication::windowIcon().availableSizes().isEmpty());
    for (const ControlSpec& spec : panel_controls()) {
      const QRect rect(spec.x, spec.y, spec.width, spec.height);
      QWidget* widget = nullptr;
      if (spec.kind == ControlKind::edit) widget = window.box(static_cast<Box>(spec.slot));
      if (spec.kind == ControlKind::radio) widget = window.radio_button(spec.id);
      if (spec.kind == ControlKind::label) {
        for (QLabel* label : window.panel()->findChildren<QLabel*>())
          if (label->text() == spec.text && label->geometry() == rect) widget = label;
      }
      if (widget == nullptr) continue;  // bars: below; background: no behaviour
      QCOMPARE(widget->geometry(), rect);
      if (spec.accessible_name) QCOMPARE(widget->accessibleName(), QString(spec.accessible_name));
    }
    for (int width : {600, 811}) {
      window.resize(width, kWindowHeight);
      QCoreApplication::processEvents();
      const auto rects = scroll_bar_rects(window.panel()->width());
      for (Bar bar : {Bar::frequency, Bar::left_level, Bar::right_level}) {
        const Rect& r = rects[static_cast<std::size_t>(bar)];
        QCOMPARE(window.bar(bar)->geometry(), QRect(r.x, r.y, r.width, r.height));
        QCOMPARE(window.bar(bar)->maximum(), kScrollRangeMax);
      }
    }
  }

  void menu_holds_the_five_items_in_order() {
    const QList<QAction*> menus = f_->window.menuBar()->actions();
    QCOMPARE(menus.size(), 1);
    QCOMPARE(menus[0]->text(), QString(kFileMenuTitle));
    const QList<QAction*> items = menus[0]->menu()->actions();
    QCOMPARE(items.size(), static_cast<qsizetype>(file_menu_items().size()));
    for (qsizetype i = 0; i < items.size(); ++i) {
      QCOMPARE(items[i]->text(), QString(file_menu_items()[static_cast<std::size_t>(i)].text));
      QVERIFY(items[i]->shortcut().isEmpty());
    }
  }

  void tab_reaches_every_box_and_bar() {
    MainWindow& window = f_->window;
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.box(Box::frequency)->setFocus();
    QSet<QWidget*> reached;
    for (int i = 0; i < 40; ++i) {
      reached.insert(QApplication::focusWidget());
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    for (Box box : {Box::frequency, Box::left_level, Box::right_level})
      QVERIFY(reached.contains(window.box(box)));
    for (Bar bar : {Bar::frequency, Bar::left_level, Bar::right_level})
      QVERIFY(reached.contains(window.bar(bar)));
  }

  void enter_in_a_box_data() {
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("key");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("volume");  // device volume word afterwards; -1: none set
    const int f = 0, left = 1, right = 2, ret = Qt::Key_Return, pad = Qt::Key_Enter;
    QTest::newRow("frequency, five digits")
        << f << "1234.567" << ret << 1234.6 << "1234.6" << 183 << -1;
    QTest::newRow("frequency above the bar")
        << f << "50000" << pad << 50000.0 << "50000" << 255 << -1;
    QTest::newRow("frequency not a number") << f << "abc" << ret << 1.0 << "1" << 0 << -1;
    QTest::newRow("left below the floor")
        << left << "-80" << pad << -50.0 << "-50" << 0 << 202 + (202 << 16);
    QTest::newRow("left above 0 dB")
        << left << "3" << ret << 0.0 << "0" << 255 << 64000 + (202 << 16);
    QTest::newRow("right -20 dB") << right << "-20" << ret << -20.0 << "-20" << 153
                                  << 202 + (6400 << 16);
    QTest::newRow("right fraction")
        << right << "-6.5" << pad << -6.5 << "-6.5" << 221 << 202 + (30281 << 16);
  }
  void enter_in_a_box() {
    QFETCH(int, box);
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(double, value);
    QFETCH(QString, shown);
    QFETCH(int, position);
    QFETCH(int, volume);
    const auto which = static_cast<Box>(box);
    const auto bar = static_cast<Bar>(box);
    const std::size_t volumes_before = f_->wave_out.volumes.size();
    enter(f_->window.box(which), typed, key);
    QCOMPARE(value_of(f_->generator, bar), value);
    QCOMPARE(f_->window.box(which)->text(), shown);
    QCOMPARE(f_->window.bar(bar)->value(), position);
    if (volume < 0) {
      QCOMPARE(f_->wave_out.volumes.size(), volumes_before);
    } else {
      QCOMPARE(f_->wave_out.volumes.back(), static_cast<std::uint32_t>(volume));
    }
    QCOMPARE(f_->generator.channels[0].frequency, f_->generator.panel.frequency);
  }

  void typing_without_enter_enters_nothing() {
    QTest::keyClicks(f_->window.box(Box::frequency), "440");
    QTest::keyClicks(f_->window.box(Box::left_level), "7");
    QCOMPARE(f_->generator.panel.frequency, 1.0);
    QCOMPARE(f_->generator.panel.level_db[0], -50.0);
    QCOMPARE(f_->window.box(Box::frequency)->text(), QString("1440"));
  }

  void scroll_actions_data() {
    QTest::addColumn<int>("bar");
    QTest::addColumn<QString>("start");  // entered into the bar's box first
    QTest::addColumn<int>("key");        // 0: a mouse click at `click_at` (fraction of the width)
    QTest::addColumn<double>("click_at");
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("position");  // the core's, not Qt's own step
    const int f = 0, left = 1, right = 2;
    QTest::newRow("freq line right") << f << "1" << int(Qt::Key_Right) << 0.0 << 1.01 << 0;
    QTest::newRow("freq line left at 1 Hz") << f << "1" << int(Qt::Key_Left) << 0.0 << 1.0 << 0;
    QTest::newRow("freq page right") << f << "100" << int(Qt::Key_PageDown) << 0.0 << 116.0 << 122;
    QTest::newRow("freq page left") << f << "100" << int(Qt::Key_PageUp) << 0.0 << 84.0 << 114;
    QTest::newRow("freq Home is a line left")
        << f << "100" << int(Qt::Key_Home) << 0.0 << 99.0 << 118;
    QTest::newRow("freq End at 20 kHz")
        << f << "20000" << int(Qt::Key_End) << 0.0 << 20000.0 << 255;
    QTest::newRow("freq right arrow") << f << "100" << 0 << 0.99 << 101.0 << 118;
    QTest::newRow("freq trough") << f << "1" << 0 << 0.75 << 1.16 << 3;
    QTest::newRow("left line right") << left << "-50" << int(Qt::Key_Right) << 0.0 << -49.0 << 5;
    QTest::newRow("left page left") << left << "-50" << int(Qt::Key_PageUp) << 0.0 << -66.0 << 0;
    QTest::newRow("left Down is a line right")
        << left << "-30" << int(Qt::Key_Down) << 0.0 << -29.0 << 107;
    QTest::newRow("left Home below the bar")
        << left << "-50" << int(Qt::Key_Home) << 0.0 << -51.0 << 0;
    QTest::newRow("left left arrow") << left << "-20" << 0 << 0.01 << -21.0 << 147;
    QTest::newRow("right page right")
        << right << "-30" << int(Qt::Key_PageDown) << 0.0 << -14.0 << 183;
    QTest::newRow("right End") << right << "-1" << int(Qt::Key_End) << 0.0 << 0.0 << 255;
    QTest::newRow("right trough") << right << "-50" << 0 << 0.8 << -34.0 << 81;
  }
  void scroll_actions() {
    QFETCH(int, bar);
    QFETCH(QString, start);
    QFETCH(int, key);
    QFETCH(double, click_at);
    QFETCH(double, value);
    QFETCH(int, position);
    const auto which = static_cast<Bar>(bar);
    QScrollBar* scroll_bar = f_->window.bar(which);
    enter(f_->window.box(static_cast<Box>(bar)), start);
    if (key != 0) {
      QTest::keyClick(scroll_bar, static_cast<Qt::Key>(key));
    } else {
      const QPoint at(static_cast<int>(scroll_bar->width() * click_at), scroll_bar->height() / 2);
      QTest::mouseClick(scroll_bar, Qt::LeftButton, {}, at);
    }
    QCOMPARE(value_of(f_->generator, which), value);
    QCOMPARE(scroll_bar->value(), position);
    QCOMPARE(scroll_bar->sliderPosition(), position);
    QCOMPARE(f_->window.box(static_cast<Box>(bar))->text(), QString::number(value, 'g', 6));
    QCOMPARE(f_->generator.channels[1].frequency, f_->generator.panel.frequency);
  }

  void dragging_the_thumb_data() {
    QTest::addColumn<int>("bar");
    QTest::addColumn<double>("right_end");
    QTest::addColumn<double>("left_end");
    QTest::newRow("frequency") << 0 << 20000.0 << 1.0;
    QTest::newRow("left level") << 1 << 0.0 << -50.0;
    QTest::newRow("right level") << 2 << 0.0 << -50.0;
  }
  void dragging_the_thumb() {
    QFETCH(int, bar);
    QFETCH(double, right_end);
    QFETCH(double, left_end);
    const auto which = static_cast<Bar>(bar);
    QScrollBar* scroll_bar = f_->window.bar(which);
    const int y = scroll_bar->height() / 2;
    QTest::mousePress(scroll_bar, Qt::LeftButton, {}, thumb_rect(scroll_bar).center());
    QTest::mouseMove(scroll_bar, QPoint(scroll_bar->width() + 40, y));
    // While the thumb is held, each move is already a change.
    QVERIFY(scroll_bar->isSliderDown());
    QCOMPARE(value_of(f_->generator, which), right_end);
    QCOMPARE(scroll_bar->value(), kScrollRangeMax);
    QTest::mouseMove(scroll_bar, QPoint(-40, y));
    QTest::mouseRelease(scroll_bar, Qt::LeftButton, {}, QPoint(-40, y));
    QVERIFY(!scroll_bar->isSliderDown());
    QCOMPARE(value_of(f_->generator, which), left_end);
    QCOMPARE(scroll_bar->value(), kScrollRangeMin);
    QCOMPARE(f_->window.box(static_cast<Box>(bar))->text(), QString::number(left_end));
  }

  void radio_buttons_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("kind");
    const int ids[2][7] = {{52, 53, 54, 55, 61, 65, 67}, {57, 58, 59, 60, 62, 66, 68}};
    const int kinds[7] = {kSine, kSquare, kSawtooth, kPulse, kTriangle, kWhiteNoise, kPinkNoise};
    for (int channel = 0; channel < 2; ++channel)
      for (int i = 0; i < 7; ++i)
        QTest::addRow("id %d", ids[channel][i]) << ids[channel][i] << channel << kinds[i];
  }
  void radio_buttons() {
    QFETCH(int, id);
    QFETCH(int, channel);
    QFETCH(int, kind);
    const int other_sine = channel == 0 ? 57 : 52;
    f_->generator.channels[static_cast<std::size_t>(channel)].waveform = 0;
    QTest::mouseClick(f_->window.radio_button(id), Qt::LeftButton);
    QCOMPARE(f_->generator.channels[static_cast<std::size_t>(channel)].waveform, kind);
    QCOMPARE(f_->generator.channels[static_cast<std::size_t>(1 - channel)].waveform, kSine);
    QVERIFY(f_->window.radio_button(id)->isChecked());
    QVERIFY(f_->window.radio_button(other_sine)->isChecked());
    int checked_in_row = 0;
    for (const ControlSpec& spec : panel_controls())
      if (spec.kind == ControlKind::radio && spec.slot == channel)
        checked_in_row += f_->window.radio_button(spec.id)->isChecked() ? 1 : 0;
    QCOMPARE(checked_in_row, 1);
  }

  void commands_open_their_boxes_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");  // "starts:" marks a prefix
    QTest::newRow("devices") << kCmdDeviceReport << kTextBoxTitle << "report";
    QTest::newRow("help") << kCmdHelp << kTextBoxTitle << QString::fromStdString(help_text());
    QTest::newRow("about") << kCmdAbout << kTextBoxTitle << "starts:Function Generator\n";
    QTest::newRow("timing, Ctrl+Shift+T")
        << kCmdTimingReport << kNoticeBoxTitle << "starts:waveoutproctime= ";
  }
  void commands_open_their_boxes() {
    QFETCH(int, id);
    QFETCH(QString, title);
    QFETCH(QString, text);
    MainWindow& window = f_->window;
    if (id == kCmdTimingReport) {
      window.activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(&window));
      QTest::keyClick(window.box(Box::frequency), Qt::Key_T,
                      Qt::ControlModifier | Qt::ShiftModifier);
    } else {
      window.menu_action(id)->trigger();
    }
    const std::vector<QMessageBox*> boxes = open_boxes();
    QCOMPARE(boxes.size(), 1u);
    QCOMPARE(boxes[0]->windowTitle(), title);
    if (text == "report") {
      QCOMPARE(boxes[0]->text(), QString::fromStdString(device_report_text(f_->wave_out)));
      QVERIFY(boxes[0]->text().contains("Test Card"));
    } else if (text.startsWith("starts:")) {
      QVERIFY(boxes[0]->text().startsWith(text.mid(7)));
    } else {
      QCOMPARE(boxes[0]->text(), text);
    }
    QCOMPARE(boxes[0]->standardButtons(), QMessageBox::Ok);
  }

  void product_page_opens_in_the_desktop_viewer() {
    f_->window.menu_action(kCmdProductPage)->trigger();
    QCOMPARE(f_->addresses, QStringList{kProductPageAddress});
    QVERIFY(open_boxes().empty());
  }

  void boxes_are_plain_ownerless_and_leave_the_panel_usable() {
    const std::string text = "<b>100%</b> & more";
    f_->window.show_message_box(kNoticeBoxTitle, text);
    f_->window.menu_action(kCmdHelp)->trigger();
    const std::vector<QMessageBox*> boxes = open_boxes();
    QCOMPARE(boxes.size(), 2u);
    for (QMessageBox* box : boxes) {
      QCOMPARE(box->textFormat(), Qt::PlainText);
      QCOMPARE(box->parentWidget(), nullptr);
      QCOMPARE(box->windowModality(), Qt::NonModal);
    }
    QVERIFY(boxes[0]->text() == QString::fromStdString(text) ||
            boxes[1]->text() == QString::fromStdString(text));
    enter(f_->window.box(Box::frequency), "440");
    QCOMPARE(f_->generator.panel.frequency, 440.0);
  }

  void closing_data() {
    QTest::addColumn<bool>("by_exit_command");
    QTest::newRow("Exit!") << true;
    QTest::newRow("title-bar button") << false;
  }
  void closing() {
    QFETCH(bool, by_exit_command);
    Fixture& fixture = *f_;
    WaveHeader* returned = fixture.wave_out.finish_next();
    if (by_exit_command) {
      fixture.window.menu_action(kCmdExit)->trigger();
    } else {
      fixture.window.close();
    }
    QCOMPARE(fixture.closes, 1);
    QVERIFY(!fixture.window.isVisible());
    QCOMPARE(fixture.generator.stream.handle, WaveOutHandle{0});
    QVERIFY(!fixture.wave_out.is_open);
    QCOMPARE(fixture.wave_out.calls.back(), std::string("close"));
    // A buffer the device hands back afterwards is not played again.
    const std::size_t writes = fixture.wave_out.written.size();
    fixture.window.on_device_message(kMmWomDone, returned);
    QCOMPARE(fixture.wave_out.written.size(), writes);
  }

  void device_events_run_on_the_window_thread() {
    Fixture& fixture = *f_;
    QThread* refilled_on = nullptr;
    fixture.wave_out.on_call = [&](const std::string& call) {
      if (call.rfind("write", 0) == 0) refilled_on = QThread::currentThread();
    };
    WaveHeader* done = fixture.wave_out.finish_next();
    const DeviceEventSink sink = fixture.window.device_event_sink();
    std::thread writer([&] { sink(fixture.window.notify_target(), kMmWomDone, done); });
    writer.join();
    QCOMPARE(fixture.wave_out.written.size(), 2u);  // queued, not run by the writer
    QTRY_COMPARE(fixture.wave_out.written.size(), 3u);
    QCOMPARE(refilled_on, QCoreApplication::instance()->thread());
  }

  void without_a_sound_device_the_panel_works() {
    f_.reset();
    close_boxes();
    f_ = std::make_unique<Fixture>(kMmBadDeviceId);
    const std::vector<QMessageBox*> boxes = open_boxes();
    QCOMPARE(boxes.size(), 1u);
    QCOMPARE(boxes[0]->windowTitle(), QString(kNoticeBoxTitle));
    QCOMPARE(boxes[0]->text(), QString("No sound output device could be opened."));
    QVERIFY(f_->window.isVisible());
    enter(f_->window.box(Box::left_level), "-10");
    QCOMPARE(f_->generator.panel.level_db[0], -10.0);
    QCOMPARE(open_boxes().size(), 1u);
  }

  void a_decimal_comma_locale_changes_nothing() {
    if (!qEnvironmentVariable("LC_ALL").startsWith("de_DE")) QSKIP("run with LC_ALL=de_DE.UTF-8");
    // The run is only worth something if the locale really took.
    QCOMPARE(QLocale::system().decimalPoint(), QString(","));
    QVERIFY(QString(std::setlocale(LC_CTYPE, nullptr)).startsWith("de_DE"));
    enter(f_->window.box(Box::frequency), "1234.5");
    QCOMPARE(f_->generator.panel.frequency, 1234.5);
    QCOMPARE(f_->window.box(Box::frequency)->text(), QString("1234.5"));
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
