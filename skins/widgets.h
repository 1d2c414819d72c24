// The skin's controls: icons, buttons, switches, tabs, time digits and equalizer columns, each
// drawn over the background it will sit on.
#pragma once

#include "palette.h"

#include <QString>

namespace skingen {

enum class Icon { None, Prev, Play, Pause, Stop, Next, Close, Rotate, Mini, Restore, Note, Folder };

void drawIcon(QPainter &p, Icon icon, const QRectF &r, const QColor &c);

enum class Look { Normal, Pressed, On };

// A rounded button drawn over `bg` (which it keeps as the picture's background).
QImage button(const QImage &bg, Look look, Icon icon, const QString &label = QString(),
              bool round = false, bool primary = false);
// A pill switch: off is an outline with dim text, on is filled with the accent colour.
QImage toggle(const QImage &bg, bool on, const QString &label, int pixels = 10);
// A panel tab: selected tabs are lit and joined to the panel above them.
QImage tab(const QImage &bg, bool on, const QString &label);

QImage glyph(const QString &ch, int w, int h, int pixels, const QColor &fg, const QColor &bg);
QImage timeGlyphs();

QColor curveColour(int e); // e = -8 .. 8, zero level in the middle
// A band column: groove, zero tick and the level bar for `level` pixels (+ up, - down).
QImage eqColumn(const QImage &bg, int level, int grooveX = 4);

} // namespace skingen
