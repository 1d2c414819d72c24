// The LRC lyrics reader on arbitrary bytes, in both legacy encodings, with the line table's
// promises checked: bracketing entries, times in order, and the binary search agreeing with a
// scan.
#include "lyrics.h"
#include "memfile.h"
#include "qtquiet.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzz::quietQt();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static fuzz::MemFile file("lrc");
  const QString path = QString::fromStdString(file.fill(data, size));
  LyricsReader reader;
  FUZZ_CHECK(reader.parseLyricsFile(path, size & 1) == 0);
  const auto &lines = reader.lyricLines;
  FUZZ_CHECK(lines.size() >= 2);
  FUZZ_CHECK(lines.first().time == 0.0 && lines.first().text.isEmpty());
  FUZZ_CHECK(lines.last().time == LyricsReader::lastLineTime && lines.last().text.isEmpty());
  for (qsizetype i = 1; i < lines.size(); ++i) {
    FUZZ_CHECK(lines[i].time >= lines[i - 1].time);
    FUZZ_CHECK(lines[i].text.size() <= LyricsReader::maxTextLength);
  }
  for (qsizetype i = 1; i + 1 < lines.size(); ++i) // "[00:00]" lines are at 0
    FUZZ_CHECK(lines[i].time >= 0.0 && lines[i].time <= LyricsReader::lastLineTime);
  auto scan = [&](double t) {
    qsizetype k = 0;
    while (k < lines.size() && lines[k].time <= t)
      ++k;
    return static_cast<int>(k > 0 ? k - 1 : 0);
  };
  double probes[] = {-1.0, 0.0, 0.5, 61.0, 3600.0, LyricsReader::lastLineTime + 1};
  for (double t : probes)
    FUZZ_CHECK(reader.lineAt(t) == scan(t));
  for (qsizetype i = 0; i < lines.size() && i < 64; ++i)
    FUZZ_CHECK(reader.lineAt(lines[i].time) == scan(lines[i].time));
  (void)LyricsReader::decodeLyrics(
      QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)),
      !(size & 1));
  return 0;
}
