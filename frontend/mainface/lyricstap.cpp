// The timing mode: plain lyrics timed by tapping along with the song. The line to be timed
// stands at the centre of the lyrics band in the current-line colour, the timed ones above it;
// a tap on the band (or Enter) stamps the song's time on it, Back takes the last stamp back, a
// drag moves the last stamped line by tenths of a second. At the end, or on "Save lyrics", the
// .lrc is written beside the song and read back at once.
#include "mainface.h"

#include "dialogs/filebrowser.h"
#include "dialogs/viewdialog.h"
#include "xmmsPlayer.h"
#include "zmessagebox.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <memory>

namespace {

// Pixels of drag for each tenth of a second the stamp moves.
constexpr int kNudgePixels = 8;

QString stampText(qint64 ms) {
  const qint64 tenths = ms / 100;
  return QString::asprintf("%02lld:%02lld.%lld", tenths / 600, tenths / 10 % 60, tenths % 10);
}

QStringList linesOfFile(const QString &path, bool big5) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return {};
  // Keeps the time-tag-free text of each line: a .lrc without times reads as its lines.
  return LyricsReader::decodeLyrics(file.read(4 << 20), big5).split(QLatin1Char('\n'));
}

} // namespace

QStringList MainFace::timingSource(const QString &songPath) {
  // A text beside the song (its own name, then the one its tags name), then lyrics without
  // times already loaded (a plain tag or file), then the lines of timed lyrics to time anew.
  for (const QString &name : LyricsReader::textCandidates(songPath))
    if (QFileInfo(name).isFile())
      return linesOfFile(name, lyricsBig5);
  if (lyricsLoaded && lyrics.isPlain())
    return lyrics.plainLines;
  // An .lrc without a single time: its text lines, the tags ("[ti:...]") left out.
  if (lyricsLoaded && lyrics.lyricLines.size() <= 2 && QFileInfo(lyrics.loadedFile()).isFile()) {
    QStringList text;
    for (const QString &line : linesOfFile(lyrics.loadedFile(), lyricsBig5)) {
      const QString t = line.trimmed();
      if (!(t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']'))))
        text << t;
    }
    return text;
  }
  QStringList lines;
  if (lyricsLoaded)
    for (const LyricLine &line : lyrics.lyricLines)
      for (qsizetype k = 0; k < line.rowCount(); ++k)
        if (!line.row(k).text.trimmed().isEmpty())
          lines << line.row(k).text;
  return lines;
}

void MainFace::timeLyrics() {
  if (timing.active()) {
    leaveTiming(); // the same entry ends the mode, asking for unsaved stamps
    return;
  }
  if (!controller || lyricsSong.isEmpty()) {
    noticeText = QCoreApplication::translate("velora", "No song to time");
    noticeTicks = 10;
    wakeTitle();
    return;
  }
  QStringList lines = timingSource(lyricsSong);
  if (lines.isEmpty()) {
    // No text yet: the user picks one.
    auto dialog = std::make_unique<ViewDialog>(this, "*.txt *.TXT *.lrc *.LRC", true);
    // Its own heading: "Open Folder" over a list of texts would send the user looking for music.
    dialog->setWindowTitle(QCoreApplication::translate("velora", "Lyrics text"));
    dialog->setHeading(dialog->windowTitle());
    dialog->browser()->setDir(QFileInfo(lyricsSong).absolutePath());
    if (dialog->exec() != QDialog::Accepted || dialog->result().isEmpty())
      return;
    lines = linesOfFile(dialog->result(), lyricsBig5);
  }
  if (!timing.start(lyricsSong, lines)) {
    noticeText = QCoreApplication::translate("velora", "No lines to time");
    noticeTicks = 10;
    wakeTitle();
    return;
  }
  timingTitle = titleText;
  lyricsLoaded = true;
  showLyrics = true;
  if (windowMode == VerticalMode && !lyricsPanelShown) {
    lyricsPanelShown = true;
    playlistPanelShown = equalizerPanelShown = false;
  }
  // From the start of the song, playing.
  abRepeat = false;
  controller->seek(0);
  // Play asks the engine itself: a song started from elsewhere (a desktop remote) is playing
  // although this window never pressed Play, and Play on a playing song would pause it.
  if (controller->isStopped() || controller->isPaused())
    buttonClick(1);
  showTimingProgress();
  repaintAll();
}

void MainFace::showTimingProgress() {
  const int total = static_cast<int>(timing.lines().size());
  setTitle(QCoreApplication::translate("velora", "Timing %1/%2")
               .arg(std::min(timing.waiting() + 1, total))
               .arg(total));
  // The lines as the band shows them: the timed ones at their stamps, the waiting one and those
  // after it later than any of them, in order.
  timingView = {LyricLine(0.0, QString())};
  double last = 0.0;
  for (int i = 0; i < total; ++i) {
    const qint64 ms = timing.stampOf(i);
    last = ms >= 0 ? ms / 1000.0 : last + 1.0;
    timingView.append(LyricLine(last, timing.lines().at(i)));
  }
  timingView.append(LyricLine(LyricsReader::lastLineTime, QString()));
  currentLyricLine = timing.waiting() + 1;
  lyricScroll = 0;
  drawLyrics();
}

qint64 MainFace::songTimeMs() const {
  // Asked at the moment of the tap: the engine's time is song time at any playback speed.
  if (controller) {
    const XMMSPlayer::Status now = controller->status();
    if (now.answered)
      return now.outputTime;
  }
  return static_cast<qint64>(songClock.now() * 1000);
}

void MainFace::stampLine() {
  if (!timing.active() || !timing.stamp(songTimeMs()))
    return;
  if (timing.finished()) {
    saveTimedLyrics();
    return;
  }
  showTimingProgress();
}

void MainFace::undoStamp() {
  if (timing.undo())
    showTimingProgress();
}

void MainFace::nudgeStamp(int pixels) {
  const qint64 moved = timing.nudgePrevious(pixels / kNudgePixels * 100);
  if (moved < 0)
    return;
  noticeText = QCoreApplication::translate("velora", "Line %1 at %2")
                   .arg(timing.waiting())
                   .arg(stampText(moved));
  noticeTicks = 10;
  wakeTitle();
  showTimingProgress();
}

bool MainFace::saveTimedLyrics() {
  if (!timing.active())
    return false;
  const QString song = timing.song();
  if (!timing.save()) {
    noticeText = QCoreApplication::translate("velora", "Cannot save the lyrics");
    noticeTicks = 15;
    wakeTitle();
    return false;
  }
  endTiming(); // reads the song's lyrics again: the new file, shown at once
  if (song == lyricsSong && lyricsLoaded && showLyrics)
    seekTo(currentSecond + lyricsOffset);
  noticeText = QCoreApplication::translate("velora", "Lyrics saved");
  noticeTicks = 10;
  wakeTitle();
  return true;
}

void MainFace::endTiming() {
  timing.clear();
  timingView.clear();
  setTitle(timingTitle.isEmpty() ? QString() : timingTitle);
  if (!lyricsSong.isEmpty())
    loadLyrics(lyricsSong);
  repaintAll();
}

bool MainFace::leaveTiming(bool mayStay) {
  if (!timing.active())
    return true;
  if (timing.unsaved()) {
    // When the song has already moved on there is nothing to stay for.
    const int answer = ZMessageBox::information(
        this, QPixmap(), QCoreApplication::translate("velora", "Save the times tapped so far?"),
        QCoreApplication::translate("velora", "Save"),
        QCoreApplication::translate("velora", "Discard"),
        mayStay ? QCoreApplication::translate("velora", "Cancel") : QString(), 0);
    if (answer == 2)
      return false;
    if (answer == 0)
      return saveTimedLyrics();
  }
  endTiming();
  return true;
}
