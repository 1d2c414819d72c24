// Status polling: once a second the engine is asked where it is, and the time display, position
// bar, lyrics and title follow.
#include "mainface.h"

#include "gbkcodec.h"
#include "xmmsPlayer.h"

#include <QCoreApplication>

void MainFace::doCheckTimer() {
  if (!controller)
    return;
  // The controller's poll, brought forward to this tick: one fetch that the desktop service
  // reads too.
  const XMMSPlayer::Status now = controller->refresh();
  songClock.sample(now.outputTime, now.playing && !now.paused);
  if (!now.paused) {
    const qint64 output = now.outputTime;
    const qint64 length = now.songLength;
    const int percent = length > 0 ? static_cast<int>(output * 100 / length) : 0;
    drawTimer(static_cast<int>(output / 1000), static_cast<unsigned>(now.rate),
              static_cast<unsigned>(now.frequency), percent, static_cast<int>(length / 1000));
  }
  const int position = now.position;
  if (position != lastPosition) {
    // The song being timed is gone: its stamps are saved or dropped, as the user says. There is
    // no staying with it (no Cancel), or the same question would come again at once.
    if (timing.active())
      leaveTiming(false);
    const QString path = QString::fromUtf8(controller->fileAt(position).toLatin1());
    clearLoop(); // the whole window is repainted below, marks included
    setTitle(QString::number(position + 1) + "." +
             path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
    loadLyrics(path);
    if (windowMode == VerticalMode && playlistPanelShown && !playlistModel.isEmpty())
      drawPlaylistBar(position * 100 / static_cast<int>(playlistModel.size()), false);
    lastPosition = position;
    repaintAll();
  }
}

void MainFace::engineStopped() {
  // Only the pause picture is wrong now. A pause or a Stop tapped here already shows Play, and
  // the paused mark a Stop leaves behind is the window's own to keep.
  if (!playingFlag)
    return;
  playingFlag = pausedFlag = false;
  // As after the Stop button: the button offers Play and the status picture shows stopped.
  drawElement(1, 0);
  drawPlayStatus(2);
}

void MainFace::soundDeviceLost(const QString &reason) {
  // Silence with the clock still running looks like a broken player: say why, for longer than
  // a passing notice. What the engine said stays on the warning channel.
  Q_UNUSED(reason);
  showNotice(QCoreApplication::translate("velora", "Sound device lost: playing silently"));
  noticeTicks = 25; // five seconds of the title tick
}

void MainFace::songUnplayable(const QString &file, int skipped) {
  // The playlist has already moved on; without a word the skip looks like a player fault. A run
  // of broken files passes between two polls: the last is named and the others counted, so a
  // skip of half a playlist does not read as one bad file.
  const QString name = file.mid(file.lastIndexOf(QLatin1Char('/')) + 1);
  showNotice(skipped > 1 ? QCoreApplication::translate("velora", "Cannot play %1 and %n more",
                                                       nullptr, skipped - 1)
                               .arg(name)
                         : QCoreApplication::translate("velora", "Cannot play %1").arg(name));
  noticeTicks = 20; // four seconds of the title tick: a name takes a moment to read
}

QString MainFace::abRepeatTitle() {
  // "Repeat" in GBK bytes, as the phone's own menus spell it.
  return fromGbk("\xD6\xD8\xB8\xB4") + " A= " + QString::number(pointA) +
         "  B=  " + QString::number(pointB);
}

void MainFace::drawTimer(int seconds, unsigned int, unsigned int, int percent, int) {
  switch (windowMode) {
  case MiniMode:
    if (seconds == 0)
      return;
    drawTime(seconds);
    if (lyricsLoaded && showLyrics)
      seekTo(seconds + lyricsOffset);
    break;
  case VerticalMode:
    if (seconds == 0)
      return;
    drawTime(seconds);
    currentSecond = seconds;
    if (abRepeat) {
      setTitle(abRepeatTitle());
      // "At or past": the poll may skip a second, and then an exact match would never come.
      if (pointB > pointA && seconds >= pointB && controller)
        controller->seek(pointA * 1000);
    }
    if (positionDrag < 0)
      drawPosition(percent, false);
    if (lyricsLoaded && lyricsPanelShown && showLyrics)
      seekTo(seconds + lyricsOffset);
    if (xmasFrame <= 4)
      drawDecorationFrame();
    break;
  case HorizontalMode:
    currentSecond = seconds;
    drawTime(seconds);
    if (abRepeat) {
      setTitle(abRepeatTitle());
      // "At or past": the poll may skip a second, and then an exact match would never come.
      if (pointB > pointA && seconds >= pointB && controller)
        controller->seek(pointA * 1000);
    }
    if (lyricsLoaded && showLyrics)
      seekTo(seconds + lyricsOffset);
    if (positionDrag < 0)
      drawPosition(100 - percent, false);
    break;
  default:
    break;
  }
}

void MainFace::seekTo(int seconds) {
  if (timing.active()) { // the band shows the line waiting for its tap, not the song's place
    drawLyrics();
    return;
  }
  const QList<LyricLine> &lines = lyrics.lyricLines;
  if (lines.isEmpty())
    return;
  const double t = seconds + lyricsShiftMs / 1000.0;
  currentLyricLine = lyrics.lineAt(t);
  lyricScroll = 0;
  if (currentLyricLine + 1 < lines.size()) {
    const double start = lines.at(currentLyricLine).time;
    const double gap = lines.at(currentLyricLine + 1).time - start;
    // Two lines may share a time; the line then stays still instead of dividing by zero.
    // An entry of several rows (a line and its translation) scrolls by its whole height.
    if (gap > 0)
      lyricScroll =
          -lyricEntryHeight(lines.at(currentLyricLine), lyricLineHeight) / gap * (t - start);
  }
  drawLyrics();
}
