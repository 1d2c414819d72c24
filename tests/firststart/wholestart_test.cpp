// The first start as a user gets it: seeding, the real engine reading what was seeded, then the
// window reading its settings after that. Each half alone once looked right while together they
// lost the sung line's colour.
#include "guiapp.h"
#include "mainface/mainface.h"
#include "core/startup.h"
#include "sharedir.h"
#include "testenv.h"
#include "xmmsPlayer.h"
#include "zapplication.h"

#include <QPointer>
#include <gtest/gtest.h>
#include <xmms/xmmsctrl.h>

#include <cstdlib>

using namespace velora::test;

namespace {

// Starts velora the way main() does, with this build's engine on PATH and share tree at share.
MainFace *startWith(const std::string &share) {
  const std::string oldPath = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", (stageDir() + "/bin:" + oldPath).c_str(), 1);
  setVeloraShareDir(QString::fromStdString(share));
  XMMSPlayer::launchWaitMs = 3000;
  MainFace *w = startVelora(*guiApp(), 200);
  setenv("PATH", oldPath.c_str(), 1);
  XMMSPlayer::launchWaitMs = 1000;
  setVeloraShareDir(QString());
  return w;
}

void closeAll(MainFace *w) {
  QPointer<MainFace> guard(w);
  w->close();
  spinUntil([&] { return guard.isNull(); }, 8000);
  delete XMMSPlayer::instance;
}

} // namespace

TEST(WholeFirstStart, HighlightsTheSungLineAndPlaysTheDemoInOrder) {
  if (!fileExists(stageDir() + "/bin/xmms"))
    GTEST_SKIP() << "engine not built";
  guiApp();
  TempHome home;
  const std::string share = home.root() + "/share";
  writeSilentWav(share + "/demo/01-first.wav", 3);
  writeSilentWav(share + "/demo/02-second.wav", 3);
  writeFile(share + "/readme", "readme");
  writeFile(home.path(".xmms/config"), "[xmms]\noutput_plugin=libnullout.so\n");

  MainFace *w = startWith(share);
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(XMMSPlayer::instance->isRunning());
  // The window read the seeded file: lyrics shown, the sung line in the accent colour.
  EXPECT_EQ(w->lyricsColour, QColor("#35c2ff"));
  EXPECT_EQ(w->lyricsBackColour, QColor("#C8C8C8"));
  EXPECT_TRUE(showLyrics);
  // The engine read "shuffle=FALSE" when it started, and the window agrees.
  EXPECT_EQ(xmms_remote_is_shuffle(0), 0);
  EXPECT_FALSE(shuffleOn);
  EXPECT_EQ(xmms_remote_get_playlist_length(0), 2);
  closeAll(w);
  // What stays for the next start, after the window and the engine rewrote both files.
  const std::string pelmar = readFile(home.path(".xmms/pelmar_cfg"));
  EXPECT_NE(pelmar.find("lrccolor=#35c2ff"), std::string::npos) << pelmar;
  EXPECT_NE(pelmar.find("showlrc=true"), std::string::npos) << pelmar;
  const std::string config = readFile(home.path(".xmms/config"));
  EXPECT_NE(config.find("shuffle=FALSE"), std::string::npos) << config;
  EXPECT_NE(config.find("output_plugin=libnullout.so"), std::string::npos) << config;

  // A user who chose shuffle and a colour of their own keeps both on a later start: seeding
  // only fills what is missing.
  writeFile(home.path(".xmms/config"), "[xmms]\noutput_plugin=libnullout.so\nshuffle=TRUE\n");
  writeFile(home.path(".xmms/pelmar_cfg"), "[pelskin]\nlrccolor=#102030\n");
  w = startWith(share);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->lyricsColour, QColor("#102030"));
  EXPECT_NE(xmms_remote_is_shuffle(0), 0);
  EXPECT_TRUE(shuffleOn);
  closeAll(w);
  EXPECT_NE(readFile(home.path(".xmms/config")).find("shuffle=TRUE"), std::string::npos);
}
