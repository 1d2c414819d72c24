#include "zmessagebox.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

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
  if (defaultButton >= 0 && defaultButton < buttons.size())
    box.setDefaultButton(static_cast<QPushButton *>(buttons[defaultButton]));
  box.exec();
  int index = buttons.indexOf(box.clickedButton());
  return index < 0 ? static_cast<int>(buttons.size()) - 1 : index;
}
