#include "m3u.h"

#include <QFile>
#include <QSaveFile>

namespace m3u {

QStringList parse(const QByteArray &text) {
  QStringList entries;
  // Decoded as one text, so that only a byte-order mark at the very start is dropped: one at the
  // start of a later line stays part of it, as it does for the engine reading the same file.
  const QString whole = QString::fromUtf8(text);
  for (QStringView raw : QStringView(whole).split(QLatin1Char('\n'))) {
    // Trimming also takes the carriage return of Windows line ends.
    const QString line = raw.trimmed().toString();
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
  for (const QString &entry : entries) {
    // A file name may hold a line feed; written out it would read back as two entries naming
    // files that do not exist. Such a song cannot be in a playlist file at all.
    if (entry.contains(QLatin1Char('\n'))) {
      qWarning("velora: a file name with a line break cannot be in a playlist; left out: %s",
               qPrintable(QString(entry).replace(QLatin1Char('\n'), QLatin1String("\\n"))));
      continue;
    }
    // A reader drops one byte-order mark at the start of the file, so an entry that begins with
    // one (as a later line may) gets another in front when it comes first.
    if (out.isEmpty() && entry.startsWith(QChar(0xfeff)))
      out += "\xef\xbb\xbf";
    out += entry.toUtf8() + '\n';
  }
  return out;
}

bool writeAtomically(const QString &path, const QByteArray &bytes) {
  QSaveFile file(path);
  // Unbuffered: a write that fails when the buffer is flushed at commit (a full disk) is
  // otherwise forgotten, and the commit replaces the old file with a short one.
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
    return false;
  if (file.write(bytes) != bytes.size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

} // namespace m3u
