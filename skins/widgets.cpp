#include "widgets.h"

#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace skingen {

void drawIcon(QPainter &p, Icon icon, const QRectF &r, const QColor &c) {
  p.save();
  antialias(p);
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  const double s = std::min(r.width(), r.height());
  const QPointF m = r.center();
  auto tri = [&](double x0, double x1, double half) {
    QPainterPath path;
    path.moveTo(x0, m.y() - half);
    path.lineTo(x1, m.y());
    path.lineTo(x0, m.y() + half);
    path.closeSubpath();
    p.drawPath(path);
  };
  switch (icon) {
  case Icon::None:
    break;
  case Icon::Play:
    tri(m.x() - s * 0.26, m.x() + s * 0.34, s * 0.34);
    break;
  case Icon::Pause:
    p.drawRoundedRect(QRectF(m.x() - s * 0.28, m.y() - s * 0.32, s * 0.2, s * 0.64), 1.2, 1.2);
    p.drawRoundedRect(QRectF(m.x() + s * 0.08, m.y() - s * 0.32, s * 0.2, s * 0.64), 1.2, 1.2);
    break;
  case Icon::Stop:
    p.drawRoundedRect(QRectF(m.x() - s * 0.27, m.y() - s * 0.27, s * 0.54, s * 0.54), 1.5, 1.5);
    break;
  case Icon::Prev:
    p.drawRect(QRectF(m.x() - s * 0.34, m.y() - s * 0.28, s * 0.11, s * 0.56));
    tri(m.x() + s * 0.3, m.x() - s * 0.24, s * 0.28);
    break;
  case Icon::Next:
    p.drawRect(QRectF(m.x() + s * 0.23, m.y() - s * 0.28, s * 0.11, s * 0.56));
    tri(m.x() - s * 0.3, m.x() + s * 0.24, s * 0.28);
    break;
  case Icon::Close: {
    p.setPen(QPen(c, std::max(1.6, s * 0.12), Qt::SolidLine, Qt::RoundCap));
    const double d = s * 0.24;
    p.drawLine(QPointF(m.x() - d, m.y() - d), QPointF(m.x() + d, m.y() + d));
    p.drawLine(QPointF(m.x() - d, m.y() + d), QPointF(m.x() + d, m.y() - d));
    break;
  }
  case Icon::Rotate: { // a phone lying on its side
    p.setPen(QPen(c, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(m.x() - s * 0.36, m.y() - s * 0.22, s * 0.72, s * 0.44), 2, 2);
    p.setBrush(c);
    p.drawEllipse(QPointF(m.x() + s * 0.26, m.y()), 1.0, 1.0);
    break;
  }
  case Icon::Mini: // a strip at the top of a frame
    p.setPen(QPen(c, 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(m.x() - s * 0.3, m.y() - s * 0.3, s * 0.6, s * 0.6), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRect(QRectF(m.x() - s * 0.3, m.y() - s * 0.3, s * 0.6, s * 0.2));
    break;
  case Icon::Restore: // a full frame
    p.setPen(QPen(c, 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(m.x() - s * 0.22, m.y() - s * 0.3, s * 0.44, s * 0.6), 1.5, 1.5);
    p.drawLine(QPointF(m.x() - s * 0.1, m.y() + s * 0.18),
               QPointF(m.x() + s * 0.1, m.y() + s * 0.18));
    break;
  case Icon::Note: {
    p.drawEllipse(QPointF(m.x() - s * 0.12, m.y() + s * 0.2), s * 0.13, s * 0.1);
    p.drawRect(QRectF(m.x(), m.y() - s * 0.3, s * 0.07, s * 0.5));
    QPainterPath flag;
    flag.moveTo(m.x(), m.y() - s * 0.3);
    flag.lineTo(m.x() + s * 0.24, m.y() - s * 0.16);
    flag.lineTo(m.x() + s * 0.24, m.y() - s * 0.06);
    flag.lineTo(m.x(), m.y() - s * 0.18);
    p.drawPath(flag);
    break;
  }
  case Icon::Folder: {
    QPainterPath path;
    const double x = m.x() - s * 0.34, y = m.y() - s * 0.26, w = s * 0.68, h = s * 0.52;
    path.moveTo(x, y + h);
    path.lineTo(x, y);
    path.lineTo(x + w * 0.38, y);
    path.lineTo(x + w * 0.48, y + h * 0.16);
    path.lineTo(x + w, y + h * 0.16);
    path.lineTo(x + w, y + h);
    path.closeSubpath();
    p.drawPath(path);
    break;
  }
  }
  p.restore();
}

// ---- controls --------------------------------------------------------------------------------
// A rounded button drawn over `bg` (which it keeps as the picture's background).
QImage button(const QImage &bg, Look look, Icon icon, const QString &label, bool round,
              bool primary) {
  QImage img = bg.copy();
  QPainter p(&img);
  antialias(p);
  const QRectF r = QRectF(logicalRect(img)).adjusted(1, 1, -1, -1);
  const double radius = round ? std::min(r.width(), r.height()) / 2 : 5;
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  QColor iconColour = text, edge = btnEdge;
  if (look == Look::Pressed) {
    g.setColorAt(0, QColor(0x10, 0x14, 0x1a));
    g.setColorAt(1, QColor(0x16, 0x1b, 0x23));
    edge = accent;
    iconColour = accent;
  } else if (look == Look::On) {
    g.setColorAt(0, QColor(0x2b, 0x8f, 0xc4));
    g.setColorAt(1, QColor(0x1d, 0x6a, 0x96));
    edge = accent;
    iconColour = Qt::white;
  } else if (primary) {
    g.setColorAt(0, QColor(0x47, 0xcc, 0xff));
    g.setColorAt(1, QColor(0x22, 0x9c, 0xd8));
    edge = QColor(0x6a, 0xd8, 0xff);
    iconColour = QColor(0x06, 0x1a, 0x26);
  } else {
    g.setColorAt(0, btnTop);
    g.setColorAt(1, btnBottom);
  }
  if (primary && look == Look::Pressed) {
    g.setColorAt(0, QColor(0x12, 0x5e, 0x86));
    g.setColorAt(1, QColor(0x0e, 0x4a, 0x6a));
    iconColour = Qt::white;
  }
  p.setPen(QPen(edge, look == Look::Pressed ? 1.6 : 1.0));
  p.setBrush(g);
  p.drawRoundedRect(r, radius, radius);
  const QPointF shift = look == Look::Pressed ? QPointF(0, 1) : QPointF(0, 0);
  if (label.isEmpty()) {
    const double s = std::min(r.width(), r.height()) * 0.78;
    QRectF ir(0, 0, s, s);
    ir.moveCenter(r.center() + shift);
    drawIcon(p, icon, ir, iconColour);
  } else {
    QRectF tr = r.translated(shift);
    if (icon != Icon::None) {
      const double s = r.height() * 0.8;
      const double tw = QFontMetricsF(font(10, true)).horizontalAdvance(label);
      const double total = s + 2 + tw;
      QRectF ir(r.center().x() - total / 2, r.center().y() - s / 2, s, s);
      drawIcon(p, icon, ir.translated(shift), iconColour);
      tr.setLeft(ir.right() + 2);
      tr.setWidth(tw + 2);
    }
    p.setFont(font(10, true));
    p.setPen(look == Look::Normal && !primary ? text : iconColour);
    p.drawText(tr, Qt::AlignCenter, label);
  }
  return img;
}

// A pill switch: off is an outline with dim text, on is filled with the accent colour.
QImage toggle(const QImage &bg, bool on, const QString &label, int pixels) {
  QImage img = bg.copy();
  QPainter p(&img);
  antialias(p);
  const QRectF r = QRectF(logicalRect(img)).adjusted(1, 1, -1, -1);
  const double radius = std::min(r.height() / 2, 6.0);
  if (on) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(0x4a, 0xd0, 0xff));
    g.setColorAt(1, QColor(0x24, 0xa2, 0xe0));
    p.setPen(QPen(QColor(0x8a, 0xe2, 0xff), 1));
    p.setBrush(g);
  } else {
    p.setPen(QPen(btnEdge, 1));
    p.setBrush(QColor(0x18, 0x1d, 0x25));
  }
  p.drawRoundedRect(r, radius, radius);
  p.setFont(font(pixels, true));
  p.setPen(on ? QColor(0x04, 0x18, 0x24) : textDim);
  p.drawText(r, Qt::AlignCenter, label);
  return img;
}

// A panel tab: selected tabs are lit and joined to the panel above them.
QImage tab(const QImage &bg, bool on, const QString &label) {
  QImage img = bg.copy();
  QPainter p(&img);
  antialias(p);
  const QRectF r = QRectF(logicalRect(img)).adjusted(1, 0.5, -1, -1);
  QPainterPath path;
  path.addRoundedRect(r, 5, 5);
  if (on) {
    p.setPen(QPen(accentDim, 1));
    p.setBrush(QColor(0x1b, 0x2a, 0x38));
    p.drawPath(path);
    p.setPen(QPen(accent, 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(r.left() + 12, r.bottom() - 1.5), QPointF(r.right() - 12, r.bottom() - 1.5));
    p.setPen(text);
  } else {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x16, 0x1b, 0x23));
    p.drawPath(path);
    p.setPen(textDim);
  }
  p.setFont(font(11, on));
  p.drawText(r.adjusted(0, -1, 0, -1), Qt::AlignCenter, label);
  return img;
}

// ---- glyphs ----------------------------------------------------------------------------------
QImage glyph(const QString &ch, int w, int h, int pixels, const QColor &fg, const QColor &bg) {
  QImage img = blank(w, h, bg);
  QPainter p(&img);
  antialias(p);
  p.setFont(font(pixels, true));
  p.setPen(fg);
  p.drawText(QRectF(0, 0, w, h), Qt::AlignCenter, ch);
  return img;
}

QImage timeGlyphs() {
  QImage strip = blank(glyphW * 11, glyphH, display);
  QPainter p(&strip);
  for (int d = 0; d < 10; ++d)
    p.drawImage(d * glyphW, 0, glyph(QString::number(d), glyphW, glyphH, 23, text, display));
  p.drawImage(10 * glyphW, 0, glyph(":", glyphW, glyphH, 22, accent, display));
  return strip;
}

// ---- equalizer -------------------------------------------------------------------------------
QColor curveColour(int e) { // e = -8 .. 8, zero level in the middle
  const double t = std::min(1.0, std::abs(e) / 8.0);
  return QColor::fromRgbF(accent.redF() + (warm.redF() - accent.redF()) * t,
                          accent.greenF() + (warm.greenF() - accent.greenF()) * t,
                          accent.blueF() + (warm.blueF() - accent.blueF()) * t);
}

// A band column: groove, zero tick and the level bar for `level` pixels (+ up, - down).
QImage eqColumn(const QImage &bg, int level, int grooveX) {
  QImage img = bg.copy();
  QPainter p(&img);
  antialias(p);
  const int mid = eqColumnH / 2;
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x26, 0x2d, 0x39));
  p.drawRoundedRect(QRectF(grooveX, 12, 4, eqColumnH - 24), 2, 2);
  p.fillRect(QRectF(grooveX - 2, mid, 8, 1), textFaint);
  if (level != 0) {
    const QRectF bar =
        level > 0 ? QRectF(grooveX, mid - level, 4, level) : QRectF(grooveX, mid + 1, 4, -level);
    p.fillRect(bar, level > 0 ? accent : QColor(0x2b, 0x8f, 0xc4));
  }
  return img;
}

} // namespace skingen
