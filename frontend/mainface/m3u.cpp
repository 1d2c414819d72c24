#include "m3u.h"

#include <QFile>
#include <QSaveFile>

namespace m3u {

QStringList parse(const QByteArray &text) {
  QStringList entries;
  for (const QByteArray &raw : text.split('\n')) {
    // Trimming also takes the carriage return of Windows line ends.
    const QString line = QString::fromUtf8(raw).trimmed();
    if (line.size() <= 5 || line.startsWith(QLatin1Char('#')))
      continue;
    entries.append(line);
  }
  return entries;
}

std::optional<QStringList> read(const QString &path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return std::nullopt;
  return parse(file.readAll());
}

QByteArray format(const QStringList &entries) {
  QByteArray out;
  for (const QString &entry : entries)
    out += entry.toUtf8() + '\n';
  return out;
}

bool writeAtomically(const QString &path, const QByteArray &bytes) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly))
    return false;
  if (file.write(bytes) != bytes.size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

} // namespace m3u
