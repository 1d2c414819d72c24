// A song became current: read its lyrics and tell the display helper whether they are shown.
// Also the per-song shift keys and the drag that seeks by the lyrics.
#include "mainface.h"

#include "core/lcdsleep.h"
#include "core/lyricsoffsets.h"
#include "xmmsPlayer.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

void MainFace::loadLyrics(const QString &songPath) {
  if (timing.active()) {
    // The song being timed keeps showing the lines being timed; another song ends the mode.
    if (songPath == timing.song())
      return;
    leaveTiming(false);
  }
  // A lyrics file wins over the lyrics inside the song.
  lyricsLoaded = lyrics.loadLyrics(songPath, lyricsBig5) || lyrics.loadEmbedded(songPath);
  // Without lyrics, a book's chapters are the lines. They are shown at their own times (a
  // chapter is current while it plays) and never shifted.
  lyricsAreChapters = !lyricsLoaded && lyrics.loadChapters(songPath);
  lyricsLoaded = lyricsLoaded || lyricsAreChapters;
  lyricsOffset = lyricsAreChapters ? 0 : 2;
  currentLyricLine = 0;
  lyricScroll = 0;
  plainScroll = 0;
  lyricsDragFrom = -1;
  lyricsDragOffset = 0;
  lyricsDragging = false;
  if (songPath != lyricsSong) {
    lyricsSong = songPath;
    lyricsShiftMs = lyricsoffsets::shiftFor(baseDir, songPath);
  }
  if (lyricsAreChapters)
    lyricsShiftMs = 0;
  lcdsleep::run(baseDir, lyricsLoaded && showLyrics);
}

void MainFace::shiftLyrics(int deltaMs) {
  if (lyricsSong.isEmpty() || lyricsAreChapters)
    return; // chapters sit where the file puts them
  lyricsShiftMs += deltaMs;
  lyricsoffsets::store(baseDir, lyricsSong, lyricsShiftMs);
  const int tenths = std::abs(lyricsShiftMs) / 100;
  showNotice(QCoreApplication::translate("velora", "Lrc %1%2.%3 s")
                 .arg(lyricsShiftMs < 0 ? QStringLiteral("-") : QStringLiteral("+"))
                 .arg(tenths / 10)
                 .arg(tenths % 10));
  if (lyricsLoaded && showLyrics && !lyrics.isPlain())
    seekTo(currentSecond + lyricsOffset);
}

void MainFace::dragLyrics(int offset) {
  lyricsDragOffset = offset;
  if (timing.active())
    return; // the lines being timed stand still; the release moves a stamp
  drawLyrics();
}

void MainFace::finishLyricsDrag() {
  const int offset = lyricsDragOffset;
  lyricsDragFrom = -1;
  lyricsDragOffset = 0;
  lyricsDragging = false;
  if (timing.active()) {
    nudgeStamp(offset);
    return;
  }
  if (!lyricsLoaded)
    return;
  if (lyrics.isPlain()) {
    plainScroll = std::max(0.0, plainScroll - offset);
    drawLyrics();
    return;
  }
  const QList<LyricLine> &lines = lyrics.lyricLines;
  const int height = std::max(1, lyricLineHeight);
  // The line whose box is nearest the centre once the lines stand where the stylus left them.
  const double scroll = lyricScroll + offset;
  if (lines.size() < 3) { // only the two ends: no line to go to
    drawLyrics();
    return;
  }
  // Entries of several rows are taller: walk them one by one, each taken once the centre has
  // passed half of it.
  const int last = static_cast<int>(lines.size()) - 2;
  int line = std::clamp(currentLyricLine, 0, last);
  double past = -scroll;
  while (past > 0 && line < last) {
    const int h = lyricEntryHeight(lines.at(line), height);
    if (past < h / 2.0)
      break;
    past -= h;
    ++line;
  }
  while (past < 0 && line > 0) {
    const int h = lyricEntryHeight(lines.at(line - 1), height);
    if (-past < h / 2.0)
      break;
    past += h;
    --line;
  }
  line = std::clamp(line, 1, last);
  // The display runs lyricsOffset seconds (and the song's shift) ahead of the play time; the
  // whole second at or after that point makes the chosen line current at the next poll.
  const double at = lines.at(line).time - lyricsOffset - lyricsShiftMs / 1000.0;
  const int second = std::max(0, static_cast<int>(std::ceil(at)));
  if (controller && playingFlag)
    controller->seek(second * 1000);
  currentSecond = second;
  seekTo(second + lyricsOffset);
}
