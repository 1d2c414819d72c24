// The default skin's colours, its font, the geometry the window code takes for granted, and the
// small image helpers every picture starts from.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRect>

namespace skingen {

inline const QColor bgTop(0x1d, 0x23, 0x2e), bgBottom(0x14, 0x18, 0x20);
inline const QColor display(0x0a, 0x0d, 0x12), displayEdge(0x2b, 0x34, 0x44);
inline const QColor panel(0x11, 0x15, 0x1c), panelEdge(0x2a, 0x32, 0x40);
inline const QColor listArea(0x0e, 0x12, 0x18);
inline const QColor accent(0x35, 0xc2, 0xff), accentDim(0x1a, 0x5a, 0x7a),
    accentDeep(0x0f, 0x33, 0x47);
inline const QColor text(0xe8, 0xec, 0xf2), textDim(0x86, 0x91, 0xa2), textFaint(0x4a, 0x54, 0x63);
inline const QColor btnTop(0x2c, 0x34, 0x42), btnBottom(0x20, 0x26, 0x31),
    btnEdge(0x3a, 0x44, 0x55);
inline const QColor warm(0xff, 0x9f, 0x43);

inline const char *const fontFamily = "DejaVu Sans";

// Device pixels per skin pixel of the pictures being drawn: 1, 2 or 3. Every picture is laid out
// in the 240 x 320 skin space; only its pixel count follows the density.
inline int density = 1;

QFont font(int pixels, bool bold = false, bool condensed = false);
// A picture of w x h skin pixels at the current density.
QImage blank(int w, int h, QColor fill = Qt::black);
// The rectangle r (skin pixels) of a picture, at the picture's density.
QImage part(const QImage &img, const QRect &r);
inline QImage part(const QImage &img, int x, int y, int w, int h) {
  return part(img, QRect(x, y, w, h));
}
// A picture's size and rectangle in skin pixels.
QSize logicalSize(const QImage &img);
inline QRect logicalRect(const QImage &img) { return QRect(QPoint(0, 0), logicalSize(img)); }
void antialias(QPainter &p);

// The sheet stores the horizontal-mode pictures as they appear on the portrait screen: the
// landscape view turned by 270 degrees.
QImage turn(const QImage &landscape);

// ---- geometry the window code takes for granted ----------------------------------------------
constexpr int panelTop = 152, panelHeight = 320 - panelTop;
constexpr int listTop = 179, listHeight = 120; // six 20-pixel lines and the scroll bar
constexpr int eqColumnW = 12, eqColumnH = 81;  // the band picture buffer is 12 x 81
constexpr int glyphW = 16, glyphH = 26;

inline const QRect titleRect(8, 34, 200, 16); // also 200 long along the landscape view
inline const QRect displayRect(4, 30, 232, 52);

} // namespace skingen
