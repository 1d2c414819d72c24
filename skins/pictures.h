// The large pictures of the default skin: the screen and panel backgrounds, the wallpaper and the
// mini-mode strips and window shapes.
#pragma once

#include "palette.h"

namespace skingen {

void paintScreenBackground(QPainter &p, int height);
QImage verticalBackground();
// A lower panel with its own background strip (lyrics, equalizer).
QImage panelStrip(bool lyrics);
QImage wallpaper();

QImage miniMain();
QImage miniButtons(const QImage &main);
// 1-bit window shape: black shows the window, white hides it.
QImage mask(int visibleHeight);
QImage miniLyricsStrip();

} // namespace skingen
