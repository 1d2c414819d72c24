// The file browser and the two small dialogs built on it: listing rules, what highlighting
// reports, entering folders, the name filter of the input dialog, the folder view's answer.
#include "dialogs/filebrowser.h"
#include "dialogs/inputdialog.h"
#include "dialogs/viewdialog.h"
#include "guiapp.h"
#include "sharedir.h"
#include "testenv.h"
#include "util_pushbutton.h"
#include "zmultilineedit.h"
#include "zpushbutton.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace velora::test;

namespace {

QStringList entries(const FileBrowser &b) {
  QStringList list;
  for (uint i = 0; i < b.count(); ++i)
    list << b.text(static_cast<int>(i));
  return list;
}

// Every signal of the browser, in the order emitted, as "name(argument)".
struct Recorder {
  explicit Recorder(FileBrowser &b) {
    QObject::connect(&b, &FileBrowser::picked,
                     [this](const QString &p) { log << "picked(" + p + ")"; });
    QObject::connect(&b, &FileBrowser::isFilePicked,
                     [this](bool on) { log << QString("file(%1)").arg(on); });
    QObject::connect(&b, &FileBrowser::isDirPicked,
                     [this](bool on) { log << QString("dir(%1)").arg(on); });
    QObject::connect(&b, &FileBrowser::dirpicked,
                     [this](const QString &p) { log << "dirpicked(" + p + ")"; });
    QObject::connect(&b, &FileBrowser::isFileClicked,
                     [this](bool on) { log << QString("clicked(%1)").arg(on); });
  }
  QStringList log;
};

} // namespace

TEST(FileBrowser, ListsFoldersThenMatchingFilesAndReportsTheHighlight) {
  guiApp();
  setVeloraShareDir(QString::fromStdString(stageDir() + "/share/velora"));
  TempHome home;
  const std::string top = home.path("top");
  for (const char *f : {"song.MP3", ".hidden.mp3", "notes.txt", "b.ogg", "Zeta/inner.mp3",
                        "alpha.dir/x", ".cache/y"})
    writeFile(top + "/" + f, "x");
  const QString canonicalTop = QFileInfo(QString::fromStdString(top)).canonicalFilePath();

  FileBrowser b("*.mp3 *.ogg");
  ASSERT_TRUE(b.setDir(QString::fromStdString(top) + "/./"));
  EXPECT_EQ(b.currentDir(), canonicalTop);
  // ".." first, folders whatever the filter (hidden ones too), then matching files, hidden ones
  // included, each group by name ignoring case.
  EXPECT_EQ(entries(b),
            (QStringList{"..", ".cache", "alpha.dir", "Zeta", ".hidden.mp3", "b.ogg", "song.MP3"}));
  EXPECT_NE(b.pixmap(0), nullptr); // folder and file icons from the icon set

  Recorder r(b);
  b.setCurrentItem(6); // a file
  EXPECT_EQ(r.log, (QStringList{"picked(" + canonicalTop + "/song.MP3)", "file(1)", "dir(0)"}));
  EXPECT_EQ(b.currentFile(), canonicalTop + "/song.MP3");
  r.log.clear();
  b.setCurrentItem(3); // then a folder
  EXPECT_EQ(r.log, (QStringList{"file(0)", "dirpicked(" + canonicalTop + "/Zeta)", "dir(1)"}));
  EXPECT_EQ(b.currentFile(), QString());
  EXPECT_EQ(b.pickedDir(), canonicalTop + "/Zeta");

  // Selecting a folder enters it; selecting ".." goes back to the canonical parent.
  r.log.clear();
  b.itemSelected(3);
  EXPECT_EQ(b.currentDir(), canonicalTop + "/Zeta");
  EXPECT_EQ(entries(b), (QStringList{"..", "inner.mp3"}));
  EXPECT_EQ(r.log, QStringList{"clicked(0)"});
  b.itemSelected(0);
  EXPECT_EQ(b.currentDir(), canonicalTop);
  // Selecting a file keeps the folder and reports it.
  r.log.clear();
  b.itemSelected(5);
  EXPECT_EQ(b.currentDir(), canonicalTop);
  EXPECT_EQ(r.log, QStringList{"clicked(1)"});
  EXPECT_EQ(b.currentFile(), canonicalTop + "/b.ogg");

  // A tap enters a folder once the list has finished handling it; a tap on a file does not.
  emit b.clicked(b.item(2)); // "alpha.dir"
  EXPECT_EQ(b.currentDir(), canonicalTop);
  EXPECT_TRUE(spinUntil([&] { return b.currentDir() == canonicalTop + "/alpha.dir"; }));
  b.setDir(canonicalTop);
  emit b.clicked(b.item(6));
  spinFor(50);
  EXPECT_EQ(b.currentDir(), canonicalTop);
  // A tap queued before the list changed does not act on the new list.
  emit b.clicked(b.item(3)); // "Zeta", then the list is replaced
  b.setDir(canonicalTop + "/alpha.dir");
  spinFor(50);
  EXPECT_EQ(b.currentDir(), canonicalTop + "/alpha.dir");

  // A folder that cannot be listed leaves everything as it was.
  const QStringList before = entries(b);
  EXPECT_FALSE(b.setDir(QString::fromStdString(home.path("missing"))));
  EXPECT_FALSE(b.setDir(canonicalTop + "/notes.txt"));
  EXPECT_EQ(entries(b), before);
  EXPECT_EQ(b.currentDir(), canonicalTop + "/alpha.dir");
}

TEST(FileBrowser, AtTheRootThereIsNoParentAndEveryEntryIsAPickedFolder) {
  guiApp();
  FileBrowser b("*.nothing-matches-this");
  ASSERT_TRUE(b.setDir("/"));
  EXPECT_EQ(b.currentDir(), "/");
  ASSERT_GT(b.count(), 0u);
  EXPECT_FALSE(entries(b).contains(".."));
  Recorder r(b);
  const QString first = b.text(0);
  b.setCurrentItem(0);
  EXPECT_EQ(b.pickedDir(), "/" + first);
  ASSERT_FALSE(r.log.isEmpty());
  EXPECT_EQ(r.log.last(), "dir(1)");
  EXPECT_EQ(b.entryPath(0), "/" + first); // no doubled separator
}

TEST(InputDialog, RefusesFileNameBreakersAndAnswersWithTheName) {
  guiApp();
  InputDialog d(nullptr, "Make Directory");
  EXPECT_EQ(d.objectName(), "Make Directory");
  EXPECT_EQ(d.windowTitle(), "Make Directory");
  EXPECT_EQ(d.width(), 240);
  d.show();
  QTest::keyClicks(d.edit(), "a/b:c?d*e\\f<g>h\"i. 1");
  EXPECT_EQ(d.edit()->text(), "abcdefghi. 1");
  for (QChar c : QString("/:?*\\<>\"\n\r"))
    EXPECT_FALSE(d.edit()->accepts(c)) << QString(c).toStdString();
  EXPECT_TRUE(d.edit()->accepts(QChar(0x4e00))); // any other character, Chinese ones too
  d.okButton()->click();
  EXPECT_EQ(d.result(), "abcdefghi. 1");
  EXPECT_EQ(d.QDialog::result(), QDialog::Accepted);

  // Enter answers too; cancel answers nothing.
  InputDialog e(nullptr, nullptr);
  EXPECT_EQ(e.objectName(), "InputDialog");
  e.show();
  QTest::keyClicks(e.edit(), "mix");
  QTest::keyClick(e.edit(), Qt::Key_Return);
  EXPECT_EQ(e.result(), "mix");
  EXPECT_EQ(e.QDialog::result(), QDialog::Accepted);
  InputDialog f(nullptr, "x");
  f.show();
  QTest::keyClicks(f.edit(), "gone");
  f.cancelButton()->click();
  EXPECT_EQ(f.QDialog::result(), QDialog::Rejected);
  EXPECT_EQ(f.result(), QString());
}

TEST(ViewDialog, OkAnswersTheHighlightedFileOrNothingOnAFolder) {
  guiApp();
  TempHome home;
  writeFile(home.path("lists/road.m3u"), "x");
  writeFile(home.path("lists/old/x.m3u"), "x");
  writeFile(home.path("lists/readme.txt"), "x");
  const QString lists = QFileInfo(QString::fromStdString(home.path("lists"))).canonicalFilePath();

  ViewDialog d(nullptr, "*.m3u");
  EXPECT_EQ(d.objectName(), "*.m3u");
  FileBrowser *b = d.browser();
  EXPECT_EQ(b->objectName(), "browser");
  ASSERT_TRUE(b->setDir(lists));
  EXPECT_EQ(entries(*b), (QStringList{"..", "old", "road.m3u"}));
  d.show();
  b->setCurrentItem(2);
  d.okButton()->click();
  EXPECT_EQ(d.QDialog::result(), QDialog::Accepted);
  EXPECT_EQ(d.result(), lists + "/road.m3u");

  ViewDialog e(nullptr, "*.m3u");
  e.browser()->setDir(lists);
  e.show();
  e.browser()->setCurrentItem(2);
  e.browser()->setCurrentItem(1); // the highlight ends on a folder
  e.okButton()->click();
  EXPECT_EQ(e.QDialog::result(), QDialog::Accepted);
  EXPECT_EQ(e.result(), QString());

  ViewDialog f(nullptr, "*.m3u");
  f.browser()->setDir(lists);
  f.show();
  f.backButton()->click();
  EXPECT_EQ(f.QDialog::result(), QDialog::Rejected);
  EXPECT_TRUE(f.isHidden());
}
