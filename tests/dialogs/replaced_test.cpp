// A playlist replaced under the window: the panel shows the new list from its top, an open
// editor reads it again instead of writing its old one back, and a folder without songs leaves
// the playlist as it was.
#include "dialogfixture.h"
#include "dialogs/mylistbox.h"
#include "dialogs/playlist.h"
#include "guiapp.h"
#include "mainface/state.h"
#include "testenv.h"

#include <QDir>
#include <sys/stat.h>
#include <xmms/xmmsctrl.h>

using namespace velora::test;

namespace {

QStringList paths(const std::vector<std::string> &v) {
  QStringList out;
  for (const std::string &s : v)
    out << QString::fromStdString(s);
  return out;
}

// The playlist panel: its scroll bar and the six rows beside it.
QRect panelArea(const MainFace &w) {
  const int barY = w.plist_Bar.y();
  return QRect(10, barY, 210, 6 * 20)
      .united(QRect(w.plist_Bar.x(), barY, w.plist_Bar.w(), w.plist_Bar.h()));
}

} // namespace

TEST_F(DialogTest, ReplacedPlaylistRedrawsThePanelReloadsTheEditorAndAnEmptyFolderKeepsIt) {
  std::vector<std::string> old;
  for (int i = 1; i <= 10; ++i)
    old.push_back(song("old", "old-song-" + std::to_string(i) + ".wav", 5));
  startEngine(old);
  // The shipped skin (installed by the window itself), whose panel has a bar and six rows.
  w = std::make_unique<MainFace>(nullptr, nullptr);
  ASSERT_FALSE(w->skinPixmap.isNull());
  ASSERT_GT(w->plist_Bar.h(), 20);
  windowMode = VerticalMode;
  playlistPanelShown = true;
  lyricsPanelShown = equalizerPanelShown = false;
  w->composeFrame();
  // The knob at the bottom of its track: the panel shows the old list's last page.
  w->drawPlaylistBar(w->plist_Bar.h() - 20, false);
  ASSERT_EQ(firstPlaylistLine, 4);
  const QRect panel = panelArea(*w);
  const QImage before = w->frameImage().copy(panel);

  PlayList *editor = nullptr;
  w->openPlaylistEditor();
  editor = w->playlistEditor;
  ASSERT_NE(editor, nullptr);
  ASSERT_EQ(editor->entries(), paths(old));
  editor->setCurrentIndex(7);

  const std::string a = song("new", "a.wav", 5), b = song("new", "b.wav", 5);
  w->playFolder(QString::fromStdString(home.path("new")));
  ASSERT_TRUE(waitForRestart());
  ASSERT_EQ(enginePlaylist(), (std::vector<std::string>{a, b}));

  // The panel is what a full redraw with the new list gives: two rows, the knob at the top, no
  // row of the old list left over.
  EXPECT_EQ(firstPlaylistLine, 0);
  const QImage after = w->frameImage().copy(panel);
  EXPECT_NE(after, before);
  w->composeFrame();
  EXPECT_EQ(after, w->frameImage().copy(panel)) << "the panel still shows rows of the old list";

  // The editor holds the new list, nothing unsaved, the first song current.
  ASSERT_EQ(w->playlistEditor, editor);
  EXPECT_EQ(editor->entries(), paths({a, b}));
  EXPECT_EQ(editor->changes(), 0);
  QString current;
  EXPECT_EQ(editor->takeCurrent(current), 0);
  EXPECT_EQ(current.toStdString(), a);
  // Removing a song there writes the new list less that song, never the old one.
  editor->setMode(-1);
  editor->listBox()->doItemClicked(editor->listBox()->item(1));
  editor->hideWithOk();
  ASSERT_TRUE(waitForRestart());
  EXPECT_EQ(readFile(home.path(".xmms/xmms.m3u")), a + "\n");
  ASSERT_TRUE(waitUntil([&] { return enginePlaylist() == std::vector<std::string>{a}; }, 10000));

  // A folder with no songs: the playlist, the engine and the panel stay; the user is told.
  writeFile(home.path("empty/notes.txt"), "no songs here");
  const pid_t running = XMMSPlayer::enginePid();
  const QStringList model = w->playlistModel;
  w->playFolder(QString::fromStdString(home.path("empty")));
  ASSERT_TRUE(waitForRestart());
  EXPECT_EQ(readFile(home.path(".xmms/xmms.m3u")), a + "\n");
  EXPECT_EQ(XMMSPlayer::enginePid(), running);
  EXPECT_EQ(w->playlistModel, model);
  EXPECT_EQ(w->noticeText, "No songs in this folder");
  EXPECT_GT(w->noticeTicks, 0);
  delete w->playlistEditor.data();
}

namespace {

struct AddModeCase {
  std::string home;
};

// In a child without privileges, where an unreadable folder really cannot be listed.
int addModeAtUnlistedRoot(void *arg) {
  const auto *c = static_cast<const AddModeCase *>(arg);
  setenv("HOME", c->home.c_str(), 1);
  PlayList editor(nullptr, QString::fromStdString(c->home + "/.xmms/xmms.m3u"));
  editor.menuSelect(PlayList::AddSongs);
  My_ListBox *list = editor.listBox();
  if (editor.mode() != 1 || list->count() != 1 || !list->isCardItem(0))
    return 2; // the card is not offered
  if (!list->atInternalRoot())
    return 3;
  list->browse(QString::fromStdString(c->home + "/card"));
  if (list->currentDir().toStdString() != c->home + "/card" || list->count() != 1)
    return 4;
  editor.hideWithCancel(); // from the card back to the internal root, still unlisted
  if (!list->atInternalRoot() || list->count() != 1 || !list->isCardItem(0))
    return 5;
  editor.hideWithCancel(); // and out to the list
  return editor.mode() == 0 ? 0 : 6;
}

} // namespace

TEST(AddMode, AnUnlistableStorageRootStillOffersTheCardAndAWayBack) {
  guiApp();
  TempHome home;
  makeDirs(home.path("locked"));
  makeDirs(home.path("card"));
  writeSilentWav(home.path("card/song.wav"), 1);
  writeFile(home.path(".xmms/xmms.m3u"), "");
  writeFile(home.path(".xmms/pelmar_cfg"), "[pelskin]\nstorage_card=" + home.path("card") +
                                               "\nstorage_internal=" + home.path("locked") + "\n");
  for (const std::string &p : {home.root(), home.home(), home.path(".xmms"), home.path("card")})
    ASSERT_EQ(chmod(p.c_str(), 0755), 0);
  chmod(home.path(".xmms/pelmar_cfg").c_str(), 0644);
  chmod(home.path(".xmms/xmms.m3u").c_str(), 0644);
  chmod(home.path("card/song.wav").c_str(), 0644);
  ASSERT_EQ(chmod(home.path("locked").c_str(), 0311), 0); // entered, never listed
  AddModeCase c{home.home()};
  const int result = runUnprivileged(addModeAtUnlistedRoot, &c);
  chmod(home.path("locked").c_str(), 0755);
  if (result < 0)
    GTEST_SKIP() << "running as root and cannot drop to an unprivileged user";
  EXPECT_EQ(result, 0) << "2: no card item, 3: not at the storage root, 4: card not browsed, "
                          "5: back from the card lost the card item, 6: back did not leave";
}
