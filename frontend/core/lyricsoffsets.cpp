#include "lyricsoffsets.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace {

QString fileOf(const QString &home) { return home + QStringLiteral("/.xmms/lyrics_offsets"); }

// Lines of the file as (offset, path); malformed lines are dropped.
QList<QPair<int, QString>> readAll(const QString &home) {
  QList<QPair<int, QString>> entries;
  QFile file(fileOf(home));
  if (!file.open(QIODevice::ReadOnly))
    return entries;
  for (const QByteArray &raw : file.readAll().split('\n')) {
    const QString line = QString::fromUtf8(raw);
    const qsizetype space = line.indexOf(QLatin1Char(' '));
    if (space <= 0 || space + 1 >= line.size())
      continue;
    bool ok = false;
    const int ms = line.left(space).toInt(&ok);
    if (ok)
      entries.append({ms, line.mid(space + 1)});
  }
  return entries;
}

} // namespace

int lyricsoffsets::shiftFor(const QString &home, const QString &songPath) {
  int found = 0;
  for (const auto &[ms, path] : readAll(home))
    if (path == songPath)
      found = ms; // the last line of a song wins
  return found;
}

bool lyricsoffsets::store(const QString &home, const QString &songPath, int offsetMs) {
  if (songPath.isEmpty() || songPath.contains(QLatin1Char('\n')))
    return false;
  QList<QPair<int, QString>> entries = readAll(home);
  entries.removeIf([&](const QPair<int, QString> &e) { return e.second == songPath; });
  if (offsetMs != 0)
    entries.append({offsetMs, songPath});
  QDir().mkpath(home + QStringLiteral("/.xmms"));
  QSaveFile out(fileOf(home));
  if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) { // see m3u.cpp
    qWarning("velora: cannot write %s", qPrintable(fileOf(home)));
    return false;
  }
  QByteArray text;
  for (const auto &[ms, path] : entries)
    text += QByteArray::number(ms) + ' ' + path.toUtf8() + '\n';
  out.write(text); // a failed write makes the commit fail
  if (!out.commit()) {
    qWarning("velora: cannot write %s", qPrintable(fileOf(home)));
    return false;
  }
  return true;
}
