#include "sheet.h"

#include <QSaveFile>

namespace skingen {

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

} // namespace skingen
