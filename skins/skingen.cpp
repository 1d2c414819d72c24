// Draws velora's default skin: the picture sheet, its skins.conf, the mini-mode pictures and
// masks, and a wallpaper. Run as `skingen <output folder>`; the build runs it so that the skin in
// the staged tree always matches this file.
//
// Every picture is opaque and already composed over the background it will be drawn on: the
// window copies rectangles, and a knob or level picture with holes would leave stale pixels or
// show through to whatever the sheet has under it.
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSaveFile>
#include <QTextStream>

#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// ---- palette ---------------------------------------------------------------------------------
const QColor bgTop(0x1d, 0x23, 0x2e), bgBottom(0x14, 0x18, 0x20);
const QColor display(0x0a, 0x0d, 0x12), displayEdge(0x2b, 0x34, 0x44);
const QColor panel(0x11, 0x15, 0x1c), panelEdge(0x2a, 0x32, 0x40);
const QColor listArea(0x0e, 0x12, 0x18);
const QColor accent(0x35, 0xc2, 0xff), accentDim(0x1a, 0x5a, 0x7a), accentDeep(0x0f, 0x33, 0x47);
const QColor text(0xe8, 0xec, 0xf2), textDim(0x86, 0x91, 0xa2), textFaint(0x4a, 0x54, 0x63);
const QColor btnTop(0x2c, 0x34, 0x42), btnBottom(0x20, 0x26, 0x31), btnEdge(0x3a, 0x44, 0x55);
const QColor warm(0xff, 0x9f, 0x43);

const char *const fontFamily = "DejaVu Sans";

QFont font(int pixels, bool bold = false, bool condensed = false) {
  QFont f(fontFamily);
  f.setPixelSize(pixels);
  f.setBold(bold);
  if (condensed)
    f.setStretch(QFont::SemiCondensed);
  f.setHintingPreference(QFont::PreferFullHinting);
  return f;
}

QImage blank(int w, int h, QColor fill = Qt::black) {
  QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
  img.fill(fill);
  return img;
}

void antialias(QPainter &p) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
}

// The sheet stores the horizontal-mode pictures as they appear on the portrait screen: the
// landscape view turned by 270 degrees.
QImage turn(const QImage &landscape) { return landscape.transformed(QTransform().rotate(270)); }

// ---- icons -----------------------------------------------------------------------------------
enum class Icon { None, Prev, Play, Pause, Stop, Next, Close, Rotate, Mini, Restore, Note, Folder };

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
enum class Look { Normal, Pressed, On };

// A rounded button drawn over `bg` (which it keeps as the picture's background).
QImage button(const QImage &bg, Look look, Icon icon, const QString &label = QString(),
              bool round = false, bool primary = false) {
  QImage img = bg.copy();
  QPainter p(&img);
  antialias(p);
  const QRectF r = QRectF(img.rect()).adjusted(1, 1, -1, -1);
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
QImage toggle(const QImage &bg, bool on, const QString &label, int pixels = 10) {
  QImage img = bg.copy();
  QPainter p(&img);
  antialias(p);
  const QRectF r = QRectF(img.rect()).adjusted(1, 1, -1, -1);
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
  const QRectF r = QRectF(img.rect()).adjusted(1, 0.5, -1, -1);
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
    used = std::max(used, y + pic.height());
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
    const QPoint at = alloc(pic.width(), pic.height());
    put(pic, at.x(), at.y());
    return at;
  }
  // Two pictures of one element: the second directly below, or directly right.
  QPoint placeBelow(const QImage &a, const QImage &b) {
    const QPoint at = alloc(a.width(), a.height() * 2);
    put(a, at.x(), at.y());
    put(b, at.x(), at.y() + a.height());
    return at;
  }
  QPoint placeRight(const QImage &a, const QImage &b) {
    const QPoint at = alloc(a.width() * 2, a.height());
    put(a, at.x(), at.y());
    put(b, at.x() + a.width(), at.y());
    return at;
  }
  // A 2 x 2 block; returns the place of the top-left picture.
  QPoint placeGrid(const QImage &tl, const QImage &tr, const QImage &bl, const QImage &br) {
    const QPoint at = alloc(tl.width() * 2, tl.height() * 2);
    put(tl, at.x(), at.y());
    put(tr, at.x() + tl.width(), at.y());
    put(bl, at.x(), at.y() + tl.height());
    put(br, at.x() + tl.width(), at.y() + tl.height());
    return at;
  }

  QImage finished() const { return img.copy(0, 0, img.width(), used); }

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

QStringList knobFields(const QPoint &k, const QSize &s) {
  return {QString::number(k.x()), QString::number(k.y()), QString::number(s.width()),
          QString::number(s.height())};
}

bool writeAtomically(const QString &path, const QByteArray &data) {
  QSaveFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(data) == data.size() && f.commit();
}

bool savePng(const QImage &img, const QString &path) {
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly) || !img.save(&f, "PNG"))
    return false;
  return f.commit();
}

// ---- geometry the window code takes for granted ----------------------------------------------
constexpr int panelTop = 152, panelHeight = 320 - panelTop;
constexpr int listTop = 179, listHeight = 120; // six 20-pixel lines and the scroll bar
constexpr int eqColumnW = 12, eqColumnH = 81;  // the band picture buffer is 12 x 81
constexpr int glyphW = 16, glyphH = 26;

const QRect titleRect(8, 34, 200, 16); // also 200 long along the landscape view
const QRect displayRect(4, 30, 232, 52);

// ---- backgrounds -----------------------------------------------------------------------------
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
  p.fillRect(img.rect(), g);
  // Soft light and a few sound waves; dark enough everywhere for light lyrics on top.
  QRadialGradient glow(250, 70, 170);
  glow.setColorAt(0, QColor(0x35, 0xc2, 0xff, 70));
  glow.setColorAt(1, QColor(0x35, 0xc2, 0xff, 0));
  p.fillRect(img.rect(), glow);
  QRadialGradient glow2(40, 210, 150);
  glow2.setColorAt(0, QColor(0xb0, 0x5c, 0xff, 55));
  glow2.setColorAt(1, QColor(0xb0, 0x5c, 0xff, 0));
  p.fillRect(img.rect(), glow2);
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

// ---- mini mode -------------------------------------------------------------------------------
const QColor miniBar(0x15, 0x1a, 0x22), miniTime(0x0a, 0x0d, 0x12);

QImage miniMain() {
  QImage img = blank(240, 25, miniBar);
  QPainter p(&img);
  antialias(p);
  QLinearGradient g(0, 0, 0, 25);
  g.setColorAt(0, QColor(0x22, 0x29, 0x35));
  g.setColorAt(1, QColor(0x15, 0x1a, 0x22));
  p.fillRect(img.rect(), g);
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
  auto over = [&](int x, int y, int w, int h) { return main.copy(x, y, w, h); };
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
  p.fillRect(img.rect(), g);
  p.setPen(QColor(0x26, 0x2e, 0x3a));
  p.drawLine(0, 0, 240, 0);
  return img;
}

// ---- equalizer -------------------------------------------------------------------------------
QColor curveColour(int e) { // e = -8 .. 8, zero level in the middle
  const double t = std::min(1.0, std::abs(e) / 8.0);
  return QColor::fromRgbF(accent.redF() + (warm.redF() - accent.redF()) * t,
                          accent.greenF() + (warm.greenF() - accent.greenF()) * t,
                          accent.blueF() + (warm.blueF() - accent.blueF()) * t);
}

// A band column: groove, zero tick and the level bar for `level` pixels (+ up, - down).
QImage eqColumn(const QImage &bg, int level, int grooveX = 4) {
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

} // namespace

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: skingen <output folder>\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(out)) {
    std::fprintf(stderr, "skingen: cannot create %s\n", argv[1]);
    return 1;
  }

  // Sheet: the left 240 columns hold the vertical background (rows 0-319), free space, the mini
  // lyrics strip (row 463), then the two panel strips; everything else is packed to the right.
  Sheet sheet(520, 1200);
  const int lyricsStripY = 463, lrcStripY = 487, eqStripY = lrcStripY + panelHeight + 1;
  sheet.addRegion(0, 321, 240, lyricsStripY - 1);
  sheet.addRegion(242, 0, 520, 1200);
  sheet.addRegion(0, eqStripY + panelHeight + 1, 240, 1200);
  Conf conf;

  const QImage mainBg = verticalBackground();
  const QImage lrcStrip = panelStrip(true), eqStrip = panelStrip(false);
  sheet.put(mainBg, 0, 0);
  sheet.put(miniLyricsStrip(), 0, lyricsStripY);
  sheet.put(lrcStrip, 0, lrcStripY);
  sheet.put(eqStrip, 0, eqStripY);

  // Background under a vertical-mode element, for the panel it belongs to.
  enum Where { Top, Playlist, Lyrics, Equalizer };
  auto bgAt = [&](const QRect &r, Where w) {
    if (w == Lyrics)
      return lrcStrip.copy(r.translated(0, -panelTop));
    if (w == Equalizer)
      return eqStrip.copy(r.translated(0, -panelTop));
    return mainBg.copy(r);
  };

  // Push button: pressed picture directly below.
  auto push = [&](const char *key, QRect r, Where w, Icon icon, const QString &label = {},
                  bool round = false) {
    const QImage bg = bgAt(r, w);
    conf.element(key, r,
                 sheet.placeBelow(button(bg, Look::Normal, icon, label, round),
                                  button(bg, Look::Pressed, icon, label, round)));
  };
  // Switch: "on" picture directly below.
  auto sw = [&](const char *key, QRect r, Where w, const QString &off, const QString &on,
                int pixels = 10) {
    const QImage bg = bgAt(r, w);
    conf.element(key, r,
                 sheet.placeBelow(toggle(bg, false, off, pixels), toggle(bg, true, on, pixels)));
  };
  auto tabKey = [&](const char *key, QRect r, const QString &label) {
    // Tabs are drawn over every panel; the three strips agree at their row.
    const QImage bg = bgAt(r, Playlist);
    conf.element(key, r, sheet.placeBelow(tab(bg, false, label), tab(bg, true, label)));
  };

  // ---- vertical mode, in the order the window reads the keys
  push("prev", QRect(8, 111, 36, 36), Top, Icon::Prev, {}, true);
  {
    const QRect r(48, 111, 36, 36);
    const QImage bg = bgAt(r, Top);
    const QPoint at = sheet.placeGrid(button(bg, Look::Normal, Icon::Play, {}, true, true),
                                      button(bg, Look::Normal, Icon::Pause, {}, true, true),
                                      button(bg, Look::Pressed, Icon::Play, {}, true, true),
                                      button(bg, Look::Pressed, Icon::Pause, {}, true, true));
    conf.element("play", r, at);
  }
  push("stop", QRect(88, 111, 36, 36), Top, Icon::Stop, {}, true);
  push("next", QRect(128, 111, 36, 36), Top, Icon::Next, {}, true);
  sw("pos_A", QRect(102, 56, 26, 20), Top, "A", "A", 11);

  // Equalizer bands: level pictures, negative levels on the first row (index 1 = lowest),
  // zero and positive levels on the second row.
  const QRect eqFirst(52, 206, eqColumnW, eqColumnH);
  const int eqSpacing = 18;
  {
    const QImage colBg = bgAt(eqFirst, Equalizer);
    QImage levels = blank(eqColumnW * 14, eqColumnH * 2, panel);
    QPainter p(&levels);
    for (int i = 1; i <= 13; ++i) // v / 2 + 13 = i  ->  v about 2 (i - 13)
      p.drawImage(i * eqColumnW, 0, eqColumn(colBg, 2 * (i - 13)));
    p.drawImage(0, 0, eqColumn(colBg, 0));
    for (int i = 0; i <= 12; ++i) // v / 2 = i
      p.drawImage(i * eqColumnW, eqColumnH, eqColumn(colBg, 2 * i));
    p.end();
    const QPoint lv = sheet.place(levels);
    // Knob: the window always draws the lower picture (ky + kh); both rows carry it.
    QImage knob = blank(10, 7, colBg.pixelColor(0, 0));
    {
      QPainter k(&knob);
      antialias(k);
      k.setPen(QPen(QColor(0x9a, 0xe4, 0xff), 1));
      k.setBrush(QColor(0xe8, 0xf6, 0xff));
      k.drawRoundedRect(QRectF(0.5, 0.5, 9, 6), 3, 3);
    }
    const QPoint kp = sheet.placeBelow(knob, knob);
    conf.element("EQ", eqFirst, lv,
                 knobFields(kp, knob.size()) + QStringList{QString::number(eqSpacing)});
  }
  sw("pos_B", QRect(130, 56, 26, 20), Top, "B", "B", 11);

  {
    // Position bar: the window copies the bar from the background, then the knob over it.
    const QRect r(10, 88, 220, 18);
    const QImage bg = bgAt(r, Top);
    auto knob = [&](bool dragged) {
      QImage k = bg.copy(100, 1, 30, 16); // the groove runs under the knob on both sides
      QPainter p(&k);
      antialias(p);
      const QPointF c(15, 8);
      if (dragged) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x35, 0xc2, 0xff, 70));
        p.drawEllipse(c, 8, 8);
      }
      p.setPen(QPen(dragged ? Qt::white : QColor(0x9a, 0xe4, 0xff), 1.2));
      p.setBrush(dragged ? accent : QColor(0xe8, 0xf6, 0xff));
      p.drawEllipse(c, dragged ? 6.0 : 5.5, dragged ? 6.0 : 5.5);
      return k;
    };
    const QImage k = knob(false);
    const QPoint kp = sheet.placeBelow(k, knob(true));
    conf.element("posbar", r, r.topLeft(), knobFields(kp, k.size()));
  }

  conf.element("plistwin", QRect(0, panelTop, 240, panelHeight), QPoint(0, panelTop));
  conf.element("lrcwin", QRect(0, panelTop, 240, panelHeight), QPoint(0, lrcStripY));
  conf.element("eqwin", QRect(0, panelTop, 240, panelHeight), QPoint(0, eqStripY));
  tabKey("btn_plistwin", QRect(2, 300, 78, 20), "Playlist");
  tabKey("btn_lrcwin", QRect(81, 300, 78, 20), "Lyrics");
  tabKey("btn_eqwin", QRect(160, 300, 78, 20), "Equalizer");
  sw("EQE_BTN", QRect(6, 155, 50, 20), Equalizer, "EQ OFF", "EQ ON");

  {
    // Playlist scroll bar, right of the six lines.
    const QRect r(222, listTop, 14, listHeight);
    QImage track = bgAt(r, Playlist);
    {
      QPainter p(&track);
      antialias(p);
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0x1c, 0x22, 0x2c));
      p.drawRoundedRect(QRectF(4, 2, 6, listHeight - 4), 3, 3);
    }
    const QPoint tp = sheet.place(track);
    auto knob = [&](bool pressed) {
      QImage k = track.copy(1, 50, 12, 20);
      QPainter p(&k);
      antialias(p);
      p.setPen(Qt::NoPen);
      p.setBrush(pressed ? accent : QColor(0x5a, 0x66, 0x78));
      p.drawRoundedRect(QRectF(2.5, 1, 7, 18), 3.5, 3.5);
      return k;
    };
    const QImage k = knob(false);
    const QPoint kp = sheet.placeBelow(k, knob(true));
    conf.element("plist_Bar", r, tp, knobFields(kp, k.size()) + QStringList{"#d8dee9"});
  }

  sw("audio3d_btn", QRect(158, 56, 34, 20), Top, "3D", "3D");
  sw("bassbooster", QRect(196, 56, 36, 20), Top, "BASS", "BASS", 9);
  push("exit_win", QRect(214, 5, 22, 20), Top, Icon::Close);
  push("H_win", QRect(190, 5, 22, 20), Top, Icon::Rotate);
  push("mini_win", QRect(166, 5, 22, 20), Top, Icon::Mini);
  push("OP_BTN", QRect(6, 155, 54, 20), Playlist, Icon::Folder, "Open");
  sw("shuf_BTN", QRect(122, 155, 54, 20), Playlist, "Shuffle", "Shuffle");
  sw("repeat_BTN", QRect(180, 155, 54, 20), Playlist, "Repeat", "Repeat");
  push("plist_BTN", QRect(64, 155, 54, 20), Playlist, Icon::None, "Lists");

  {
    // Volume: 68 wide; the knob travels 54 pixels with a 2-pixel inset.
    const QRect r(168, 120, 68, 18);
    QImage track = bgAt(r, Top);
    {
      QPainter p(&track);
      antialias(p);
      p.setPen(Qt::NoPen);
      QLinearGradient g(8, 0, 62, 0);
      g.setColorAt(0, QColor(0x24, 0x2b, 0x36));
      g.setColorAt(1, QColor(0x24, 0x2b, 0x36));
      p.setBrush(g);
      p.drawRoundedRect(QRectF(2, 7, 64, 4), 2, 2);
    }
    const QPoint tp = sheet.place(track);
    auto knob = [&](bool pressed) {
      QImage k = track.copy(28, 0, 12, 18);
      QPainter p(&k);
      antialias(p);
      p.setPen(QPen(pressed ? Qt::white : QColor(0x9a, 0xe4, 0xff), 1.2));
      p.setBrush(pressed ? accent : QColor(0xe8, 0xf6, 0xff));
      p.drawEllipse(QPointF(6, 9), pressed ? 5.3 : 4.8, pressed ? 5.3 : 4.8);
      return k;
    };
    const QImage k = knob(false);
    const QPoint kp = sheet.placeBelow(k, knob(true));
    conf.element("VL_BTN", r, tp, knobFields(kp, k.size()));
  }

  sw("showlrc_BTN", QRect(6, 155, 50, 20), Lyrics, "Show", "Show");
  sw("textcodec_BTN", QRect(60, 155, 50, 20), Lyrics, "GBK", "Big5");
  push("font_BTN", QRect(114, 155, 36, 20), Lyrics, Icon::None, "Aa");
  {
    // A label; the two colour swatch buttons sit to its right, 12 x 12 at y + 1.
    const QRect r(154, 155, 40, 20);
    QImage pic = bgAt(r, Lyrics);
    {
      QPainter p(&pic);
      antialias(p);
      p.setFont(font(10, true));
      p.setPen(textDim);
      p.drawText(QRectF(0, 0, 40, 14), Qt::AlignRight | Qt::AlignVCenter, "Color");
    }
    QImage pressed = pic;
    conf.element("color_BTN", r, sheet.placeBelow(pic, pressed));
  }
  push("presets_BTN", QRect(60, 155, 64, 20), Equalizer, Icon::None, "Presets");
  push("EQ_BTN_ZERO", QRect(128, 155, 50, 20), Equalizer, Icon::None, "Reset");
  {
    const QRect r(22, eqFirst.y(), eqColumnW, eqColumnH);
    conf.element("EQ_Preamp", r, sheet.place(eqColumn(bgAt(r, Equalizer), 0, 5)));
  }

  // ---- displays shared by both modes
  {
    const QImage titleBg = bgAt(titleRect, Top);
    conf.element("title_win", titleRect, sheet.place(titleBg), {"#9fe7ff"});
    const QRect timeRect(12, 53, glyphW, glyphH);
    conf.element("time_win", timeRect, sheet.place(timeGlyphs()),
                 {QString::number(5 * glyphW), QString::number(glyphH)});
    // Play state: playing, paused, stopped stacked.
    const QRect r(214, 34, 18, 16);
    const QImage bg = bgAt(r, Top);
    QImage states = blank(18, 48);
    QPainter p(&states);
    const Icon icons[] = {Icon::Play, Icon::Pause, Icon::Stop};
    const QColor colours[] = {accent, warm, textDim};
    for (int i = 0; i < 3; ++i) {
      QImage s = bg.copy();
      {
        QPainter q(&s);
        drawIcon(q, icons[i], QRectF(2, 1, 14, 14), colours[i]);
      }
      p.drawImage(0, 16 * i, s);
    }
    p.end();
    conf.element("play_display_win", r, sheet.place(states));
  }
  {
    // Equalizer curve: 9 segments of 12 pixels, zero level at row 10; the colour column's
    // sheet place doubles as the size of the window's curve buffer, so it must lie at x >= 108
    // and below row 11.
    const QRect r(66, 180, 108, 20);
    QImage bg = bgAt(r, Equalizer);
    {
      QPainter p(&bg);
      antialias(p);
      p.setPen(QPen(displayEdge, 1));
      p.setBrush(display);
      p.drawRoundedRect(QRectF(0.5, 0.5, 107, 19), 4, 4);
      p.setPen(QPen(QColor(0x1e, 0x25, 0x30), 1, Qt::DotLine));
      p.drawLine(QPointF(3, 10.5), QPointF(105, 10.5));
    }
    const QPoint bp = sheet.place(bg);
    QImage column = blank(1, 17);
    for (int e = -8; e <= 8; ++e)
      column.setPixelColor(0, 8 - e, curveColour(e));
    // Between the left block and the packed area: the curve buffer becomes 241 x 28.
    const QPoint cp(241, 20);
    sheet.put(column, cp.x(), cp.y());
    conf.element("eqalzr_win", r, bp, {QString::number(cp.x()), QString::number(cp.y() + 8)});
  }
  conf.element("lrcwin_show", QRect(0, 178, 240, 120), QPoint(0, lrcStripY + 178 - panelTop));

  // ---- horizontal mode: drawn as the landscape view, stored turned
  // Landscape rectangle (X, Y, W, H) -> portrait element rectangle.
  auto portrait = [](const QRect &l) {
    return QRect(l.y(), 320 - l.x() - l.width(), l.height(), l.width());
  };
  QImage topStrip = blank(320, 68), bottomStrip = blank(320, 68);
  {
    QPainter p(&topStrip);
    antialias(p);
    QLinearGradient g(0, 0, 0, 68);
    g.setColorAt(0, QColor(0x1d, 0x23, 0x2e));
    g.setColorAt(1, QColor(0x15, 0x1a, 0x22));
    p.fillRect(topStrip.rect(), g);
    p.setPen(QPen(panelEdge, 1));
    p.drawLine(QPointF(0, 67.5), QPointF(320, 67.5));
    // Title display (the title lands at X 7-207, Y 21-37) and the time well (X 230-310, Y 40-66).
    p.setPen(QPen(displayEdge, 1));
    p.setBrush(display);
    p.drawRoundedRect(QRectF(3.5, 18.5, 208, 22), 5, 5);
    p.drawRoundedRect(QRectF(226.5, 37.5, 88, 29), 5, 5);
    p.setFont(font(12, true));
    p.setPen(text);
    p.drawText(QRectF(8, 0, 120, 18), Qt::AlignLeft | Qt::AlignVCenter, "velora");
  }
  {
    QPainter p(&bottomStrip);
    antialias(p);
    QLinearGradient g(0, 0, 0, 68);
    g.setColorAt(0, QColor(0x15, 0x1a, 0x22));
    g.setColorAt(1, QColor(0x1d, 0x23, 0x2e));
    p.fillRect(bottomStrip.rect(), g);
    p.setPen(QPen(panelEdge, 1));
    p.drawLine(QPointF(0, 0.5), QPointF(320, 0.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2a, 0x31, 0x3d));
    p.drawRoundedRect(QRectF(18, 10, 284, 4), 2, 2); // position groove, Y 182-186
    p.setBrush(QColor(0x24, 0x2b, 0x36));
    p.drawRoundedRect(QRectF(249, 42, 60, 4), 2, 2); // volume groove, Y 214-218
    p.setFont(font(8, true));
    p.setPen(textFaint);
    p.drawText(QRectF(244, 52, 70, 12), Qt::AlignCenter, "VOLUME");
  }
  const int bottomY = 172;
  auto landBg = [&](const QRect &l) {
    return l.y() >= bottomY ? bottomStrip.copy(l.translated(0, -bottomY)) : topStrip.copy(l);
  };
  // Horizontal push button: pressed picture directly right (in the turned sheet).
  auto hpush = [&](const char *key, QRect l, Icon icon, bool primary = false) {
    const QImage bg = landBg(l);
    conf.element(key, portrait(l),
                 sheet.placeRight(turn(button(bg, Look::Normal, icon, {}, true, primary)),
                                  turn(button(bg, Look::Pressed, icon, {}, true, primary))));
  };
  auto hsw = [&](const char *key, QRect l, const QString &label) {
    const QImage bg = landBg(l);
    conf.element(
        key, portrait(l),
        sheet.placeRight(turn(toggle(bg, false, label, 11)), turn(toggle(bg, true, label, 11))));
  };

  hsw("H_pos_A", QRect(180, 204, 26, 24), "A");
  hsw("H_pos_B", QRect(210, 204, 26, 24), "B");
  hpush("H_prev", QRect(14, 198, 36, 36), Icon::Prev);
  {
    // Playing picture directly above the normal one; pressed pictures to the right of both.
    const QRect l(54, 198, 36, 36);
    const QImage bg = landBg(l);
    const QPoint at = sheet.placeGrid(turn(button(bg, Look::Normal, Icon::Pause, {}, true, true)),
                                      turn(button(bg, Look::Pressed, Icon::Pause, {}, true, true)),
                                      turn(button(bg, Look::Normal, Icon::Play, {}, true, true)),
                                      turn(button(bg, Look::Pressed, Icon::Play, {}, true, true)));
    conf.element("H_play", portrait(l), at + QPoint(0, 36));
  }
  hpush("H_stop", QRect(94, 198, 36, 36), Icon::Stop);
  hpush("H_next", QRect(134, 198, 36, 36), Icon::Next);
  {
    const QRect l(10, 176, 300, 16);
    const QImage bg = landBg(l);
    auto knob = [&](bool dragged) {
      QImage k = bg.copy(120, 1, 30, 14);
      QPainter p(&k);
      antialias(p);
      const QPointF c(15, 7);
      if (dragged) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x35, 0xc2, 0xff, 70));
        p.drawEllipse(c, 7, 7);
      }
      p.setPen(QPen(dragged ? Qt::white : QColor(0x9a, 0xe4, 0xff), 1.2));
      p.setBrush(dragged ? accent : QColor(0xe8, 0xf6, 0xff));
      p.drawEllipse(c, 5.5, 5.5);
      return turn(k);
    };
    const QImage k = knob(false), d = knob(true);
    // Dragged picture both right of and below the knob, whichever way the window reads it.
    const QPoint kp = sheet.placeGrid(k, d, d, d);
    conf.element("H_posbar", portrait(l), sheet.place(turn(bg)), knobFields(kp, k.size()));
  }
  {
    const QRect l(244, 204, 70, 24);
    // The track is copied 4 pixels longer than the element (2 at each end).
    const QImage track = landBg(QRect(l.x() - 2, l.y(), l.width() + 4, l.height()));
    auto knob = [&](bool pressed) {
      QImage k = landBg(QRect(270, 204, 16, 24));
      QPainter p(&k);
      antialias(p);
      p.setPen(QPen(pressed ? Qt::white : QColor(0x9a, 0xe4, 0xff), 1.2));
      p.setBrush(pressed ? accent : QColor(0xe8, 0xf6, 0xff));
      p.drawEllipse(QPointF(8, 12), pressed ? 5.3 : 4.8, pressed ? 5.3 : 4.8);
      return turn(k);
    };
    const QImage k = knob(false), pr = knob(true);
    const QPoint kp = sheet.placeGrid(k, pr, pr, pr);
    conf.element("H_VL_BTN", portrait(l), sheet.place(turn(track)), knobFields(kp, k.size()));
  }
  conf.element("H_WIN_T", portrait(QRect(0, 0, 320, 68)), sheet.place(turn(topStrip)));
  conf.element("H_WIN_B", portrait(QRect(0, bottomY, 320, 68)), sheet.place(turn(bottomStrip)));
  hpush("H_exit_win", QRect(288, 6, 24, 24), Icon::Close);
  hpush("V_win_btn", QRect(260, 6, 24, 24), Icon::Rotate);
  hpush("H_mini_win", QRect(232, 6, 24, 24), Icon::Mini);

  conf.value("mwin_Y", "0");
  conf.value("mwin_H", "320");
  conf.value("win_enabled", "true");

  // ---- write everything
  const QImage mm = miniMain();
  const QImage wall = wallpaper();
  QByteArray confText = "# velora default skin, drawn by skins/skingen.cpp\n[SKINS]\n";
  confText += conf.lines.join('\n').toUtf8() + "\n";
  bool ok = savePng(sheet.finished().convertToFormat(QImage::Format_RGB32), out + "/skins.png") &&
            writeAtomically(out + "/skins.conf", confText) &&
            savePng(miniButtons(mm).convertToFormat(QImage::Format_RGB32), out + "/mini_btn.png") &&
            savePng(mm.convertToFormat(QImage::Format_RGB32), out + "/mini_main.png") &&
            savePng(mask(25), out + "/mask.png") && savePng(mask(48), out + "/mask_d.png") &&
            savePng(wall.convertToFormat(QImage::Format_RGB32), out + "/wallpaper.png");
  if (!ok) {
    std::fprintf(stderr, "skingen: cannot write the skin into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
