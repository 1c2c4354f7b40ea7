#include "ui/qt/custom_dialog.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace marvok::ui {

namespace {

// A plain window whose closing, by its timer or by the member, ends the wait.
class NoticeWindow final : public QWidget {
 public:
  explicit NoticeWindow(QEventLoop& loop) : QWidget(nullptr, Qt::Window), loop_(loop) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->accept();
    loop_.quit();
  }

 private:
  QEventLoop& loop_;
};

}  // namespace

void show_custom_dialog(const QWidget* main_window, const QString& text, int lifetime_ms) {
  QEventLoop loop;
  NoticeWindow window(loop);
  window.setObjectName(QStringLiteral("CustomDialog"));
  window.setWindowTitle(QStringLiteral("Info du Superviseur"));
  QPoint position(20, 20);
  if (main_window) position += main_window->pos();
  window.setGeometry(QRect(position, QSize(400, 200)));

  // The text area is fixed: a longer text is cut by it.
  auto* label = new QLabel(text, &window);
  label->setGeometry(10, 10, 280, 150);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  QTimer::singleShot(lifetime_ms, &window, [&window] { window.close(); });
  window.show();
  loop.exec();
}

}  // namespace marvok::ui
