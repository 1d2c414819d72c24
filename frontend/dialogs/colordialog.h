// Compact hue-saturation-value colour chooser that fits a 240 x 320 screen. The program uses only
// ColorDialog::getColor; the parts are public so that they can be driven on their own.
//
//   ColorPicker           200 x 200 hue/saturation field: hue 360 at the left edge to 0 at the
//                         right, saturation 255 at the top to 0 at the bottom; newCol(h, s) when
//                         the user picks a point.
//   ColorLuminancePicker  value strip (255 at the top) for the current hue and saturation;
//                         setCol(h, s) keeps the value and emits newHsv(h, s, v).
//   ColorShower           the colour as a swatch (ColorShowLabel) and as HSV and RGB numbers
//                         (QColNumLineEdit); typing in one group recomputes the other and emits
//                         newCol(rgb).
//   ColorDialogPrivate    wires them: newHsv -> shower, picker and strip; newColorTypedIn ->
//                         picker and strip.
#pragma once

#include <QColor>
#include <QDialog>
#include <QFrame>
#include <QImage>
#include <QLineEdit>
#include <QObject>
#include <QRgb>

class QLabel;
class QPushButton;

class ColorPicker : public QWidget {
  Q_OBJECT
public:
  explicit ColorPicker(QWidget *parent = nullptr);

  static constexpr int fieldSize = 200; // in the design's pixels
  int hue() const { return hue_; }
  int sat() const { return sat_; }
  QSize sizeHint() const override { return {side, side}; }

public slots:
  void setCol(int h, int s);

signals:
  void newCol(int h, int s);

protected:
  void paintEvent(QPaintEvent *) override;
  void mousePressEvent(QMouseEvent *e) override;
  void mouseMoveEvent(QMouseEvent *e) override;

private:
  QPoint colPt() const;
  int huePt(const QPoint &pt) const;
  int satPt(const QPoint &pt) const;
  void setCol(const QPoint &pt);

  int side; // fieldSize at the window's scale
  int hue_ = 150;
  int sat_ = 255;
  QImage field; // painted once, value 200 everywhere
};

class ColorLuminancePicker : public QWidget {
  Q_OBJECT
public:
  explicit ColorLuminancePicker(QWidget *parent = nullptr);

  int value() const { return val; }
  QSize sizeHint() const override;

public slots:
  void setCol(int h, int s);
  void setCol(int h, int s, int v);

signals:
  void newHsv(int h, int s, int v);

protected:
  void paintEvent(QPaintEvent *) override;
  void mousePressEvent(QMouseEvent *e) override;
  void mouseMoveEvent(QMouseEvent *e) override;

private:
  int y2val(int y) const;
  int val2y(int v) const;
  void setVal(int v);

  static constexpr int margin = 3;
  int hue = 150, sat = 255, val = 200;
  QImage strip; // rebuilt when hue or saturation change
};

class ColorShowLabel : public QFrame {
  Q_OBJECT
public:
  explicit ColorShowLabel(QWidget *parent = nullptr);
  void setColor(const QColor &c);
  QColor color() const { return col; }

protected:
  void paintEvent(QPaintEvent *) override;

private:
  QColor col;
};

// Integer field: only digits (and a leading minus) can be typed; a negative number becomes 0 and
// a number above the maximum becomes the maximum, in the value and in the text.
class QColNumLineEdit : public QLineEdit {
  Q_OBJECT
public:
  explicit QColNumLineEdit(int maximum, QWidget *parent = nullptr);
  void setNum(int i);
  int val() const;
  int maximum() const { return max; }

private slots:
  void clampTyped(const QString &text);

private:
  int max;
};

class ColorShower : public QWidget {
  Q_OBJECT
public:
  explicit ColorShower(QWidget *parent = nullptr);

  QRgb currentColor() const { return curCol; }
  int hue() const { return hue_; }
  int sat() const { return sat_; }
  int value() const { return val_; }
  QColNumLineEdit *hueEdit() const { return hEd; }
  QColNumLineEdit *satEdit() const { return sEd; }
  QColNumLineEdit *valEdit() const { return vEd; }
  QColNumLineEdit *redEdit() const { return rEd; }
  QColNumLineEdit *greenEdit() const { return gEd; }
  QColNumLineEdit *blueEdit() const { return bEd; }
  ColorShowLabel *label() const { return lab; }

public slots:
  void setRgb(QRgb rgb);
  void setHsv(int h, int s, int v);

signals:
  void newCol(QRgb rgb);

private slots:
  void hsvEd();
  void rgbEd();

private:
  void showCurrentColor();
  void showHsv();
  void showRgb();

  QColNumLineEdit *hEd, *sEd, *vEd, *rEd, *gEd, *bEd, *alphaEd;
  QLabel *alphaLab;
  ColorShowLabel *lab;
  QRgb curCol = qRgb(255, 255, 255);
  int hue_ = 0, sat_ = 0, val_ = 255;
  bool updating = false; // fields being filled by the program, not typed
};

class ColorDialogPrivate : public QObject {
  Q_OBJECT
public:
  explicit ColorDialogPrivate(QObject *parent = nullptr) : QObject(parent) {}

  ColorPicker *cp = nullptr;
  ColorLuminancePicker *lp = nullptr;
  ColorShower *cs = nullptr;
  QPushButton *ok = nullptr;
  QPushButton *cancel = nullptr;

  void setCurrentColor(QRgb rgb);
  QRgb currentColor() const { return cs->currentColor(); }

public slots:
  void newHsv(int h, int s, int v);
  void newColorTypedIn(QRgb rgb);
};

class ColorDialog : public QDialog {
  Q_OBJECT
public:
  explicit ColorDialog(QWidget *parent = nullptr, const char *name = nullptr, bool modal = false);

  // Modal chooser titled "Choose color" on `initial` (made opaque). Returns the chosen colour
  // after "OK"; an invalid colour after "Cancel" or when the dialog is closed.
  static QColor getColor(const QColor &initial, QWidget *parent = nullptr,
                         const char *name = nullptr);

  void setColor(const QColor &c);
  QColor color() const;
  ColorDialogPrivate *parts() const { return d; }

private:
  ColorDialogPrivate *d;
};
