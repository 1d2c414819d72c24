#include "zapplication.h"

#include "dialogbounds.h"

#include <QWidget>

ZApplication::ZApplication(int &argc, char **argv, Type) : QApplication(argc, argv) {
  installEventFilter(new DialogBounds(this));
}

void ZApplication::showMainWidget(QWidget *widget) {
  main = widget;
  if (!widget)
    return;
  widget->show();
  widget->raise();
  widget->activateWindow();
  widget->setFocus(Qt::ActiveWindowFocusReason);
}
