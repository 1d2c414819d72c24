// Hit zones of the stylus controls that are not skin elements, shared by the press and the
// release handlers (touch.cpp, touchrelease.cpp).
#pragma once

#include "elementid.h"
#include "skinelement.h"

#include <QPoint>

namespace touchzones {

// Inclusive rectangle of a fixed zone.
struct Zone {
  int x0, x1, y0, y1;
  constexpr bool contains(const QPoint &p) const {
    return x0 <= p.x() && p.x() <= x1 && y0 <= p.y() && p.y() <= y1;
  }
};

inline constexpr Zone kMainMenuZone{3, 59, 1, 29};
inline constexpr Zone kInertZone{25, 99, 45, 58};
inline constexpr Zone kHorizontalLyricsBand{91, 149, 1, 319};
inline constexpr Zone kMiniDragStrip{81, 159, 1, 59};

// Mini-mode buttons: hit zone, and for the three small ones the pressed picture on the mini
// button sheet and where it is drawn.
struct MiniButton {
  int id;
  Zone zone;
  int sx, sy, w, h, x, y;
};
inline constexpr MiniButton kMiniButtons[] = {
    {ExitElement, {219, 239, 1, 19}, 40, 60, 20, 18, 220, 0},
    {MiniElement, {183, 199, 1, 19}, 20, 60, 20, 18, 180, 0},
    {RotateElement, {201, 217, 1, 19}, 0, 60, 20, 18, 200, 0},
    {PrevElement, {6, 24, 4, 22}, 0, 0, 0, 0, 0, 0},
    {PlayElement, {27, 45, 4, 22}, 0, 0, 0, 0, 0, 0},
    {NextElement, {48, 66, 4, 22}, 0, 0, 0, 0, 0, 0},
};

inline const MiniButton *miniButton(int id) {
  for (const MiniButton &b : kMiniButtons)
    if (b.id == id)
      return &b;
  return nullptr;
}

inline bool inside(const SkinElement &e, const QPoint &p) { return e.contains(p.x(), p.y()); }

} // namespace touchzones
