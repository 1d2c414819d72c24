// Button drawn from the phone skin ("CST_Menu", "CST_Back", ...), with a caption.
#pragma once

#include <QPushButton>

class UTIL_PushButton : public QPushButton {
  Q_OBJECT
public:
  // skinName picks the face; text is the caption; width/height (design pixels, scaled
  // with the window) <= 0 take the default size.
  UTIL_PushButton(const QString &skinName, const QString &text, QWidget *parent = nullptr,
                  int style = 0, int width = -1, int height = -1);

  static const int defaultWidth;
  static const int defaultHeight;

  QString skinName() const { return face; }

protected:
  void paintEvent(QPaintEvent *e) override;

private:
  QString face;
  QPixmap facePixmap;
};
