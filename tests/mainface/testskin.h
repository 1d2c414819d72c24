// Small skins made by the tests: a skins.conf and a sheet whose every pixel has its own colour,
// so a copied rectangle can be traced back to where on the sheet it came from.
#pragma once

#include <QImage>
#include <string>

// Colour of sheet pixel (x, y): unique for x, y < 4096.
QRgb sheetColour(int x, int y);
QImage codedSheet(int w = 480, int h = 720);

// Writes home/skins/<name>/skins.conf ("[SKINS]" + body) and, when withSheet, skins.png.
void writeTestSkin(const std::string &home, const std::string &name, const std::string &body,
                   bool withSheet = true);

// True when frame(x + i, y + j) == sheet(sx + i, sy + j) for the whole w x h rectangle.
bool showsSheetRect(const QImage &frame, int x, int y, int sx, int sy, int w, int h);
