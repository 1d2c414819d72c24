// The command dispatcher: every finished tap on a control and every mapped hardware key ends
// here with the control's element id as the command code. Also the playlist-panel line tap,
// which plays one entry.
#include "mainface.h"

#include "core/lcdsleep.h"
#include "kconfig.h"
#include "xmmsPlayer.h"

namespace {

// The title of a song that became current: its 1-based entry number and its file name.
QString entryTitle(int position, const QString &path) {
  return QString::number(position + 1) + "." + path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace

void MainFace::buttonClick(int code) {
  // The engine owns its configuration file and rewrites it itself; only the bass-booster and
  // 3-D audio commands may write it, so every other command opens it without writing it back.
  const bool writesEngineConfig = code == 16 || code == 17;
  KConfig engineConfig(baseDir + "/.xmms/config", !writesEngineConfig);
  engineConfig.setGroup("OSS");
  KConfig settings(baseDir + "/.xmms/pelmar_cfg");

  // "Playing" as the engine reports it: neither paused nor stopped.
  auto enginePlaying = [this] {
    return controller && !controller->isPaused() && !controller->isStopped() &&
           !controller->isPaused();
  };

  switch (code) {
  case 0:
    if (enginePlaying())
      controller->back();
    break;
  case 1: {
    if (!controller || controller->isStopped() || controller->isPaused()) {
      if (controller && controller->isPaused()) {
        controller->pause(); // resumes
      } else if (controller) {
        // A volume changed while stopped takes effect with this song.
        controller->setVolume(volumePercent);
        controller->play();
      }
      drawPlayStatus(0);
      pausedFlag = false;
      playingFlag = true;
    } else {
      controller->pause();
      drawPlayStatus(1);
      pausedFlag = true;
      playingFlag = false;
    }
    if (controller) {
      const int p = controller->position();
      const QString path = QString::fromUtf8(controller->fileAt(p).toLatin1());
      setTitle(entryTitle(p, path));
      loadLyrics(path);
    }
    break;
  }
  case 2:
    drawPlayStatus(1);
    if (controller)
      controller->pause();
    pausedFlag = true;
    break;
  case 3:
    drawPlayStatus(2);
    if (controller)
      controller->stop();
    playingFlag = false;
    if (clearLoop())
      repaintAll();
    setTitle(QString());
    break;
  case 4:
    if (enginePlaying())
      controller->forward();
    break;
  case 5:
    openFolderCommand();
    break;
  case 10:
    presetsCommand();
    break;
  case 25:
    playlistMenuCommand();
    break;
  case 6:
    if (controller)
      controller->setShuffle(shuffleOn);
    break;
  case 7:
    if (controller)
      controller->setRepeat(repeatOn);
    break;
  case 8:
    if (controller)
      controller->setEqualizerActive(equalizerOn);
    break;
  case 16:
  case 17:
    engineConfig.writeEntry(code == 16 ? "ezx_audio_3d" : "ezx_bass_booster",
                            code == 16 ? audio3dOn : bassBoosterOn);
    if (!engineConfig.isReadOnly())
      engineConfig.sync();
    break;
  case 18:
  case 19:
    settings.setGroup("pelskin");
    settings.writeEntry(code == 18 ? "textcodec" : "showlrc", code == 18 ? lyricsBig5 : showLyrics);
    if (!settings.isReadOnly())
      settings.sync();
    break;
  case 22:
    // The display helper is run by its full path without a shell; the window then closes
    // (its close sequence saves the volume and ends the engine). From the desktop this can
    // come while a dialog is open; requestClose then cancels the dialog first.
    lcdsleep::run(baseDir, false);
    requestClose(false);
    break;
  case 23:
    resizeForMode(MiniMode);
    break;
  case 24:
    resizeForMode(VerticalMode);
    break;
  default:
    break; // 9, 11 to 13, 15, 20, 21: their effects happen in the touch rules
  }
}

void MainFace::plistPOSClick(int index) {
  if (controller) {
    controller->setVolume(volumePercent);
    controller->playAt(index);
    const int p = controller->position();
    if (p != lastPosition) {
      if (clearLoop())
        repaintAll();
      const QString path = QString::fromUtf8(controller->fileAt(p).toLatin1());
      setTitle(entryTitle(p, path));
      loadLyrics(path);
      if (windowMode == VerticalMode && playlistPanelShown && !playlistModel.isEmpty())
        drawPlaylistBar(p * 100 / static_cast<int>(playlistModel.size()), false);
      lastPosition = p;
    }
  }
  playingFlag = true;
  pausedFlag = false;
}
