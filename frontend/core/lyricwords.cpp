#include "lyricwords.h"

#include <algorithm>
#include <cmath>

namespace lyricwords {

namespace {

// Length of a time mark "<mm:ss.xx>" or "[mm:ss.xx]" at the start of `text`, 0 for none.
qsizetype timeMarkLength(QStringView text) {
  if (text.size() < 5 || (text[0] != QLatin1Char('<') && text[0] != QLatin1Char('[')))
    return 0;
  const QChar close = text[0] == QLatin1Char('<') ? QLatin1Char('>') : QLatin1Char(']');
  qsizetype i = 1, digits = 0;
  while (i < text.size() && text[i].isDigit())
    ++i, ++digits;
  if (digits == 0 || i >= text.size() || text[i] != QLatin1Char(':'))
    return 0;
  ++i;
  digits = 0;
  while (i < text.size() && (text[i].isDigit() || text[i] == QLatin1Char('.')))
    ++i, ++digits;
  if (digits == 0 || i >= text.size() || text[i] != close)
    return 0;
  return i + 1;
}

// Seconds of a mark that markAt accepted; negative when its seconds do not read as a number
// ("1.2.3").
double markTime(QStringView mark) {
  const QStringView inner = mark.mid(1, mark.size() - 2);
  const qsizetype colon = inner.indexOf(QLatin1Char(':'));
  bool minutesOk = false, secondsOk = false;
  const int minutes = inner.left(colon).toInt(&minutesOk, 10);
  const double seconds = inner.mid(colon + 1).toDouble(&secondsOk);
  const double t = minutes * 60.0 + seconds;
  return minutesOk && secondsOk && std::isfinite(t) ? t : -1.0;
}

} // namespace

qsizetype markAt(QStringView text, qsizetype i) {
  // A square-bracket mark counts only where a word starts (at the start of the text or after a
  // blank), as word-timing players write it; "tail[00:99]" inside a word stays text. Angle-bracket
  // marks count anywhere.
  if (text[i] == QLatin1Char('[') && i > 0 && !text[i - 1].isSpace())
    return 0;
  return timeMarkLength(text.mid(i));
}

bool hasTimeMark(QStringView text) {
  for (qsizetype i = 0; i < text.size(); ++i)
    if ((text[i] == QLatin1Char('<') || text[i] == QLatin1Char('[')) && markAt(text, i))
      return true;
  return false;
}

bool trimmedWord(const QString &text, qsizetype from, qsizetype to, LyricWord &w) {
  while (from < to && text[from].isSpace())
    ++from;
  while (to > from && text[to - 1].isSpace())
    --to;
  if (to <= from)
    return false;
  w.from = from;
  w.length = to - from;
  return true;
}

LyricRow split(QStringView text, double lineTime, qsizetype maxLength) {
  LyricRow row;
  if (!hasTimeMark(text)) {
    row.text = text.left(maxLength).toString();
    return row;
  }
  row.text.reserve(text.size());
  double wordTime = lineTime;
  qsizetype wordFrom = 0;
  auto closeWord = [&] {
    LyricWord w{wordTime, 0, 0};
    if (trimmedWord(row.text, wordFrom, row.text.size(), w))
      row.words.append(w);
  };
  for (qsizetype i = 0; i < text.size();) {
    const qsizetype mark = markAt(text, i);
    if (mark == 0) {
      row.text += text[i++];
      continue;
    }
    closeWord();
    const double t = markTime(text.mid(i, mark));
    // A mark earlier than the word before it (a typing slip) starts its word where that one
    // starts, so the fill never runs backwards.
    wordTime = std::max(t, wordTime);
    i += mark;
    if (row.text.endsWith(QLatin1Char(' ')))
      while (i < text.size() && text[i] == QLatin1Char(' '))
        ++i;
    wordFrom = row.text.size();
  }
  LyricWord last{wordTime, 0, 0};
  if (trimmedWord(row.text, wordFrom, row.text.size(), last))
    row.words.append(last);
  else
    row.end = wordTime; // a closing mark: the end of the last word
  if (row.text.size() > maxLength) {
    row.text.truncate(maxLength);
    while (!row.words.isEmpty() && row.words.last().from >= maxLength)
      row.words.removeLast();
    if (!row.words.isEmpty())
      row.words.last().length = std::min(row.words.last().length, maxLength - row.words.last().from);
  }
  return row;
}

void shift(LyricRow &row, double by, double low, double high) {
  for (LyricWord &w : row.words)
    w.time = std::clamp(w.time + by, low, high);
  if (row.end >= 0)
    row.end = std::clamp(row.end + by, low, high);
}

} // namespace lyricwords
