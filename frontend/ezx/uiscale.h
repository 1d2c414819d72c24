// The size of everything that is not the skinned picture: dialogs, pop-up menus and their text
// follow the main window's scale (a "Size" of 2x or 3x, or a picture fitted to the screen), on
// top of the screen's own pixel ratio that the toolkit already applies. Dialogs are laid out in
// the 240 x 320 design's pixels and pass every length through uiPx(); the main window sets the
// scale whenever its view changes.
#pragma once

#include <QFont>

// The current multiplier (1 until the main window sets another).
qreal uiScale();
// Sets the multiplier and gives pop-up menus and dialogs that keep the toolkit's font a font of
// that many times the toolkit's size. A value that is not positive counts as 1.
void setUiScale(qreal scale);
// A length of the design in window pixels at the current scale, rounded; never 0 for a length
// that was not 0.
int uiPx(int designPixels);
// `f` with its size multiplied by `factor`, in the unit it was given in.
QFont scaledFont(QFont f, qreal factor);
// `base` with a pixel size of `designPixels` at the current scale.
QFont uiFont(const QFont &base, int designPixels);
