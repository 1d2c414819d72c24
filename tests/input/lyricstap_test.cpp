// Timing plain lyrics by tapping, against a real engine playing in real time: taps and Enter at
// known song times end up in the .lrc written beside the song, Back takes a stamp back, a drag
// moves the last stamp, the old .lrc is kept as .lrc.bak, and leaving with unsaved stamps asks.
#include "inputfixture.h"

#include "dialogs/filebrowser.h"
#include "dialogs/viewdialog.h"
#include "guiapp.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <xmms/xmmsctrl.h>

using namespace velora::test;

namespace {
const std::string kBand = "lrcwin_show=0,170,240,110,0,600\n";

int outputMs() { return xmms_remote_get_output_time(0); }

// Answers the next question box with the button captioned `caption`, once it shows.
void answerWith(const QString &caption) {
  QTimer::singleShot(50, [caption] {
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box) {
      answerWith(caption);
      return;
    }
    for (QAbstractButton *b : box->buttons())
      if (b->text() == caption)
        b->click();
  });
}

// Waits for a song time, then acts and returns the time stamped: within the engine's own time
// just before and just after the act.
template <class Act> std::pair<int, int> at(int ms, Act act) {
  EXPECT_TRUE(waitUntil([ms] { return outputMs() >= ms; }, 15000)) << ms;
  const int before = outputMs();
  act();
  return {before, outputMs()};
}
} // namespace

// The window on the lyrics panel, playing the first of songs, its lyrics (if any) read.
class TimingTest : public InputTest {
protected:
  bool playWithLyricsPanel(const std::vector<std::string> &songs) {
    startEngine(songs);
    openWindow(kBand);
    lyricsPanelShown = true;
    playlistPanelShown = equalizerPanelShown = false;
    showLyrics = true;
    player->playAt(0);
    if (!waitPlaying())
      return false;
    playingFlag = true;
    w->lastPosition = -1;
    w->doCheckTimer();
    return true;
  }
};

TEST_F(InputTest, TimingLyricsByTappingWritesTheTapTimes) {
  const std::string a = song("a.wav", 40);
  writeFile(home.path("music/a.txt"), "first line\n\n  second line\nthird line\n");
  const std::string old = "[00:01.00]old lyrics\n";
  writeFile(home.path("music/a.lrc"), old);
  startEngine({a});
  openWindow(kBand);
  lyricsPanelShown = true;
  playlistPanelShown = equalizerPanelShown = false;
  showLyrics = true;
  player->playAt(0);
  ASSERT_TRUE(waitPlaying());
  playingFlag = true;
  ASSERT_TRUE(waitUntil([] { return outputMs() >= 2500; }, 10000));
  w->lastPosition = -1;
  w->doCheckTimer();
  ASSERT_TRUE(lyricsLoaded);
  ASSERT_EQ(w->lyrics.lyricLines.value(1).text, "old lyrics");

  // The entry starts the mode on the text beside the song, from the song's start.
  w->timeLyrics();
  ASSERT_TRUE(w->timing.active());
  EXPECT_EQ(w->timing.lines(), QStringList({"first line", "second line", "third line"}));
  EXPECT_TRUE(waitUntil([] { return outputMs() < 2000; }, 5000)) << outputMs();
  EXPECT_EQ(w->title(), "Timing 1/3");

  const auto first = at(1000, [&] { tap(120, 180); }); // anywhere on the band, off the middle
  EXPECT_EQ(w->timing.waiting(), 1);
  EXPECT_EQ(w->title(), "Timing 2/3");
  // Enter stamps too; Back takes it back and the line waits again.
  at(1800, [&] { key(Qt::Key_Return, true), key(Qt::Key_Return, false); });
  EXPECT_EQ(w->timing.waiting(), 2);
  key(Qt::Key_Backspace, true);
  key(Qt::Key_Backspace, false);
  EXPECT_EQ(w->timing.waiting(), 1);
  EXPECT_EQ(w->timing.stampOf(1), -1);
  const auto second = at(2600, [&] { key(Qt::Key_Return, true), key(Qt::Key_Return, false); });
  // A drag of 16 pixels down moves that line two tenths later.
  const qint64 stamped = w->timing.stampOf(1);
  press(120, 200);
  move(120, 210);
  move(120, 216);
  release(120, 216);
  EXPECT_EQ(w->timing.stampOf(1), stamped + 200);
  EXPECT_EQ(w->timing.waiting(), 2);
  // The last line's tap writes the file and ends the mode.
  const auto third = at(4200, [&] { tap(120, 240); });
  EXPECT_FALSE(w->timing.active());

  const std::string written = readFile(home.path("music/a.lrc"));
  ASSERT_EQ(written.substr(0, 3), "\xEF\xBB\xBF") << written;
  EXPECT_EQ(readFile(home.path("music/a.lrc.bak")), old);
  LyricsReader r;
  ASSERT_EQ(r.parseLyricsFile(QString::fromStdString(home.path("music/a.lrc")), false), 0);
  ASSERT_EQ(r.lyricLines.size(), 5) << written;
  const std::pair<int, int> taps[] = {first, {second.first + 200, second.second + 200}, third};
  const char *texts[] = {"first line", "second line", "third line"};
  for (int i = 0; i < 3; ++i) {
    const double ms = r.lyricLines[i + 1].time * 1000;
    EXPECT_EQ(r.lyricLines[i + 1].text, texts[i]);
    EXPECT_GE(ms, taps[i].first - 50) << i << "\n" << written;
    EXPECT_LE(ms, taps[i].second + 50) << i << "\n" << written;
  }
  // Shown at once: the window's lyrics are the new file.
  EXPECT_TRUE(lyricsLoaded);
  EXPECT_EQ(w->lyrics.lyricLines.value(1).text, "first line");
  EXPECT_FALSE(w->title().startsWith("Timing")) << w->title().toStdString();

  // Leaving with an unsaved stamp asks: Cancel stays, Discard leaves the file as it was.
  w->timeLyrics();
  ASSERT_TRUE(w->timing.active());
  at(500, [&] { tap(120, 240); });
  answerWith("Cancel");
  w->timeLyrics();
  EXPECT_TRUE(w->timing.active());
  answerWith("Discard");
  w->timeLyrics();
  EXPECT_FALSE(w->timing.active());
  EXPECT_EQ(readFile(home.path("music/a.lrc")), written);
  // Save writes what was tapped; the file before it becomes the backup.
  w->timeLyrics();
  at(700, [&] { tap(120, 240); });
  answerWith("Save");
  w->timeLyrics();
  EXPECT_FALSE(w->timing.active());
  EXPECT_EQ(readFile(home.path("music/a.lrc.bak")), written);
  // The lyrics the user had before any timing are still there, under a numbered name.
  EXPECT_EQ(readFile(home.path("music/a.lrc.bak.1")), old);
  const std::string partial = readFile(home.path("music/a.lrc"));
  EXPECT_NE(partial.find("first line"), std::string::npos);
  EXPECT_NE(partial.find("]first line"), std::string::npos) << "the tapped line has its time";
  EXPECT_EQ(partial.find("]second line"), std::string::npos) << "untapped lines have no time";

  // Without a text beside the song, an .lrc holding no time at all is the text to time.
  QFile::remove(QString::fromStdString(home.path("music/a.txt")));
  writeFile(home.path("music/a.lrc"), "[ti:Song]\nplain one\nplain two\n");
  w->lastPosition = -1;
  w->doCheckTimer();
  w->timeLyrics();
  ASSERT_TRUE(w->timing.active());
  EXPECT_EQ(w->timing.lines(), QStringList({"plain one", "plain two"}));
  w->timeLyrics(); // nothing tapped: it leaves without asking
  EXPECT_FALSE(w->timing.active());
  playingFlag = false;
}

TEST_F(TimingTest, EndsWithOneQuestionWhenTheSongMovesOn) {
  const std::string a = song("a.wav", 40);
  const std::string b = song("b.wav", 40);
  writeFile(home.path("music/a.txt"), "first line\nsecond line\n");
  ASSERT_TRUE(playWithLyricsPanel({a, b}));
  w->timeLyrics();
  ASSERT_TRUE(w->timing.active());
  at(500, [&] { tap(120, 240); });
  ASSERT_EQ(w->timing.waiting(), 1);

  // The next song starts while a stamp is unsaved: one question, with nothing to stay for. A
  // user who wants to stay presses Cancel where it is offered.
  int questions = 0;
  QStringList offered;
  QTimer answering;
  answering.setInterval(50);
  QObject::connect(&answering, &QTimer::timeout, [&] {
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box)
      return;
    ++questions;
    offered.clear();
    QAbstractButton *choice = nullptr;
    for (QAbstractButton *button : box->buttons()) {
      offered << button->text();
      if (button->text() == "Discard" && !choice)
        choice = button;
      if (button->text() == "Cancel")
        choice = button;
    }
    if (choice)
      choice->click();
  });
  player->playAt(1);
  ASSERT_TRUE(waitUntil([] { return xmms_remote_get_playlist_pos(0) == 1; }, 10000));
  answering.start();
  w->doCheckTimer(); // every question it asks is answered inside
  answering.stop();
  EXPECT_EQ(questions, 1) << offered.join(", ").toStdString();
  EXPECT_FALSE(offered.contains("Cancel")) << offered.join(", ").toStdString();
  EXPECT_FALSE(w->timing.active());
  EXPECT_FALSE(fileExists(home.path("music/a.lrc"))) << "discarded stamps are not written";
  EXPECT_TRUE(w->title().startsWith("2.")) << w->title().toStdString();
  playingFlag = false;
}

TEST_F(TimingTest, WithoutATextOffersAPickerNamedForIt) {
  const std::string a = song("a.wav", 40);
  writeFile(home.path("music/words.txt"), "picked one\npicked two\n");
  ASSERT_TRUE(playWithLyricsPanel({a}));
  ASSERT_FALSE(lyricsLoaded);
  // "Save lyrics" in both menus is offered only while there are stamps to save.
  auto saveOffered = [&](QPopupMenu *menu) {
    emit menu->aboutToShow();
    for (int i = 0; i < menu->count(); ++i)
      if (menu->text(menu->idAt(i)) == "Save lyrics")
        return menu->isItemEnabled(menu->idAt(i));
    ADD_FAILURE() << "no Save lyrics entry";
    return false;
  };
  EXPECT_FALSE(saveOffered(w->mainMenu));
  EXPECT_FALSE(saveOffered(w->fontMenu));

  // No text beside the song: the user picks one, under a heading that says what is picked.
  QStringList headings;
  QTimer picking;
  picking.setInterval(50);
  QObject::connect(&picking, &QTimer::timeout, [&] {
    auto *dialog = qobject_cast<ViewDialog *>(QApplication::activeModalWidget());
    if (!dialog)
      return;
    for (QLabel *label : dialog->findChildren<QLabel *>())
      headings << label->text();
    dialog->browser()->setCurrentItem(dialog->browser()->count() - 1);
    dialog->returned();
  });
  picking.start();
  w->timeLyrics();
  picking.stop();
  EXPECT_TRUE(headings.contains("Lyrics text")) << headings.join("|").toStdString();
  EXPECT_FALSE(headings.join("|").contains("Open Folder")) << headings.join("|").toStdString();
  ASSERT_TRUE(w->timing.active());
  EXPECT_EQ(w->timing.lines(), QStringList({"picked one", "picked two"}));
  EXPECT_TRUE(saveOffered(w->mainMenu));
  EXPECT_TRUE(saveOffered(w->fontMenu));
  w->timeLyrics(); // nothing tapped: it leaves without asking
  EXPECT_FALSE(w->timing.active());
  EXPECT_FALSE(saveOffered(w->mainMenu));
  playingFlag = false;
}
