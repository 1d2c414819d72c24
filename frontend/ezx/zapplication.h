// The application object of the phone framework, on Qt 6 Widgets.
#pragma once

#include <QApplication>

class ZApplication : public QApplication {
  Q_OBJECT
public:
  enum Type { GuiClient, GuiServer };
  ZApplication(int &argc, char **argv, Type type = GuiClient);

  // The phone showed this widget full screen; on a desktop the 240 x 320 window is simply shown,
  // raised and given the focus so that its keys reach it.
  void showMainWidget(QWidget *widget);
  QWidget *mainWidget() const { return main; }

private:
  QWidget *main = nullptr;
};
