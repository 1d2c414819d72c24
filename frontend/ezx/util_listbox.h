// Owner-drawn list box of the phone framework and its item with check-box helpers.
#pragma once

#include "qlistbox.h"

class UTIL_ListBox : public QListBox {
  Q_OBJECT
public:
  explicit UTIL_ListBox(const QString &name = QStringLiteral("ezx_util_list"),
                        QWidget *parent = nullptr, Qt::WindowFlags flags = {});
};

class UTIL_ListBoxItem : public QListBoxItem {
public:
  // checkable items carry a tick the owner may show with drawCheckBox.
  UTIL_ListBoxItem(QListBox *box, const QString &text = QString(), bool checkable = false);

  bool isCheckable() const { return checkable; }
  bool isChecked() const { return checked; }
  void setChecked(bool on) { checked = on; }

  // 16 x 16 boxes at (x, y), drawn with the painter's pen.
  static void drawCheckBox(QPainter *p, int x, int y, bool on);
  static void drawRadioBox(QPainter *p, int x, int y, bool on);
  // A thin separator line under a cell of the given width and height.
  static void drawUnderline(QPainter *p, int width, int height);

private:
  bool checkable;
  bool checked = false;
};
