// Logical pixels: skins, touch zones and the frame image's coordinates speak the 240 x 320 space
// of the design. How many device pixels each logical pixel gets (the screen's pixel ratio, the
// "Size" choice, a shell that makes the window fill the screen) is decided by the window's view
// (view.cpp); the helpers here let every drawer stay in logical pixels whatever the density of
// the pictures it copies from and draws into.
#pragma once

#include <QImage>
#include <QString>

class QPainter;

inline constexpr int kLogicalWidth = 240;
inline constexpr int kLogicalHeight = 320;
// The mini strip: its buttons row, and with the lyrics row below it.
inline constexpr int kMiniHeight = 25;
inline constexpr int kMiniLyricsHeight = 48;
// The highest density a skin ships pictures for (name@3x.png).
inline constexpr int kMaxSheetDensity = 3;

// Copies the rectangle (sx, sy, w, h) of `source`, in logical pixels whatever the picture's
// density, to (x, y) of the painter's device. A picture denser or sparser than the device is
// scaled smoothly; one of the device's own density is copied pixel for pixel.
void sheetCopy(QPainter &p, const QImage &source, int sx, int sy, int w, int h, int x, int y);
// An opaque off-screen image of w x h logical pixels at `ratio` device pixels each, black; null
// for an empty or absurd size (a broken skin must not ask for gigabytes).
QImage logicalImage(int w, int h, qreal ratio);
// The picture turned by 270 degrees (the horizontal mode's landscape onto the portrait frame),
// keeping its density.
QImage turned(const QImage &image);
// The sheet density that serves `ratio` device pixels per logical pixel: the next whole number
// up, at most kMaxSheetDensity (1.5 takes the 2x sheet and reduces it).
int sheetDensityFor(qreal ratio);
// Reads a PNG picture for `ratio`: beside "name.png" the toolkit's "name@2x.png" and
// "name@3x.png" are tried from the density that serves the ratio down to 1x; the picture keeps
// its density, so copies from it stay in logical pixels. Null when no file can be read.
QImage loadDensePicture(const QString &path, qreal ratio);
