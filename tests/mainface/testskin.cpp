#include "testskin.h"

#include "testenv.h"

#include <QString>

QRgb sheetColour(int x, int y) { return qRgb(x & 0xff, y & 0xff, ((x >> 8) << 4) | (y >> 8)); }

QImage codedSheet(int w, int h) {
  QImage sheet(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      sheet.setPixel(x, y, sheetColour(x, y));
  return sheet;
}

void writeTestSkin(const std::string &home, const std::string &name, const std::string &body,
                   bool withSheet) {
  const std::string dir = home + "/skins/" + name;
  velora::test::makeDirs(dir);
  velora::test::writeFile(dir + "/skins.conf", "[SKINS]\n" + body);
  if (withSheet)
    codedSheet().save(QString::fromStdString(dir + "/skins.png"), "PNG");
}

bool showsSheetRect(const QImage &frame, int x, int y, int sx, int sy, int w, int h) {
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i)
      if ((frame.pixel(x + i, y + j) & 0xffffff) != (sheetColour(sx + i, sy + j) & 0xffffff))
        return false;
  return true;
}
