// Saves what the main window shows in each mode with the default skin, as PNG pictures:
//   frameshot <output folder>   ->  vertical.png, horizontal.png, mini.png
// Runs in a temporary home, so the user's own settings and skins are never touched.
#include "guiapp.h"
#include "mainface/mainface.h"
#include "sharedir.h"
#include "testenv.h"
#include "xmmsPlayer.h"

#include <QDir>
#include <cstdio>
#include <memory>

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: frameshot <output folder>\n");
    return 2;
  }
  const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
  QDir().mkpath(out);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  guiApp();
  velora::test::TempHome home;
  const QString share = QString::fromStdString(velora::test::stageDir()) + "/share/velora";
  if (!QFileInfo::exists(share + "/skins/default/skins.conf")) {
    std::fprintf(stderr, "frameshot: no default skin in %s (build the default_skin target)\n",
                 qPrintable(share));
    return 1;
  }
  setVeloraShareDir(share);
  velora::test::writeFile(home.path(".xmms/pelmar_cfg"),
                          "[pelskin]\nbackskin=" + home.path("skins/default/wallpaper.png") + "\n");
  XMMSPlayer player; // no engine: every query answers its empty result
  auto window = std::make_unique<MainFace>(nullptr, nullptr);

  bool ok = true;
  const struct {
    int mode;
    const char *file;
  } shots[] = {
      {VerticalMode, "vertical.png"}, {HorizontalMode, "horizontal.png"}, {MiniMode, "mini.png"}};
  for (const auto &shot : shots) {
    windowMode = shot.mode;
    window->composeFrame();
    const QString path = out + "/" + shot.file;
    if (!window->saveFrame(path)) {
      std::fprintf(stderr, "frameshot: cannot write %s\n", qPrintable(path));
      ok = false;
    } else {
      std::printf("%s\n", qPrintable(path));
    }
  }
  windowMode = VerticalMode;
  return ok ? 0 : 1;
}
