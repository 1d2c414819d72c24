// LRC lyrics reader: finds the lyrics file beside a song and reads it into a time-ordered line
// table. MainFace owns one LyricsReader and keeps the window-wide lyrics state beside it:
//
//   // on every song change (play command, status poll, playlist tap):
//   lyricsLoaded = lyrics.loadLyrics(songPath, lyricsBig5);
//   lyricsOffset = 2;
//   lcdsleep::run(baseDir, lyricsLoaded && showLyrics);   // the window's, not the reader's
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
//                     the candidate file names, in the order loadLyrics tries them: beside the
//                     song first (its own name, then "Artist - Title" from its tags), then the
//                     same names in its "Lyrics" sub-folder (any case).
//
// Beyond the plain grammar: "[offset:ms]" moves every time of its file (positive: earlier);
// word-timed lines ("<mm:ss.xx>" marks in the text, or time tags after the first word) show
// without their marks, take the time of their first tag and keep every word's time
// (lyricwords.h). Lines that share a time are one entry of several rows: the first row is the
// sung line, the others (a translation, most often) come under it.
//   lineAt(t)         index of the line current at play time t (the last line starting at or
//                     before t, at least 0), found by binary search; same answer as a scan from the
//                     start for the first line later than t, minus one.
//
// Text decoding: a file starting with a UTF-8 byte-order mark is read as UTF-8, one starting with
// a UTF-16 mark as UTF-16 (mark dropped). Without a mark it is UTF-8 when it is valid UTF-8
// and either one of its multi-byte sequences is three or four bytes long or every two-byte one
// touches an ASCII letter (an accented letter in a Latin word); short GBK texts are valid UTF-8
// by chance. Any other file is GBK, or Big5 when the switch says so.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

#include "lyricwords.h"

struct LyricLine {
  LyricLine() = default;
  LyricLine(double t, QString first, QList<LyricWord> timed = {}, double close = -1.0,
            QList<LyricRow> rows = {})
      : time(t), text(std::move(first)), words(std::move(timed)), end(close),
        more(std::move(rows)) {}

  double time = 0.0;      // seconds from the start of the song
  QString text;           // the first row
  QList<LyricWord> words; // the first row's word times; empty for a plain line
  double end = -1.0;      // the first row's closing mark, negative for none
  QList<LyricRow> more;   // further rows with the same time, shown smaller under the first

  LyricRow row(qsizetype i) const {
    return i == 0 ? LyricRow{text, words, end} : more.value(i - 1);
  }
  qsizetype rowCount() const { return 1 + more.size(); }
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

  // A page of plain lyrics has no more lines than this.
  static constexpr int maxPlainLines = 2000;
  // Rows of one entry (lines sharing a time) beyond this are dropped: the band shows a few.
  static constexpr int maxRows = 6;

  // Makes the lines that share a time one entry (after the two ends were added to a sorted
  // table): the first non-empty one is the entry's first row, the others follow it in reading
  // order, empty ones are dropped. The opening entry is never joined.
  static void joinSharedTimes(QList<LyricLine> &lines);

  QList<LyricLine> lyricLines;
  QString lyricTags[4];
  // Unsynchronised lyrics: the lines of a still page, shown without a current line. Empty for
  // timed lyrics; then the table holds only its two ends.
  QStringList plainLines;
  bool isPlain() const { return !plainLines.isEmpty(); }

  bool loadLyrics(const QString &songPath, bool big5);
  int parseLyricsFile(const QString &path, bool big5);
  // LRC text from a byte buffer (decoded as a file is) or from text: the table, the tags and
  // the "[offset:ms]" of that text. Returns the number of timed lines read.
  int parseLyricsBytes(const QByteArray &bytes, bool big5);
  int parseLyricsText(const QString &text, const QString &origin);
  // The lyrics stored inside the song file (embeddedlyrics.cpp): synchronised ones become the
  // table, plain text a page. False when the file carries none.
  bool loadEmbedded(const QString &songPath);
  void setPlainText(const QString &text);
  // The chapters of the song file (chapters.cpp) as timed lines, each chapter's title at its
  // start. False when the file has none.
  bool loadChapters(const QString &songPath);
  // The "[offset:ms]" of the last text read (positive: the lines come earlier); already applied
  // to the table.
  int offsetMs() const { return fileOffsetMs; }

  static QStringList candidateNames(const QString &songPath);
  // Plain texts to time for a song: "name.txt" beside it, then "Artist - Title.txt", then the
  // same in its "Lyrics" folders.
  static QStringList textCandidates(const QString &songPath);
  // "Artist - Title" from the song's tags (a "/" in them becomes "_"); empty when the song has
  // no artist or no title, or cannot be read.
  static QString tagName(const QString &songPath);
  int lineAt(double t) const;

  // The file that the last load read (or tried to open); empty when none was found.
  QString loadedFile() const { return fileName; }

  static QString decodeLyrics(const QByteArray &bytes, bool big5);

private:
  void parseLine(QStringView line, QList<LyricLine> &entries, int &warnings);

  QString fileName;
  int fileOffsetMs = 0;
};
