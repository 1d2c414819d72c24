// Word times inside lyric lines. A word-timed line ("<mm:ss.xx>" marks inside the text, or
// "[mm:ss.xx]" marks between words, or ID3v2 SYLT syllables) keeps, beside its shown text, the
// start time of every sung piece, so the display can fill each one as it is heard.
//
//   LyricRow row = lyricwords::split(u"<00:05.00>hello <00:06.20>big", 5.0);
//   // row.text == "hello big"; row.words == {{5.0, 0, 5}, {6.2, 6, 3}}
//
// A word runs from its own time to the next word's; the last one to the row's closing mark
// (`end`, a mark with no text after it) or, without one, to the next line's time.
#pragma once

#include <QList>
#include <QString>
#include <QStringView>

struct LyricWord {
  double time = 0.0;    // seconds from the start of the song
  qsizetype from = 0;   // first character in the row's text
  qsizetype length = 0; // characters, blanks around the word left out
};

// One row of shown text: a lyric line, or the translation under it.
struct LyricRow {
  QString text;
  QList<LyricWord> words; // empty for a line without word times
  double end = -1.0;      // time of a closing mark after the last word; negative: none
};

namespace lyricwords {

// Length of a time mark at position i of text ("<mm:ss.xx>" anywhere, "[mm:ss.xx]" only where a
// word starts), 0 for none.
qsizetype markAt(QStringView text, qsizetype i);
bool hasTimeMark(QStringView text);

// The row of a line's text after its leading tags: the marks taken out (the blanks on both sides
// of a mark between two words made one), each piece between marks a word with the time of the
// mark before it; text before the first mark starts at lineTime. Times never go backwards. The
// text is cut at maxLength characters, with the words past the cut dropped.
LyricRow split(QStringView text, double lineTime, qsizetype maxLength);

// Moves every word time and the closing mark by `by` seconds, kept within [low, high].
void shift(LyricRow &row, double by, double low, double high);

// The piece of row.text that word w covers, with the blanks around it trimmed; nothing for a
// piece of blanks only.
bool trimmedWord(const QString &text, qsizetype from, qsizetype to, LyricWord &w);

} // namespace lyricwords
