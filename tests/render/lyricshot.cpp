// Saves what the main window shows in each mode while a song with lyrics plays through the real
// engine, with the default skin, as PNG pictures (the README's pictures):
//   lyricshot <output folder>   ->  vertical.png, horizontal.png, mini.png
// Runs in a temporary home with a silent song and Chinese and Latin lyrics beside it.
#include "guiapp.h"
#include "mainface/mainface.h"
#include "sharedir.h"
#include "testenv.h"
#include "xmmsPlayer.h"

#include <QDir>
#include <QTimer>
#include <cstdio>
#include <memory>

using namespace velora::test;

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: lyricshot <output folder>\n");
    return 2;
  }
  const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
  QDir().mkpath(out);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  guiApp();
  TempHome home;
  const QString share = QString::fromStdString(stageDir()) + "/share/velora";
  if (!QFileInfo::exists(share + "/skins/default/skins.conf")) {
    std::fprintf(stderr, "lyricshot: no default skin in %s (build the default_skin target)\n",
                 qPrintable(share));
    return 1;
  }
  setVeloraShareDir(share);
  writeSilentEngineConfig(home.home());
  writeFile(home.path(".xmms/pelmar_cfg"),
            "[pelskin]\nbackskin=" + home.path("skins/default/wallpaper.png") +
                "\nshowlrc=true\nlrcfont=16\nlrccolor=#ffe070\n");
  makeDirs(home.path("music"));
  const std::string song = home.path("music/Moonlight.wav");
  writeSilentWav(song, 60);
  writeFile(home.path(".xmms/xmms.m3u"), song + "\n");
  writeFile(home.path("music/Moonlight.lrc"),
            "[ti:Moonlight]\n[ar:velora]\n"
            "[00:10.00]\xE5\xBA\x8A\xE5\x89\x8D\xE6\x98\x8E\xE6\x9C\x88\xE5\x85\x89\n"
            "[00:14.00]Moonlight on my bed\n"
            "[00:18.00]\xE7\x96\x91\xE6\x98\xAF\xE5\x9C\xB0\xE4\xB8\x8A\xE9\x9C\x9C\n"
            "[00:22.00]Like frost below\n"
            "[00:26.00]\xE4\xB8\xBE\xE5\xA4\xB4\xE6\x9C\x9B\xE6\x98\x8E\xE6\x9C\x88\n"
            "[00:30.00]I look up at the moon\n"
            "[00:34.00]\xE4\xBD\x8E\xE5\xA4\xB4\xE6\x80\x9D\xE6\x95\x85\xE4\xB9\xA1\n"
            "[00:38.00]and think of home\n");

  EngineProcess engine;
  if (!engine.start()) {
    std::fprintf(stderr, "lyricshot: the engine did not start (build xmms_engine)\n");
    return 1;
  }
  XMMSPlayer player;
  auto window = std::make_unique<MainFace>(nullptr, nullptr);
  window->titleTimer->stop();
  window->checkTimer->stop();
  lyricsPanelShown = true;
  playlistPanelShown = equalizerPanelShown = false;
  player.playAt(0);
  player.seek(20000);
  waitUntil([&] { return player.outputTime() >= 20500; }, 5000);
  playingFlag = true;
  window->lastPosition = -1; // the first poll sets the title and finds the lyrics

  bool ok = true;
  const struct {
    int mode;
    const char *file;
  } shots[] = {
      {VerticalMode, "vertical.png"}, {HorizontalMode, "horizontal.png"}, {MiniMode, "mini.png"}};
  for (const auto &shot : shots) {
    windowMode = shot.mode;
    window->composeFrame();
    window->doCheckTimer();
    window->composeFrame();
    window->doCheckTimer();
    for (int i = 0; i < 3; ++i)
      window->drawTitle();
    const QString path = out + "/" + shot.file;
    // The mini strip shows its lyrics line below the buttons.
    const QImage shown = shot.mode == MiniMode
                             ? window->frameImage().copy(0, 0, 240, lyricsLoaded ? 48 : 25)
                             : window->frameImage();
    if (!shown.save(path, "PNG")) {
      std::fprintf(stderr, "lyricshot: cannot write %s\n", qPrintable(path));
      ok = false;
    } else {
      std::printf("%s\n", qPrintable(path));
    }
  }
  windowMode = VerticalMode;
  window.reset();
  player.stop();
  engine.stop();
  return ok ? 0 : 1;
}
