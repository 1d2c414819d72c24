// Timing plain lyrics by tapping along with the song: the lines to time, the time stamped on each
// so far, and the .lrc they make. No window here; the main window drives it (lyricstap.cpp).
//
//   LyricsTiming timing;
//   timing.start(song, lines);     // the first line waits for its time
//   timing.stamp(12340);           // song time in ms of the tap; the next line waits
//   timing.undo();                 // Back: that line waits again
//   timing.nudgePrevious(100);     // the line before the waiting one 0.1 s later
//   timing.save();                 // song.lrc beside the song (the old one kept as .lrc.bak)
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class LyricsTiming {
public:
  // Begins timing `lines` (blank ones are left out) for the song at `songPath`. False when there
  // is no line to time.
  bool start(const QString &songPath, const QStringList &lines);
  void clear();

  bool active() const { return !lineTexts.isEmpty(); }
  // Stamps exist that are not saved yet.
  bool unsaved() const { return active() && changed; }
  // Index of the line waiting for its time; lines() size once every line has one.
  int waiting() const { return next; }
  bool finished() const { return active() && next >= lineTexts.size(); }
  const QStringList &lines() const { return lineTexts; }
  // Stamp of line i in milliseconds, -1 while it has none.
  qint64 stampOf(int i) const { return stamps.value(i, -1); }
  QString song() const { return songFile; }

  // Gives the waiting line the song time `ms` (never before the line above it, so the file stays
  // in order) and moves on. False when every line has its time.
  bool stamp(qint64 ms);
  // Takes back the last stamp: its line waits again. False when there is none.
  bool undo();
  // Moves the last stamped line by deltaMs, kept between its neighbours' stamps. Returns its new
  // stamp, -1 when no line is stamped.
  qint64 nudgePrevious(qint64 deltaMs);

  // The file text: UTF-8 with a byte-order mark, "[mm:ss.xx]line" for each stamped line, the
  // lines still without a time after them as plain text (kept for later, read as no lyric).
  QByteArray lrcText() const;
  // The .lrc beside the song: its name with the extension replaced.
  static QString lrcPathFor(const QString &songPath);
  // Writes the .lrc atomically (a temporary file renamed over it); an existing .lrc is renamed
  // to .lrc.bak first, an older .lrc.bak to .lrc.bak.1 (.2, ...). False with a diagnostic when
  // it cannot be written; nothing is lost then.
  bool save();

private:
  QString songFile;
  QStringList lineTexts;
  QList<qint64> stamps;
  int next = 0;
  bool changed = false;
};
