#include "util_listbox.h"

#include <QPainter>

UTIL_ListBox::UTIL_ListBox(const QString &name, QWidget *parent, Qt::WindowFlags flags)
    : QListBox(parent, nullptr, flags) {
  setObjectName(name);
}

UTIL_ListBoxItem::UTIL_ListBoxItem(QListBox *box, const QString &text, bool checkable)
    : QListBoxItem(box, text), checkable(checkable) {}

void UTIL_ListBoxItem::drawCheckBox(QPainter *p, int x, int y, bool on) {
  p->save();
  p->setBrush(Qt::white);
  p->drawRect(x, y, 15, 15);
  if (on) {
    QPen pen(QColor(20, 120, 60), 2);
    p->setPen(pen);
    p->drawLine(x + 3, y + 8, x + 6, y + 12);
    p->drawLine(x + 6, y + 12, x + 12, y + 3);
  }
  p->restore();
}

void UTIL_ListBoxItem::drawRadioBox(QPainter *p, int x, int y, bool on) {
  p->save();
  p->setRenderHint(QPainter::Antialiasing);
  p->setBrush(Qt::white);
  p->drawEllipse(x, y, 15, 15);
  if (on) {
    p->setBrush(p->pen().color());
    p->drawEllipse(x + 4, y + 4, 7, 7);
  }
  p->restore();
}

void UTIL_ListBoxItem::drawUnderline(QPainter *p, int width, int height) {
  p->save();
  p->setPen(QColor(160, 160, 160));
  p->drawLine(2, height - 1, width - 3, height - 1);
  p->restore();
}
