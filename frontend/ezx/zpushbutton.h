// Push button of the phone framework.
#pragma once

#include <QPushButton>

class ZPushButton : public QPushButton {
  Q_OBJECT
public:
  // The phone's three extra arguments chose a look (0) and a fixed size (-1 = natural).
  explicit ZPushButton(QWidget *parent = nullptr, int style = 0, int width = -1, int height = -1);
};
