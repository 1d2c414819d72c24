// The engine's playlist file and what replaces it: playlist reading rules, a folder played,
// saved playlists from the menu, the open-folder command; through a real engine that the window
// restarts.
#include "dialogfixture.h"

#include "core/m3u.h"
#include "core/storage.h"
#include "dialogs/filebrowser.h"
#include "dialogs/viewdialog.h"
#include "guiapp.h"
#include "testskin.h"
#include "util_pushbutton.h"

#include <QDir>
#include <xmms/xmmsctrl.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace velora::test;

TEST(PlaylistFile, ReadingRules) {
  TempHome home;
  // Extended header and information lines, short lines, Windows line ends, blanks around.
  writeFile(home.path("a.m3u"), "#EXTM3U\r\n#EXTINF:123,Artist - Title\r\n  /music/one.mp3  \r\n"
                                "\r\na.mp3\r\nab.mp3\r\n#/music/hidden.mp3\r\nhttp://radio/x\r\n"
                                "/m\xc3\xbasica/tr\xc3\xa8s.ogg");
  auto entries = m3u::read(QString::fromStdString(home.path("a.m3u")));
  ASSERT_TRUE(entries.has_value());
  EXPECT_EQ(*entries, (QStringList{"/music/one.mp3", "ab.mp3", "http://radio/x",
                                   QString::fromUtf8("/m\xc3\xbasica/tr\xc3\xa8s.ogg")}));
  EXPECT_FALSE(m3u::read(QString::fromStdString(home.path("missing.m3u"))).has_value());

  // The window's panel reads the same way and keeps its entries when the file goes missing.
  guiApp();
  writeTestSkin(home.home(), "default", "mwin_Y=0\nmwin_H=320\n");
  {
    writeFile(home.path(".xmms/xmms.m3u"), "#EXTM3U\n#EXTINF:1,x\n/music/one.mp3\n");
    MainFace w(nullptr, nullptr);
    EXPECT_EQ(w.playlistModel, QStringList{"/music/one.mp3"});
    w.loadPlaylistFile(QString::fromStdString(home.path("missing.m3u")));
    EXPECT_EQ(w.playlistModel, QStringList{"/music/one.mp3"});
  }

  // Written files: one path and a line feed each, replacing the old file whole.
  const QString out = QString::fromStdString(home.path("out.m3u"));
  ASSERT_TRUE(m3u::write(out, {"/a/b.mp3", QString::fromUtf8("/\xe4\xb8\x80.m4a")}));
  EXPECT_EQ(readFile(home.path("out.m3u")), "/a/b.mp3\n/\xe4\xb8\x80.m4a\n");
  EXPECT_TRUE(QDir(QString::fromStdString(home.home()))
                  .entryList({"*.m3u.*"}, QDir::Hidden | QDir::Files)
                  .isEmpty());
  EXPECT_FALSE(m3u::write(QString::fromStdString(home.path("no/such/folder/x.m3u")), {"/a"}));
}

TEST(Storage, RootsFallBackToTheMusicFolderThenHome) {
  TempHome home;
  const QString h = QString::fromStdString(home.home());
  makeDirs(home.path("card"));
  // Neither the phone's folders nor a Music folder: the home folder.
  if (!QFileInfo::exists("/mmc/mmca1")) {
    EXPECT_EQ(storage::cardRoot(h), h);
  }
  if (!QFileInfo::exists("/diska")) {
    EXPECT_EQ(storage::internalRoot(h), h);
  }
  makeDirs(home.path("Music"));
  if (!QFileInfo::exists("/mmc/mmca1")) {
    EXPECT_EQ(storage::cardRoot(h), h + "/Music");
  }
  writeFile(home.path(".xmms/pelmar_cfg"), "[pelskin]\nstorage_card=" + home.path("card") +
                                               "\nstorage_internal=" + home.path("gone") + "\n");
  EXPECT_EQ(storage::cardRoot(h), h + "/card");
  EXPECT_EQ(storage::internalRoot(h), h + "/Music");
}

TEST_F(DialogTest, FolderPlaysItsSongsInNameOrderAndAnUnreadableFolderLeavesTheEngine) {
  const std::string old = song("old", "old-song.wav");
  startEngine({old});
  openWindow();
  xmms_remote_play(0);
  ASSERT_TRUE(waitUntil([this] { return enginePlaying(); }, 5000));
  const pid_t first = XMMSPlayer::enginePid();
  ASSERT_GT(first, 0);

  // A folder that cannot be listed: the engine is not touched.
  w->playFolder(QString::fromStdString(home.path("no-such-folder")));
  ASSERT_TRUE(waitForRestart());
  EXPECT_EQ(XMMSPlayer::enginePid(), first);
  EXPECT_TRUE(enginePlaying());
  EXPECT_EQ(w->playlistModel, QStringList{QString::fromStdString(old)});
  if (geteuid() == 0) {
    std::puts("(a folder without read permission is readable for root: that case is skipped)");
  } else {
    makeDirs(home.path("locked"));
    song("locked", "x.wav", 1);
    chmod(home.path("locked").c_str(), 0);
    w->playFolder(QString::fromStdString(home.path("locked")));
    ASSERT_TRUE(waitForRestart());
    chmod(home.path("locked").c_str(), 0755);
    EXPECT_EQ(XMMSPlayer::enginePid(), first);
    EXPECT_TRUE(enginePlaying());
  }

  // Names sorted ignoring case; every playable kind by its whole extension; other files and
  // sub-folders left out.
  for (const char *name : {"B.mp3", "a.ogg", "c.m4a", "d.FLAC", "e.txt", "f.opus.txt"})
    writeFile(home.path(std::string("mixed/") + name), "x");
  makeDirs(home.path("mixed/sub.mp3"));
  const std::string dir = home.path("mixed");
  w->playFolder(QString::fromStdString(dir));
  ASSERT_TRUE(waitForRestart());
  const std::string expected =
      dir + "/a.ogg\n" + dir + "/B.mp3\n" + dir + "/c.m4a\n" + dir + "/d.FLAC\n";
  EXPECT_EQ(readFile(home.path(".xmms/xmms.m3u")), expected);
  EXPECT_NE(XMMSPlayer::enginePid(), first); // a new engine, on the new file
  EXPECT_EQ(enginePlaylist(), (std::vector<std::string>{dir + "/a.ogg", dir + "/B.mp3",
                                                        dir + "/c.m4a", dir + "/d.FLAC"}));
  EXPECT_EQ(w->playlistModel.size(), 4);
  EXPECT_EQ(w->playlistModel.first().toStdString(), dir + "/a.ogg");
}

TEST_F(DialogTest, SavedPlaylistsMenuOffersSevenAndLoadsTheRealFile) {
  const std::string old = song("old", "old-song.wav");
  startEngine({old});
  openWindow();
  const std::string a = song("lists", "alpha.wav"), b = song("lists", "beta.wav");
  // Eight saved playlists; "my.list.m3u" sorts among them as "my.list".
  for (const char *name : {"c1", "c2", "c3", "c4", "c5", "c6", "zz"})
    writeFile(home.path(std::string("playlist/") + name + ".m3u"), old + "\n");
  writeFile(home.path("playlist/my.list.m3u"), "#EXTM3U\r\n" + b + "\r\n" + a + "\r\n");
  writeFile(home.path("playlist/notes.txt"), "not a playlist");

  w->buttonClick(25);
  ASSERT_NE(w->playlistMenu, nullptr);
  w->playlistMenu->hide();
  EXPECT_EQ(w->playlistMenu->count(), 8); // "Actual  " and seven saved lists
  EXPECT_EQ(w->playlistMenu->text(0), "Actual  ");
  EXPECT_EQ(w->playlistMenu->text(7), "my");
  EXPECT_EQ(w->playlistMenu->text(8), QString()); // "zz" is the eighth: not offered
  // Filling it again does not add the same lists twice.
  w->refillPlaylistMenu();
  EXPECT_EQ(w->playlistMenu->count(), 8);

  w->selectMenumplist(7);

  ASSERT_TRUE(waitForRestart());
  EXPECT_EQ(readFile(home.path(".xmms/xmms.m3u")), readFile(home.path("playlist/my.list.m3u")));
  EXPECT_EQ(enginePlaylist(), (std::vector<std::string>{b, a}));
  EXPECT_TRUE(waitUntil([this] { return enginePlaying(); }, 5000));
  EXPECT_EQ(xmms_remote_get_playlist_pos(0), 0);
  EXPECT_EQ(w->playlistModel, (QStringList{QString::fromStdString(b), QString::fromStdString(a)}));
  EXPECT_EQ(w->title().toStdString(), "1.beta.wav");

  // A saved playlist that vanished after the menu was filled: the engine plays on.
  const pid_t running = XMMSPlayer::enginePid();
  ::unlink(home.path("playlist/c1.m3u").c_str());
  w->selectMenumplist(1);
  ASSERT_TRUE(waitForRestart());
  EXPECT_EQ(XMMSPlayer::enginePid(), running);
  EXPECT_EQ(enginePlaylist(), (std::vector<std::string>{b, a}));
}

TEST_F(DialogTest, AcceptingTheOpenFolderDialogPlaysTheWholeFolderShown) {
  const std::string old = song("old", "old-song.wav");
  startEngine({old});
  writeFile(home.path(".xmms/pelmar_cfg"), "[pelskin]\nstorage_card=" + home.path("card") + "\n");
  const std::string one = song("card/album", "01 one.wav"), two = song("card/album", "02 two.wav");
  writeFile(home.path("card/album/cover.jpg"), "x");
  openWindow();

  // The dialog opens on the configured card; enter the album, highlight the second song, OK.
  QString shownAt, listed;
  whenModal<ViewDialog>([&](ViewDialog *d) {
    FileBrowser *b = d->browser();
    shownAt = b->currentDir();
    const int album = 1; // after ".."
    EXPECT_EQ(b->text(album), "album");
    b->itemClicked(b->item(album));
    EXPECT_EQ(b->currentDir().toStdString(), home.path("card/album"));
    for (uint i = 0; i < b->count(); ++i)
      listed += b->text(static_cast<int>(i)) + "|";
    b->setCurrentItem(2); // "02 two.wav"
    EXPECT_EQ(b->currentFile().toStdString(), two);
    if (b->currentFile().toStdString() == two)
      d->okButton()->click();
    else
      d->reject();
  });
  w->buttonClick(5);
  ASSERT_TRUE(waitForRestart());
  EXPECT_EQ(shownAt.toStdString(), home.path("card"));
  EXPECT_EQ(listed, "..|01 one.wav|02 two.wav|");
  EXPECT_EQ(enginePlaylist(), (std::vector<std::string>{one, two}));
  EXPECT_TRUE(waitUntil([this] { return enginePlaying(); }, 5000));
  EXPECT_EQ(xmms_remote_get_playlist_pos(0), 0);
  EXPECT_TRUE(playingFlag);

  // A rejected dialog changes nothing.
  const pid_t running = XMMSPlayer::enginePid();
  whenModal<ViewDialog>([](ViewDialog *d) { d->backButton()->click(); });
  w->buttonClick(5);
  ASSERT_TRUE(waitForRestart());
  EXPECT_EQ(XMMSPlayer::enginePid(), running);
  EXPECT_EQ(enginePlaylist(), (std::vector<std::string>{one, two}));
}
