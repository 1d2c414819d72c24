// LRC lyrics reader: finds the lyrics file beside a song and reads it into a time-ordered line
// table. MainFace owns one LyricsReader and keeps the window-wide lyrics state beside it:
//
//   // on every song change (play command, status poll, playlist tap):
//   lyricsLoaded = lyrics.loadLyrics(songPath, lyricsBig5);
//   lyricsOffset = 2;
//   LyricsReader::runLcdsleep(baseDir, lyricsLoaded && showLyrics);
//
// Interface:
//   lyricLines        entries (time in seconds as double, text). After a successful parse the first
//                     entry is (0.0, "") and the last is (lastLineTime, ""), every other entry lies
//                     strictly between them, times never decrease, equal times keep reading order.
//                     Empty after a failed load.
//   lyricTags         title, artist, album, author ("ti", "ar", "al", "by"); each is overwritten
//                     only when a loaded file carries that tag, so they survive songs without one.
//   loadLyrics(song, big5)
//                     empties the table, tries the candidate names in order and parses the first
//                     that exists as a file; returns true when that file could be opened.
//   parseLyricsFile(path, big5)
//                     0 when read, -1 when it could not be opened ("Can't open %s\n").
//   candidateNames(song)
//                     the candidate file names, in the order loadLyrics tries them.
//   lineAt(t)         index of the line current at play time t (the last line starting at or
//                     before t, at least 0), found by binary search; same answer as a scan from the
//                     start for the first line later than t, minus one.
//   runLcdsleep(home, lyricsShown)
//                     runs $HOME/lcdsleep with "0" (lyrics shown) or "-r" directly, without a
//                     shell, when it exists and is executable; otherwise does nothing.
//
// Text decoding: a file starting with a UTF-8 byte-order mark, or whose bytes are all valid UTF-8
// and include multi-byte sequences, is read as UTF-8 (mark dropped); any other file as GBK, or as
// Big5 when the caller's switch says so.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

struct LyricLine {
  double time = 0.0; // seconds from the start of the song
  QString text;
};

class LyricsReader {
public:
  enum Tag { Title = 0, Artist = 1, Album = 2, Author = 3 };

  // Time of the closing entry, later than any play time.
  static constexpr double lastLineTime = 268435455.0;
  // Unknown or malformed tags are reported one line each up to this many per file; a hostile
  // file with hundreds of thousands of them must not stall the window on diagnostics.
  static constexpr int maxWarningsPerFile = 50;
  // Longer lyric texts are cut here: the display shows a line in a box of a few text rows, and
  // wrapping a megabyte of text on every poll would freeze the window.
  static constexpr int maxTextLength = 1024;

  QList<LyricLine> lyricLines;
  QString lyricTags[4];

  bool loadLyrics(const QString &songPath, bool big5);
  int parseLyricsFile(const QString &path, bool big5);

  static QStringList candidateNames(const QString &songPath);
  int lineAt(double t) const;

  // The file that the last load read (or tried to open); empty when none was found.
  QString loadedFile() const { return fileName; }

  static QString decodeLyrics(const QByteArray &bytes, bool big5);
  static void runLcdsleep(const QString &home, bool lyricsShown);

private:
  void parseLine(QStringView line, QList<LyricLine> &entries, int &warnings);

  QString fileName;
};
