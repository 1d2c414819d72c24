#include "zmainwidget.h"

#include <QFocusEvent>
#include <QKeyEvent>

ZMainWidget::ZMainWidget(QWidget *parent, const char *name, Qt::WindowFlags flags)
    : QWidget(parent, flags) {
  if (name)
    setObjectName(QString::fromLatin1(name));
  setFocusPolicy(Qt::StrongFocus);
}

std::uint16_t ZMainWidget::phoneKeyCode(int qtKey) {
  if (qtKey == Qt::Key_Return)
    return 0x1005;
  if (qtKey >= 0x01000000 && qtKey <= 0x01000060) // the keys the phone knew
    return static_cast<std::uint16_t>(0x1000 | (qtKey & 0x0fff));
  if (qtKey >= 0 && qtKey < 0x1000)
    return static_cast<std::uint16_t>(qtKey);
  return 0; // keys the phone had no number for (media keys, ...)
}

bool ZMainWidget::qwsEvent(QWSEvent *) { return false; }

bool ZMainWidget::event(QEvent *e) {
  switch (e->type()) {
  case QEvent::KeyPress:
  case QEvent::KeyRelease: {
    auto *ke = static_cast<QKeyEvent *>(e);
    QString text = ke->text();
    QWSKeyEvent raw(phoneKeyCode(ke->key()), e->type() == QEvent::KeyPress, ke->isAutoRepeat(),
                    text.isEmpty() ? 0 : text.at(0).unicode());
    if (qwsEvent(&raw)) {
      e->accept();
      return true;
    }
    break;
  }
  case QEvent::FocusIn: {
    QWSFocusEvent raw(true);
    if (qwsEvent(&raw))
      return true;
    break;
  }
  default:
    break;
  }
  return QWidget::event(e);
}
