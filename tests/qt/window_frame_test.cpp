// The window's outer size on a real X server (Xvfb), run by
// window_frame_test.sh once under openbox and once without a window manager
// (TQ_WINDOW_MANAGER says which).

#include <QApplication>
#include <QEvent>
#include <QTest>
#include <QWindow>

#include "panel/layout.h"
#include "platform/qt/main_window.h"
#include "platform/qt/program.h"

namespace tq::qt {

// Every size the window is on screen at, from its first exposure on.
class ShownSizes : public QObject {
 public:
  explicit ShownSizes(MainWindow& window) : window_(window) {
    window.winId();  // the native window, watched from before it is shown
    window.windowHandle()->installEventFilter(this);
  }
  QList<QSize> sizes;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    const bool exposed = event->type() == QEvent::Expose && window_.windowHandle()->isExposed();
    if (exposed && (sizes.isEmpty() || sizes.last() != window_.size())) sizes << window_.size();
    return QObject::eventFilter(watched, event);
  }

 private:
  MainWindow& window_;
};

class WindowFrameTest : public QObject {
  Q_OBJECT

 private slots:
  void outer_size_is_600_by_280() {
    const bool managed = qEnvironmentVariable("TQ_WINDOW_MANAGER") != "none";
    MainWindow window;
    ShownSizes shown(window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // Long enough for a frame that becomes known after showing to be fitted.
    QTest::qWait(1500);
    const QSize outer(kWindowWidth, kWindowHeight);
    QCOMPARE(window.frameGeometry().size(), outer);
    if (managed) {
      QVERIFY2(window.size() != outer, "no frame: is the window manager running?");
      // On screen at its final size from the first exposure on: no second jump.
      QCOMPARE(shown.sizes, QList<QSize>{window.size()});
    } else {
      QCOMPARE(window.size(), outer);
    }
  }
};

}  // namespace tq::qt

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  tq::qt::prepare_application();
  tq::qt::WindowFrameTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "window_frame_test.moc"
