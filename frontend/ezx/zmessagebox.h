// Modal message box of the phone framework.
#pragma once

#include <QPixmap>
#include <QString>

class QWidget;

class ZMessageBox {
public:
  // Shows text (rich text allowed) with up to three buttons; a null text leaves a button out.
  // Returns the index of the button pressed, 0 for the first; closing the box counts as the last
  // button shown.
  static int information(QWidget *parent, const QPixmap &icon, const QString &text,
                         const QString &button0, const QString &button1 = QString(),
                         const QString &button2 = QString(), int defaultButton = 0);
};
