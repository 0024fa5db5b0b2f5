#include "platform/qt/text_box.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QVBoxLayout>

namespace tq::qt {

namespace {

// What a message box needs besides its lines: title bar, margins, button.
constexpr int kBoxChromeHeight = 160;
constexpr int kScrollingBoxWidth = 640;

int available_height() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->availableGeometry().height() : 0;
}

}  // namespace

bool taller_than_screen(const QString& text) {
  const int height = available_height();
  if (height <= 0) return false;
  const QFontMetrics metrics(QApplication::font("QMessageBox"));
  const auto lines = static_cast<int>(text.count(QLatin1Char('\n')) + 1);
  return lines * metrics.lineSpacing() > height - kBoxChromeHeight;
}

QDialog* new_scrolling_box(const QString& title, const QString& text) {
  auto* box = new QDialog(nullptr);
  box->setWindowTitle(title);
  box->setWindowModality(Qt::NonModal);
  box->setAttribute(Qt::WA_DeleteOnClose);

  auto* view = new QPlainTextEdit(text, box);
  view->setReadOnly(true);  // selectable and copyable, not editable
  view->setLineWrapMode(QPlainTextEdit::NoWrap);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, box);
  QObject::connect(buttons, &QDialogButtonBox::accepted, box, &QDialog::accept);

  auto* layout = new QVBoxLayout(box);
  layout->addWidget(view);
  layout->addWidget(buttons);
  box->resize(kScrollingBoxWidth, (available_height() * 2) / 3);
  return box;
}

}  // namespace tq::qt
