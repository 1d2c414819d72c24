// The picture sheet the skin's pictures are packed into, the skins.conf lines that point into it,
// and writing both out.
#pragma once

#include "palette.h"

#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace skingen {

// ---- the sheet -------------------------------------------------------------------------------
// Pictures are placed on shelves in free regions of the sheet; fixed places (the vertical
// background at the top, the panel strips and the mini lyrics strip at the left edge) are
// reserved first.
class Sheet {
public:
  Sheet(int width, int height) : img(blank(width, height, QColor(0, 0, 0))) {}

  void put(const QImage &pic, int x, int y) {
    QPainter p(&img);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(x, y, pic);
    used = std::max(used, y + logicalSize(pic).height());
  }

  void addRegion(int x0, int y0, int x1, int y1) { regions.push_back({x0, y0, x1, y1, x0, y0, 0}); }

  QPoint alloc(int w, int h) {
    for (Region &r : regions) {
      int cx = r.cx, cy = r.cy, shelf = r.shelf;
      if (cx + w > r.x1) { // next shelf
        cy += shelf + 1;
        cx = r.x0;
        shelf = 0;
      }
      if (cx + w <= r.x1 && cy + h <= r.y1) {
        r.cx = cx + w + 1;
        r.cy = cy;
        r.shelf = std::max(shelf, h);
        return QPoint(cx, cy);
      }
    }
    std::fprintf(stderr, "skingen: sheet full for %dx%d\n", w, h);
    std::exit(1);
  }

  QPoint place(const QImage &pic) {
    const QSize s = logicalSize(pic);
    const QPoint at = alloc(s.width(), s.height());
    put(pic, at.x(), at.y());
    return at;
  }
  // Two pictures of one element: the second directly below, or directly right.
  QPoint placeBelow(const QImage &a, const QImage &b) {
    const QSize s = logicalSize(a);
    const QPoint at = alloc(s.width(), s.height() * 2);
    put(a, at.x(), at.y());
    put(b, at.x(), at.y() + s.height());
    return at;
  }
  QPoint placeRight(const QImage &a, const QImage &b) {
    const QSize s = logicalSize(a);
    const QPoint at = alloc(s.width() * 2, s.height());
    put(a, at.x(), at.y());
    put(b, at.x() + s.width(), at.y());
    return at;
  }
  // A 2 x 2 block; returns the place of the top-left picture.
  QPoint placeGrid(const QImage &tl, const QImage &tr, const QImage &bl, const QImage &br) {
    const QSize s = logicalSize(tl);
    const QPoint at = alloc(s.width() * 2, s.height() * 2);
    put(tl, at.x(), at.y());
    put(tr, at.x() + s.width(), at.y());
    put(bl, at.x(), at.y() + s.height());
    put(br, at.x() + s.width(), at.y() + s.height());
    return at;
  }

  QImage finished() const { return part(img, 0, 0, logicalSize(img).width(), used); }

private:
  struct Region {
    int x0, y0, x1, y1, cx, cy, shelf;
  };
  QImage img;
  std::vector<Region> regions;
  int used = 0;
};

// skins.conf lines, in the order they are added.
struct Conf {
  QStringList lines;
  void element(const char *key, const QRect &screen, const QPoint &sheet,
               const QStringList &more = {}) {
    QStringList f{QString::number(screen.x()),     QString::number(screen.y()),
                  QString::number(screen.width()), QString::number(screen.height()),
                  QString::number(sheet.x()),      QString::number(sheet.y())};
    f += more;
    lines << QString::fromLatin1(key) + "=" + f.join(',');
  }
  void value(const char *key, const QString &v) { lines << QString::fromLatin1(key) + "=" + v; }
};

QStringList knobFields(const QPoint &k, const QSize &s);
bool writeAtomically(const QString &path, const QByteArray &data);
bool savePng(const QImage &img, const QString &path);

} // namespace skingen
