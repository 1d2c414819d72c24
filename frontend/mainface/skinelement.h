// One skins.conf element: its comma-separated fields, read by position. Fields 0 to 5 are x, y,
// w, h of the element on screen and sx, sy of its picture on the sheet; the rest depend on the
// element's role. A field past the end of the list, or one that is not a number, reads as 0.
// Numbers are bounded to +-maxField, so a hostile skin cannot overflow the pixel arithmetic
// built on them (a screen coordinate times 100 for a percentage, sums of positions and sizes).
#pragma once

#include <QStringList>

class SkinElement : public QStringList {
public:
  SkinElement() = default;
  SkinElement(const QStringList &fields) : QStringList(fields) {}

  static constexpr int maxField = 100000;

  int field(int i) const {
    if (i < 0 || i >= size())
      return 0;
    bool ok = false;
    qlonglong v = at(i).trimmed().toLongLong(&ok, 10);
    if (!ok)
      return 0;
    return static_cast<int>(v < -maxField ? -maxField : v > maxField ? maxField : v);
  }
  // The field as text (colours such as "#ffffff" or "white"); empty past the end.
  QString text(int i) const { return (i >= 0 && i < size()) ? at(i).trimmed() : QString(); }

  int x() const { return field(0); }
  int y() const { return field(1); }
  int w() const { return field(2); }
  int h() const { return field(3); }
  int sx() const { return field(4); }
  int sy() const { return field(5); }

  // The strict hit test of the touch rules: border pixels do not hit.
  bool contains(int px, int py) const {
    return x() < px && px < x() + w() && y() < py && py < y() + h();
  }
};
