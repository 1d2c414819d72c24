#include "pictures.h"

#include "widgets.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

namespace skingen {

void paintScreenBackground(QPainter &p, int height) {
  QLinearGradient g(0, 0, 0, height);
  g.setColorAt(0, bgTop);
  g.setColorAt(1, bgBottom);
  p.fillRect(0, 0, 240, height, g);
}

QImage verticalBackground() {
  QImage img = blank(240, 320);
  QPainter p(&img);
  antialias(p);
  paintScreenBackground(p, 320);
  // Menu corner: the whole top-left area opens the main menu, so it carries the name and the
  // menu mark but no control.
  p.setPen(QPen(textDim, 1.6, Qt::SolidLine, Qt::RoundCap));
  for (int i = 0; i < 3; ++i)
    p.drawLine(QPointF(9, 10 + i * 5), QPointF(19, 10 + i * 5));
  p.setFont(font(13, true));
  p.setPen(text);
  p.drawText(QRectF(24, 3, 60, 22), Qt::AlignLeft | Qt::AlignVCenter, "velora");
  // The display: title, time, play state and the four switches.
  p.setPen(QPen(displayEdge, 1));
  p.setBrush(display);
  p.drawRoundedRect(QRectF(displayRect).adjusted(0.5, 0.5, -0.5, -0.5), 7, 7);
  p.setPen(QPen(QColor(0x1c, 0x23, 0x2e), 1));
  p.drawLine(QPointF(10, 52.5), QPointF(230, 52.5));
  // Position bar groove (the knob picture carries the same groove on both sides).
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x2a, 0x31, 0x3d));
  p.drawRoundedRect(QRectF(12, 95, 216, 4), 2, 2);
  p.setFont(font(8, true));
  p.setPen(textFaint);
  p.drawText(QRectF(168, 108, 68, 10), Qt::AlignCenter, "VOLUME");
  // Panel area: the playlist panel is the one drawn with the main background.
  p.fillRect(0, panelTop, 240, panelHeight, panel);
  p.setPen(QPen(panelEdge, 1));
  p.drawLine(QPointF(0, panelTop + 0.5), QPointF(240, panelTop + 0.5));
  // Playlist lines are copied from one row of this area for every line, so it stays uniform
  // from top to bottom.
  p.fillRect(QRect(4, listTop, 232, listHeight), listArea);
  return img;
}

// A lower panel with its own background strip (lyrics, equalizer).
QImage panelStrip(bool lyrics) {
  QImage img = blank(240, panelHeight, panel);
  QPainter p(&img);
  antialias(p);
  p.setPen(QPen(panelEdge, 1));
  p.drawLine(QPointF(0, 0.5), QPointF(240, 0.5));
  if (lyrics) {
    QLinearGradient g(0, 26, 0, 146);
    g.setColorAt(0, QColor(0x0e, 0x12, 0x19));
    g.setColorAt(0.5, QColor(0x13, 0x19, 0x23));
    g.setColorAt(1, QColor(0x0e, 0x12, 0x19));
    p.fillRect(QRect(0, 26, 240, 120), g);
  } else {
    p.fillRect(QRect(4, 26, 232, 120), listArea);
    // Band names under the columns (preamp at x 22, bands every 18 pixels from x 52, 12 wide;
    // the columns end at row 135 of this strip).
    p.setFont(font(8, true, true));
    p.setPen(textDim);
    p.drawText(QRectF(14, 137, 28, 9), Qt::AlignCenter, "PRE");
    const char *bands[] = {"60", "170", "310", "600", "1K", "3K", "6K", "12K", "14K", "16K"};
    for (int i = 0; i < 10; ++i)
      p.drawText(QRectF(52 + 18 * i - 5, 137, 22, 9), Qt::AlignCenter, bands[i]);
    p.setPen(QPen(QColor(0x22, 0x29, 0x34), 1));
    p.drawLine(QPointF(43.5, 56), QPointF(43.5, 132));
  }
  return img;
}

QImage wallpaper() {
  QImage img = blank(320, 240);
  QPainter p(&img);
  antialias(p);
  QLinearGradient g(0, 0, 320, 240);
  g.setColorAt(0, QColor(0x10, 0x1c, 0x33));
  g.setColorAt(0.55, QColor(0x1b, 0x15, 0x33));
  g.setColorAt(1, QColor(0x09, 0x0c, 0x16));
  p.fillRect(logicalRect(img), g);
  // Soft light and a few sound waves; dark enough everywhere for light lyrics on top.
  QRadialGradient glow(250, 70, 170);
  glow.setColorAt(0, QColor(0x35, 0xc2, 0xff, 70));
  glow.setColorAt(1, QColor(0x35, 0xc2, 0xff, 0));
  p.fillRect(logicalRect(img), glow);
  QRadialGradient glow2(40, 210, 150);
  glow2.setColorAt(0, QColor(0xb0, 0x5c, 0xff, 55));
  glow2.setColorAt(1, QColor(0xb0, 0x5c, 0xff, 0));
  p.fillRect(logicalRect(img), glow2);
  for (int k = 0; k < 5; ++k) {
    QPainterPath wave;
    for (int x = 0; x <= 320; x += 4) {
      const double y = 120 + std::sin(x / (38.0 + k * 6) + k) * (18 + k * 5) + (k - 2) * 9;
      if (x == 0)
        wave.moveTo(x, y);
      else
        wave.lineTo(x, y);
    }
    p.setPen(QPen(QColor(0x7f, 0xd8, 0xff, 30 + k * 8), 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
  }
  return img;
}

// ---- mini mode -------------------------------------------------------------------------------
const QColor miniBar(0x15, 0x1a, 0x22), miniTime(0x0a, 0x0d, 0x12);

QImage miniMain() {
  QImage img = blank(240, 25, miniBar);
  QPainter p(&img);
  antialias(p);
  QLinearGradient g(0, 0, 0, 25);
  g.setColorAt(0, QColor(0x22, 0x29, 0x35));
  g.setColorAt(1, QColor(0x15, 0x1a, 0x22));
  p.fillRect(logicalRect(img), g);
  p.setPen(QPen(displayEdge, 1));
  p.setBrush(miniTime);
  // Time well: the digits are copied at rows 8 to 23 over a flat colour.
  p.drawRoundedRect(QRectF(84.5, 4.5, 64, 20), 4, 4);
  p.fillRect(QRect(86, 6, 62, 18), miniTime);
  // Grip dots: the middle of the strip drags the window.
  p.setPen(Qt::NoPen);
  p.setBrush(textFaint);
  for (int i = 0; i < 3; ++i) {
    p.drawEllipse(QPointF(160 + i * 5, 12.5), 1.2, 1.2);
    p.drawEllipse(QPointF(72 + i * 4, 12.5), 1.0, 1.0);
  }
  return img;
}

QImage miniButtons(const QImage &main) {
  QImage img = blank(186, 78, miniBar);
  QPainter p(&img);
  auto over = [&](int x, int y, int w, int h) { return part(main, x, y, w, h); };
  // Transport: play (0), pause (21), previous (42), next (62); pressed one row down.
  struct T {
    int sx, w, dx;
    Icon icon;
    bool primary;
  } t[] = {{0, 21, 26, Icon::Play, true},
           {21, 21, 26, Icon::Pause, true},
           {42, 20, 5, Icon::Prev, false},
           {62, 20, 47, Icon::Next, false}};
  for (const T &b : t) {
    const QImage bg = over(b.dx, 3, b.w, 20);
    p.drawImage(b.sx, 0, button(bg, Look::Normal, b.icon, {}, true, b.primary));
    p.drawImage(b.sx, 20, button(bg, Look::Pressed, b.icon, {}, true, b.primary));
  }
  // Digits 0-9 (10 x 16) and the separator (4 x 16), over the flat time well.
  for (int d = 0; d < 10; ++d)
    p.drawImage(82 + 10 * d, 0, glyph(QString::number(d), 10, 16, 14, text, miniTime));
  p.drawImage(182, 0, glyph(":", 4, 16, 13, accent, miniTime));
  // Small buttons: the picture at (0,40) shows at x 180, (20,40) at 200, (40,40) at 220; the
  // pressed row has the first two the other way round: (0,60) shows at 200, (20,60) at 180.
  auto small = [&](int dx, Icon icon, Look look) {
    QImage pic = over(dx, 0, 20, 18);
    QPainter q(&pic);
    antialias(q);
    const QRectF r(2.5, 2.5, 15, 13);
    if (look == Look::Pressed) {
      q.setPen(QPen(accent, 1));
      q.setBrush(QColor(0x10, 0x14, 0x1a));
      q.drawRoundedRect(r, 3, 3);
    }
    QRectF ir(0, 0, 14, 14);
    ir.moveCenter(r.center());
    drawIcon(q, icon, ir, look == Look::Pressed ? accent : textDim);
    return pic;
  };
  p.drawImage(0, 40, small(180, Icon::Note, Look::Normal));
  p.drawImage(20, 40, small(200, Icon::Restore, Look::Normal));
  p.drawImage(40, 40, small(220, Icon::Close, Look::Normal));
  p.drawImage(0, 60, small(200, Icon::Restore, Look::Pressed));
  p.drawImage(20, 60, small(180, Icon::Note, Look::Pressed));
  p.drawImage(40, 60, small(220, Icon::Close, Look::Pressed));
  return img;
}

// 1-bit window shape: black shows the window, white hides it.
QImage mask(int visibleHeight) {
  QImage shape = blank(240, 48, Qt::white);
  {
    QPainter p(&shape);
    antialias(p);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawRoundedRect(QRectF(0, 0, 240, visibleHeight), 6, 6);
  }
  QImage mono = shape.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
  return mono;
}

QImage miniLyricsStrip() {
  QImage img = blank(240, 23);
  QPainter p(&img);
  QLinearGradient g(0, 0, 0, 23);
  g.setColorAt(0, QColor(0x0c, 0x10, 0x16));
  g.setColorAt(1, QColor(0x12, 0x17, 0x1f));
  p.fillRect(logicalRect(img), g);
  p.setPen(QColor(0x26, 0x2e, 0x3a));
  p.drawLine(0, 0, 240, 0);
  return img;
}

} // namespace skingen
