#include "zmessagebox.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

int ZMessageBox::information(QWidget *parent, const QPixmap &icon, const QString &text,
                             const QString &button0, const QString &button1, const QString &button2,
                             int defaultButton) {
  QMessageBox box(parent);
  box.setTextFormat(Qt::RichText);
  box.setText(text);
  if (!icon.isNull())
    box.setIconPixmap(icon);
  QList<QAbstractButton *> buttons;
  for (const QString &caption : {button0, button1, button2})
    if (!caption.isNull())
      buttons << box.addButton(caption, QMessageBox::AcceptRole);
  if (buttons.isEmpty())
    buttons << box.addButton(QMessageBox::Ok);
  // Three answers in a row are wider than a phone's 240-pixel screen, and the last one would sit
  // off its edge: when the row does not fit the window, the answers stand one above the other.
  if (QDialogButtonBox *row = box.findChild<QDialogButtonBox *>(); row && buttons.size() > 1) {
    const QWidget *window = parent ? parent->window() : nullptr;
    const int room = window ? window->width() : box.screen()->availableGeometry().width();
    const QMargins margins = box.layout() ? box.layout()->contentsMargins() : QMargins();
    if (row->sizeHint().width() + margins.left() + margins.right() > room)
      row->setOrientation(Qt::Vertical);
  }
  if (defaultButton >= 0 && defaultButton < buttons.size())
    box.setDefaultButton(static_cast<QPushButton *>(buttons[defaultButton]));
  box.exec();
  int index = buttons.indexOf(box.clickedButton());
  return index < 0 ? static_cast<int>(buttons.size()) - 1 : index;
}
