// A home whose default skin an older velora installed, before the skin shipped sheets for higher
// densities: the next start adds the missing sheets beside the pictures they were drawn from,
// never over a file of the user's and never beside a picture the user repainted, and the window
// then draws from the sharper sheet.
#include "guiapp.h"
#include "mainface/mainface.h"
#include "sharedir.h"
#include "testenv.h"
#include "testskin.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <gtest/gtest.h>

#include <memory>

using namespace velora::test;

namespace {

QStringList leftovers(const std::string &dir) {
  return QDir(QString::fromStdString(dir)).entryList({".*.part"}, QDir::Files | QDir::Hidden);
}

} // namespace

TEST(SkinUpgrade, AnInstalledDefaultSkinGetsOnlyTheMissingDensitySheetsOfItsOwnPictures) {
  TempHome home;
  const std::string share = home.root() + "/share";
  const std::string shipped = share + "/skins/default", mine = home.path("skins/default");
  writeTestSkin(share, "default", "mwin_Y=0\nmwin_H=320\n");
  QImage dense = codedSheet(960, 1440);
  ASSERT_TRUE(dense.save(QString::fromStdString(shipped + "/skins@2x.png"), "PNG"));
  writeFile(shipped + "/skins@3x.png", "shipped 3x");
  writeFile(shipped + "/mini_main.png", "shipped mini");
  writeFile(shipped + "/mini_main@2x.png", "shipped mini 2x");
  writeFile(shipped + "/wallpaper.png", "shipped wallpaper");
  writeFile(shipped + "/wallpaper@3x.png", "shipped wallpaper 3x");

  // What the older velora left: its copy of the 1x pictures, a sheet of the user's own at 3x,
  // a mini picture the user repainted, and no wallpaper at all.
  writeFile(mine + "/skins.conf", readFile(shipped + "/skins.conf"));
  writeFile(mine + "/skins.png", readFile(shipped + "/skins.png"));
  writeFile(mine + "/skins@3x.png", "my own 3x");
  writeFile(mine + "/mini_main.png", "my repainted mini");
  const QString h = QString::fromStdString(home.home()), s = QString::fromStdString(share);

  EXPECT_EQ(MainFace::addDensitySheets(h, s), 1);
  EXPECT_TRUE(readFile(mine + "/skins@2x.png") == readFile(shipped + "/skins@2x.png"));
  EXPECT_EQ(readFile(mine + "/skins@3x.png"), "my own 3x");
  EXPECT_FALSE(fileExists(mine + "/mini_main@2x.png")); // its 1x picture is the user's
  EXPECT_EQ(readFile(mine + "/mini_main.png"), "my repainted mini");
  EXPECT_FALSE(fileExists(mine + "/wallpaper@3x.png")); // no 1x picture of it in the home
  EXPECT_FALSE(fileExists(mine + "/wallpaper.png"));
  EXPECT_TRUE(leftovers(mine).isEmpty()) << leftovers(mine).join(' ').toStdString();
  // A second start finds nothing more to add; the install of a whole skin is not redone.
  EXPECT_EQ(MainFace::addDensitySheets(h, s), 0);
  EXPECT_FALSE(MainFace::installDefaultSkin(h, s));
  // No default skin in the home (or none shipped): nothing to add to, nothing made.
  {
    TempHome empty; // (points HOME at itself while it lives)
    EXPECT_EQ(MainFace::addDensitySheets(QString::fromStdString(empty.home()), s), 0);
    EXPECT_FALSE(fileExists(empty.path("skins/default/skins@2x.png")));
  }
  EXPECT_EQ(MainFace::addDensitySheets(h, s + "/missing"), 0);

  // The start itself adds them, and a window at twice the density draws from the 2x sheet.
  QFile::remove(QString::fromStdString(mine + "/skins@2x.png"));
  setVeloraShareDir(s);
  guiApp();
  windowMode = VerticalMode;
  auto w = std::make_unique<MainFace>(nullptr, nullptr);
  EXPECT_TRUE(readFile(mine + "/skins@2x.png") == readFile(shipped + "/skins@2x.png"));
  w->resize(480, 640);
  w->show();
  ASSERT_TRUE(spinUntil([&] { return w->width() == 480; }));
  EXPECT_EQ(w->skinPixmap.devicePixelRatio(), 2);
  EXPECT_EQ(w->skinPixmap.width(), 960);
  w.reset();
  setVeloraShareDir(QString());
}
