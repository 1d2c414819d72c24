// The first start's seeding: every missing piece arrives, nothing the user has is replaced.
#include "core/firststart.h"
#include "testenv.h"

#include <QDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace velora::test;

namespace {
QString q(const std::string &s) { return QString::fromStdString(s); }
} // namespace

TEST(FirstStart, SeedsWhatIsMissingAndNothingElse) {
  TempHome home;
  const std::string share = home.root() + "/share";
  writeFile(share + "/demo/b song.mp3", "b");
  writeFile(share + "/demo/A.flac", "a");
  writeFile(share + "/demo/A.lrc", "[00:01.00]line\n");
  writeFile(share + "/demo/notes.txt", "not a song");
  writeFile(share + "/presets/default.preset", "[Presets]\n");
  writeFile(share + "/presets/user.preset", "[Presets]\n");
  writeFile(share + "/readme", "shipped readme");
  writeFile(share + "/skins/default/skins.conf", "[SKINS]\n");
  writeFile(share + "/skins/default/skins.png", "png");
  // What the user already has.
  writeFile(home.path("readme"), "my notes");
  writeFile(home.path(".xmms/user.preset"), "mine");

  const QStringList written = firststart::seedHome(q(home.home()), q(share));
  EXPECT_EQ(written, QStringList({"skins/default", ".xmms/default.preset", ".xmms/pelmar_cfg",
                                  ".xmms/config", ".xmms/xmms.m3u", "playlist/demo.m3u"}));
  EXPECT_EQ(readFile(home.path("readme")), "my notes");
  EXPECT_EQ(readFile(home.path(".xmms/user.preset")), "mine");
  EXPECT_EQ(readFile(home.path(".xmms/default.preset")), "[Presets]\n");
  EXPECT_EQ(readFile(home.path("skins/default/skins.conf")), "[SKINS]\n");
  // Playable files only, sorted ignoring case, one absolute path per line.
  const std::string list = share + "/demo/A.flac\n" + share + "/demo/b song.mp3\n";
  EXPECT_EQ(readFile(home.path(".xmms/xmms.m3u")), list);
  EXPECT_EQ(readFile(home.path("playlist/demo.m3u")), list);
  EXPECT_NE(readFile(home.path(".xmms/pelmar_cfg")).find("showlrc=true"), std::string::npos);
  EXPECT_NE(readFile(home.path(".xmms/pelmar_cfg")).find("lrccolor=#35c2ff"), std::string::npos);
  EXPECT_NE(readFile(home.path(".xmms/config")).find("shuffle=FALSE"), std::string::npos);
  EXPECT_TRUE(QDir(q(home.path(".xmms"))).entryList({".*.part", "*~", "*.tmp"}).isEmpty());

  // A second start writes nothing, even over an emptied playlist.
  writeFile(home.path(".xmms/xmms.m3u"), "");
  EXPECT_TRUE(firststart::seedHome(q(home.home()), q(share)).isEmpty());
  EXPECT_EQ(readFile(home.path(".xmms/xmms.m3u")), "");

  // A shipped tree with no demo leaves the playlists alone; a missing tree does nothing at all.
  TempHome other;
  writeFile(other.root() + "/share/readme", "r");
  EXPECT_EQ(firststart::seedHome(q(other.home()), q(other.root() + "/share")),
            QStringList({"readme", ".xmms/pelmar_cfg", ".xmms/config"}));
  EXPECT_FALSE(fileExists(other.path(".xmms/xmms.m3u")));
  TempHome bare;
  EXPECT_TRUE(firststart::seedHome(q(bare.home()), q(bare.root() + "/nothing")).isEmpty());
  EXPECT_TRUE(QDir(q(bare.home()))
                  .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                  .isEmpty());
}

int seedUnwritable(void *arg) {
  const auto *home = static_cast<const TempHome *>(arg);
  return firststart::seedHome(q(home->home()), q(home->root() + "/share")).isEmpty() ? 0 : 2;
}

TEST(FirstStart, AnUnwritableHomeGivesWarningsNotACrash) {
  TempHome home;
  writeFile(home.root() + "/share/demo/a.mp3", "a");
  ASSERT_EQ(chmod(home.root().c_str(), 0755), 0);
  ASSERT_EQ(chmod(home.home().c_str(), 0555), 0);
  const int result = runUnprivileged(seedUnwritable, &home);
  chmod(home.home().c_str(), 0700);
  if (result < 0)
    GTEST_SKIP() << "running as root and cannot drop to an unprivileged user";
  EXPECT_EQ(result, 0) << "seeding an unwritable home did not end with its warnings";
  EXPECT_FALSE(QDir(q(home.home() + "/.xmms")).exists());
}
