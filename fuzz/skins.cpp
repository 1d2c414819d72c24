// skins.conf on arbitrary bytes: every element list of both layouts read as the window reads
// it, every field and colour text taken, and the hit test run around each element. Fields are
// bounded, so the coordinate arithmetic built on them cannot overflow.
#include "kconfig.h"
#include "mainface/mainface.h"
#include "memfile.h"
#include "qtquiet.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzz::quietQt();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static fuzz::MemFile file("skins");
  KConfig conf(QString::fromStdString(file.fill(data, size)), true);
  conf.setGroup("SKINS");
  QStringList keys = MainFace::verticalKeys() + MainFace::horizontalKeys();
  for (const QString &key : keys) {
    SkinElement e = conf.readListEntry(key, QLatin1Char(','));
    for (int i = -1; i <= e.size() && i < 16; ++i) {
      int v = e.field(i);
      FUZZ_CHECK(v >= -SkinElement::maxField && v <= SkinElement::maxField);
      (void)e.text(i);
    }
    const int xs[] = {e.x() - 1, e.x(), e.x() + 1, e.x() + e.w() / 2, e.x() + e.w()};
    const int ys[] = {e.y() - 1, e.y(), e.y() + 1, e.y() + e.h() / 2, e.y() + e.h()};
    for (int x : xs)
      for (int y : ys)
        (void)e.contains(x, y);
  }
  (void)conf.readNumEntry("mwin_Y", 0);
  (void)conf.readNumEntry("mwin_H", 0);
  (void)conf.readBoolEntry("win_enabled", true);
  return 0;
}
