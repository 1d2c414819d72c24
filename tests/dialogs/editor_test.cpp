// The playlist editor over the engine's playlist (adding from the storage roots, removing, saved
// playlists, unsaved changes at close), the About box and the readme viewer; through a real
// engine that the editor restarts.
#include "dialogfixture.h"

#include "core/firststart.h"
#include "dialogs/filebrowser.h"
#include "dialogs/inputdialog.h"
#include "dialogs/mylistbox.h"
#include "dialogs/playlist.h"
#include "dialogs/viewdialog.h"
#include "dialogs/xreadmewidget.h"
#include "util_pushbutton.h"
#include "zmultilineedit.h"
#include "zpushbutton.h"
#include "zskin.h"

#include <QAbstractButton>
#include <QDir>
#include <QMessageBox>
#include <QPainter>
#include <xmms/xmmsctrl.h>

using namespace velora::test;

namespace {

QStringList paths(const std::vector<std::string> &list) {
  QStringList out;
  for (const std::string &p : list)
    out << QString::fromStdString(p);
  return out;
}

// Answers the next message box with the button captioned caption and keeps its text.
void answerBox(const QString &caption, QString *text = nullptr) {
  whenModal<QMessageBox>([caption, text](QMessageBox *box) {
    if (text)
      *text = box->text();
    for (QAbstractButton *b : box->buttons())
      if (b->text() == caption)
        return b->click();
    box->reject();
  });
}

// Whether the cell of row shows the named skin picture at (x, y) (pictures drawn at 20 px).
bool cellShows(My_ListBox *box, int row, const char *picture, int x) {
  QImage cell(box->cellWidth(), My_ListBox::cellHeightPx, QImage::Format_ARGB32);
  cell.fill(Qt::white);
  QPainter p(&cell);
  box->paintCell(&p, row, 0);
  p.end();
  const int y = (My_ListBox::cellHeightPx - My_ListBox::iconPx) / 2;
  QImage expected(My_ListBox::iconPx, My_ListBox::iconPx, QImage::Format_ARGB32);
  expected.fill(Qt::white);
  QPainter q(&expected);
  q.drawPixmap(0, 0,
               ZSkin::skin()->getPixmap(picture).scaled(My_ListBox::iconPx, My_ListBox::iconPx,
                                                        Qt::IgnoreAspectRatio,
                                                        Qt::SmoothTransformation));
  q.end();
  return cell.copy(x, y, My_ListBox::iconPx, My_ListBox::iconPx) == expected;
}

void click(My_ListBox *box, int row) {
  box->doItemClicked(box->item(row));
  QCoreApplication::processEvents(); // entering a folder waits for the click to finish
}

} // namespace

TEST_F(DialogTest, EditorAddsTickedPlayableFilesFromTheStorageRoots) {
  const std::string old = song("old", "old-song.wav");
  startEngine({old});
  writeFile(home.path(".xmms/pelmar_cfg"), "[pelskin]\nstorage_card=" + home.path("card") +
                                               "\nstorage_internal=" + home.path("internal") +
                                               "\n");
  makeDirs(home.path("internal/sub"));
  for (const char *name : {"notes.txt", "a.MP3", "b.m4a", "c.flac"})
    writeFile(home.path(std::string("internal/") + name), "x");
  const std::string d = song("internal", "d.wav");
  song("card", "e.wav");
  openWindow();
  w->selectMenumplist(0);
  PlayList *editor = w->playlistEditor;
  ASSERT_NE(editor, nullptr);
  EXPECT_TRUE(editor->isVisible());
  EXPECT_EQ(editor->entries(), paths({old}));

  editor->menuSelect(PlayList::AddSongs);
  My_ListBox *box = editor->listBox();
  EXPECT_EQ(box->currentDir().toStdString(), home.path("internal"));
  // Folders first, then files by name ignoring case; the memory card last.
  ASSERT_EQ(box->count(), 7u);
  EXPECT_TRUE(box->isCardItem(6));
  EXPECT_EQ(box->entries().at(0).fileName(), "sub");
  EXPECT_EQ(box->entries().at(5).fileName(), "notes.txt");
  for (int row : {5, 1, 2, 3})
    click(box, row);
  EXPECT_FALSE(box->isChecked(5)); // a text file cannot be ticked
  EXPECT_TRUE(cellShows(box, 5, "FMMS_Personal_File_S.g", 2));
  for (int row : {1, 2, 3}) { // .MP3, .m4a, .flac
    EXPECT_TRUE(box->isChecked(row)) << row;
    EXPECT_TRUE(cellShows(box, row, "General_Selecte_Box_Selected.g", 26)) << row;
  }
  EXPECT_TRUE(cellShows(box, 6, "FMMS_Personal_MMC_SD.g", 2));

  // The card has no card item; back from it is the internal root, back again the list.
  click(box, 6);
  EXPECT_EQ(box->currentDir().toStdString(), home.path("card"));
  ASSERT_EQ(box->count(), 1u);
  EXPECT_FALSE(box->isCardItem(0));
  editor->hideWithCancel();
  EXPECT_EQ(box->currentDir().toStdString(), home.path("internal"));
  EXPECT_EQ(editor->mode(), 1);

  // Ticked songs are appended in folder order; the engine restarts on the new list.
  const pid_t before = XMMSPlayer::enginePid();
  editor->menuSelect(PlayList::CheckAll);
  click(box, 2); // b.m4a off again
  editor->okButton()->click();
  ASSERT_TRUE(waitForRestart());
  const QString in = QString::fromStdString(home.path("internal/"));
  const QStringList expected = {QString::fromStdString(old), in + "a.MP3", in + "c.flac",
                                QString::fromStdString(d)};
  EXPECT_EQ(editor->entries(), expected);
  EXPECT_EQ(editor->mode(), 0);
  EXPECT_EQ(paths(enginePlaylist()), expected);
  EXPECT_NE(XMMSPlayer::enginePid(), before);
  EXPECT_EQ(w->playlistModel, expected);

  // A song already listed is not added twice, and nothing new leaves the engine alone.
  const pid_t running = XMMSPlayer::enginePid();
  editor->menuSelect(PlayList::AddSongs);
  click(box, 4); // d.wav
  editor->hideWithOk();
  ASSERT_TRUE(waitForRestart());
  EXPECT_EQ(editor->entries(), expected);
  EXPECT_EQ(XMMSPlayer::enginePid(), running);
  editor->hideWithCancel(); // list mode: hides the editor
  EXPECT_FALSE(editor->isVisible());
}

TEST_F(DialogTest, EditorRemovesExactlyTheTickedSongsAndPlaysTheChosenOne) {
  std::vector<std::string> songs;
  for (const char *name : {"s1.wav", "s2.wav", "s3.wav", "s4.wav", "s5.wav"})
    songs.push_back(song("music", name));
  startEngine(songs);
  openWindow();
  w->selectMenumplist(0);
  PlayList *editor = w->playlistEditor;
  ASSERT_NE(editor, nullptr);
  editor->menuSelect(PlayList::RemoveSongs);
  My_ListBox *box = editor->listBox();
  ASSERT_EQ(box->count(), 5u);
  for (int row : {3, 0, 4, 1})
    click(box, row);
  click(box, 1); // untick again
  editor->hideWithOk();
  ASSERT_TRUE(waitForRestart());
  const QStringList left = paths({songs[1], songs[2]});
  EXPECT_EQ(editor->entries(), left);
  EXPECT_EQ(paths(enginePlaylist()), left);
  EXPECT_EQ(readFile(home.path(".xmms/xmms.m3u")), songs[1] + "\n" + songs[2] + "\n");

  // List mode: OK plays the highlighted entry and hides the editor.
  box->setCurrentItem(1);
  editor->okButton()->click();
  ASSERT_TRUE(waitForRestart());
  EXPECT_FALSE(editor->isVisible());
  EXPECT_TRUE(waitUntil([this] { return enginePlaying(); }, 5000));
  EXPECT_EQ(xmms_remote_get_playlist_pos(0), 1);
  EXPECT_EQ(w->title().toStdString(), "2.s3.wav");

  // Changes not yet handed over are written when the editor goes; later files are not
  // overwritten by one that has nothing unsaved.
  auto *second = new PlayList(w.get(), QString::fromStdString(home.path(".xmms/xmms.m3u")));
  EXPECT_EQ(second->addUnique(QString::fromStdString(songs[0])), 3);
  EXPECT_EQ(second->addUnique(QString::fromStdString(songs[0])), 2);
  EXPECT_EQ(second->changes(), 1);
  delete second;
  EXPECT_EQ(readFile(home.path(".xmms/xmms.m3u")),
            songs[1] + "\n" + songs[2] + "\n" + songs[0] + "\n");
  writeFile(home.path(".xmms/xmms.m3u"), songs[4] + "\n");
  w.reset(); // the window's editor had applied everything
  EXPECT_EQ(readFile(home.path(".xmms/xmms.m3u")), songs[4] + "\n");
}

TEST_F(DialogTest, EditorSavesAndDeletesOnlyNamedPlaylistsInThePlaylistFolder) {
  const std::string one = song("music", "one.wav");
  startEngine({one});
  openWindow();
  auto editor =
      std::make_unique<PlayList>(w.get(), QString::fromStdString(home.path(".xmms/xmms.m3u")));

  auto saveAs = [&](const QString &name, QString *message) {
    whenModal<InputDialog>([name, message](InputDialog *d) {
      d->edit()->setText(name);
      if (message)
        answerBox("Ok  ", message);
      d->okButton()->click();
    });
    editor->menuSelect(PlayList::SaveAs);
  };
  for (const QString bad : {"", "   ", "...", "..", ".hidden", "a/b"}) {
    QString message;
    saveAs(bad, &message);
    EXPECT_FALSE(message.isEmpty()) << bad.toStdString();
  }
  EXPECT_TRUE(QDir(QString::fromStdString(home.path("playlist"))).entryList(QDir::Files).isEmpty());
  saveAs(" mine ", nullptr);
  EXPECT_EQ(readFile(home.path("playlist/mine.m3u")), one + "\n");

  // Deleting asks first; a file outside ~/playlist is refused.
  writeFile(home.path("outside.m3u"), one + "\n");
  auto pick = [&](const std::string &folder, const QString &name) {
    whenModal<ViewDialog>([folder, name](ViewDialog *d) {
      FileBrowser *b = d->browser();
      b->setDir(QString::fromStdString(folder));
      for (uint i = 0; i < b->count(); ++i)
        if (b->text(static_cast<int>(i)) == name)
          b->setCurrentItem(static_cast<int>(i));
      d->okButton()->click();
    });
  };
  QString question;
  pick(home.path("playlist"), "mine.m3u");
  answerBox("Cancel  ", &question);
  editor->menuSelect(PlayList::DeletePlaylist);
  EXPECT_TRUE(question.contains("mine"));
  EXPECT_TRUE(fileExists(home.path("playlist/mine.m3u")));
  pick(home.path("playlist"), "mine.m3u");
  answerBox("Delete");
  editor->menuSelect(PlayList::DeletePlaylist);
  EXPECT_FALSE(fileExists(home.path("playlist/mine.m3u")));
  QString refusal;
  pick(home.home(), "outside.m3u");
  answerBox("Ok  ", &refusal);
  editor->menuSelect(PlayList::DeletePlaylist);
  EXPECT_TRUE(refusal.contains("playlist"));
  EXPECT_TRUE(fileExists(home.path("outside.m3u")));
}

TEST_F(DialogTest, AboutOkOnlyClosesAndCancelOpensTheReadmeInGbk) {
  openWindow();
  auto viewers = [] {
    int n = 0;
    for (QWidget *top : QApplication::topLevelWidgets())
      n += qobject_cast<XreadmeWidget *>(top) && top->isVisible();
    return n;
  };
  QString text;
  answerBox("Ok  ", &text);
  w->sltAbout();
  EXPECT_TRUE(text.contains("velora V3.20"));
  EXPECT_TRUE(text.contains("E6") && text.contains("A1200"));
  EXPECT_TRUE(text.contains("GPL-2.0-or-later")); // the licence velora is given under
  EXPECT_EQ(viewers(), 0);

  // The shipped readme of a first start, then one of the user's own in GBK.
  firststart::seedHome(QString::fromStdString(home.home()),
                       QString::fromStdString(stageDir() + "/share/velora"));
  auto openViewer = [&] {
    answerBox("Cancel  ");
    w->sltAbout();
    XreadmeWidget *viewer = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets())
      if (auto *v = qobject_cast<XreadmeWidget *>(top); v && v->isVisible())
        viewer = v;
    return viewer;
  };
  QPointer<XreadmeWidget> viewer = openViewer();
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(viewer->textField()->text().startsWith("velora - readme"));
  viewer->backButton()->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(viewer.isNull());

  writeFile(home.path("readme"), "\xc4\xe3\xba\xc3, velora\n"); // GBK for "ni hao"
  viewer = openViewer();
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(viewer->textField()->text(), QString::fromUtf8("\xe4\xbd\xa0\xe5\xa5\xbd, velora\n"));
  viewer->doCancel();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(viewer.isNull());
}
