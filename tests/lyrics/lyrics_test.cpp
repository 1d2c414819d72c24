#include "lcdsleep.h"
#include "lyrics.h"
#include "lyricstestutil.h"
#include "testenv.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QTextCodec>
#include <gtest/gtest.h>
#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/synchronizedlyricsframe.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>

#include <cstdio>
#include <sys/stat.h>

using velora::test::TempHome;
using velora::test::writeFile;

namespace {

QStringList captured;
void captureMessage(QtMsgType, const QMessageLogContext &, const QString &text) {
  captured << text;
}

// Collects the Qt warnings printed while it lives.
struct WarningCapture {
  QtMessageHandler old;
  WarningCapture() {
    captured.clear();
    old = qInstallMessageHandler(captureMessage);
  }
  ~WarningCapture() { qInstallMessageHandler(old); }
};

} // namespace

TEST(Lyrics, ParsesTagsTimesAndOrder) {
  TempHome home;
  const std::string path = home.path("song.lrc");
  writeFile(path, "[ti:The Title]\n"
                  "[ar:Someone]\r\n"
                  "[al:Album:Two]\n"
                  "   \n"
                  "no tag here\n"
                  "[00:12.00][00:45.50]Chorus\n"
                  "[00:05.00] Hello\n"
                  "[12]Text\n"
                  "[offset:300]\n"
                  "[00:00.00]Start\n"
                  "[00:12]Same time, read later\n"
                  "[01:02.50]tail[00:99]not a tag\n"
                  "[1:2]short form\n"
                  "[00:30.00][]after empty[00:31]kept\n"
                  "[00:40.00][unclosed\n"
                  "[xx:10]bad minutes\n");
  LyricsReader r;
  WarningCapture warnings;
  ASSERT_EQ(r.parseLyricsFile(q(path), false), 0);
  expectSentinels(r);

  EXPECT_EQ(r.lyricTags[LyricsReader::Title], "The Title");
  EXPECT_EQ(r.lyricTags[LyricsReader::Artist], "Someone");
  EXPECT_EQ(r.lyricTags[LyricsReader::Album], "Album"); // up to the next ':'
  EXPECT_TRUE(r.lyricTags[LyricsReader::Author].isEmpty());

  struct Want {
    double time;
    const char *text;
  } want[] = {{0.0, ""}, // "[offset:300]": every line 0.3 s earlier, none before the start
              {0.0, "Start"},
              {4.7, " Hello"},
              {11.7, "Chorus"}, // with "Same time, read later" as its second row
              {29.7, "after empty[00:31]kept"},
              {39.7, "[unclosed"},
              {45.2, "Chorus"},
              {61.7, "short form"},
              {62.2, "tail[00:99]not a tag"},
              {731.7, "Text"},
              {268435455.0, ""}};
  ASSERT_EQ(r.lyricLines.size(), int(std::size(want)));
  for (size_t i = 0; i < std::size(want); ++i) {
    EXPECT_DOUBLE_EQ(r.lyricLines[i].time, want[i].time) << "entry " << i;
    EXPECT_EQ(r.lyricLines[i].text, QString::fromUtf8(want[i].text)) << "entry " << i;
  }

  // Lines that share a time are one entry: the first read is the sung row, the other its
  // translation, in reading order.
  ASSERT_EQ(r.lyricLines[3].more.size(), 1);
  EXPECT_EQ(r.lyricLines[3].more[0].text, "Same time, read later");
  EXPECT_EQ(r.lyricLines[3].rowCount(), 2);

  EXPECT_TRUE(captured.contains("unKnown section: xx -- 10\n"));
  EXPECT_EQ(captured.size(), 1) << captured.join("|").toStdString(); // the offset tag is known

  // At play time 0 the lyric that starts at 0.0 is current, not the empty opening entry.
  EXPECT_EQ(r.lineAt(0.0), 1);
  EXPECT_EQ(r.lineAt(4.69), 1);
  EXPECT_EQ(r.lineAt(12.0), 3);
  EXPECT_EQ(r.lineAt(1e12), r.lyricLines.size() - 1);
  EXPECT_EQ(r.lineAt(-3.0), 0);
}

TEST(Lyrics, TimesThatWouldDisplaceTheEndEntriesAreRefused) {
  TempHome home;
  const std::string path = home.path("t.lrc");
  writeFile(path, "[-1:00]negative\n[99999999:00]far\n[00:nan]nan\n[00:inf]inf\n[00:01]ok\n");
  LyricsReader r;
  WarningCapture warnings;
  ASSERT_EQ(r.parseLyricsFile(q(path), false), 0);
  expectSentinels(r);
  ASSERT_EQ(r.lyricLines.size(), 3);
  EXPECT_EQ(r.lyricLines[1].text, "ok");
  EXPECT_EQ(captured.size(), 4);
}

TEST(Lyrics, CandidateNamesAndFallbackForLongExtensions) {
  const QString exts[] = {"lrc", "LRC", "Lrc", "LRc", "lRC", "lrC", "LrC", "lRc"};
  QStringList want;
  for (const QString &e : exts)
    want << "/mmc/mmca1/x." + e;
  EXPECT_EQ(LyricsReader::candidateNames("/mmc/mmca1/x.mp3"), want);

  QStringList flac;
  for (const QString &e : exts)
    flac << "/a/b.f" + e;
  for (const QString &e : exts)
    flac << "/a/b." + e;
  EXPECT_EQ(LyricsReader::candidateNames("/a/b.flac"), flac);
  // A dot in a folder name is no extension.
  EXPECT_EQ(LyricsReader::candidateNames("/a.b/song").size(), 8);

  TempHome home;
  velora::test::makeDirs(home.path("m"));
  // Only x.LRC: found after x.lrc was not.
  writeFile(home.path("m/x.LRC"), "[00:01]upper\n");
  writeFile(home.path("m/x.lRc"), "[00:01]last variant\n");
  LyricsReader r;
  EXPECT_TRUE(r.loadLyrics(q(home.path("m/x.mp3")), false));
  EXPECT_EQ(r.loadedFile(), q(home.path("m/x.LRC")));
  EXPECT_EQ(r.lyricLines[1].text, "upper");

  // A .flac song finds song.lrc through the fallback, but the historical name wins.
  writeFile(home.path("m/y.lrc"), "[00:02]plain\n");
  EXPECT_TRUE(r.loadLyrics(q(home.path("m/y.flac")), false));
  EXPECT_EQ(r.lyricLines[1].text, "plain");
  writeFile(home.path("m/y.flrc"), "[00:02]old name\n");
  EXPECT_TRUE(r.loadLyrics(q(home.path("m/y.flac")), false));
  EXPECT_EQ(r.lyricLines[1].text, "old name");

  // No candidate: empty table, nothing loaded, no message.
  WarningCapture warnings;
  EXPECT_FALSE(r.loadLyrics(q(home.path("m/none.ogg")), false));
  EXPECT_TRUE(r.lyricLines.isEmpty());
  EXPECT_TRUE(r.loadedFile().isEmpty());
  EXPECT_TRUE(captured.isEmpty());

  // A folder named like a lyrics file is not a file.
  velora::test::makeDirs(home.path("m/d.lrc"));
  EXPECT_FALSE(r.loadLyrics(q(home.path("m/d.mp3")), false));
}

// Run where file permissions hold (root reads every file): 0 when the reader said so and kept
// nothing.
int readUnreadable(void *arg) {
  const auto *home = static_cast<const TempHome *>(arg);
  LyricsReader r;
  WarningCapture warnings;
  if (r.loadLyrics(q(home->path("z.mp3")), false) || !r.lyricLines.isEmpty())
    return 2;
  return captured == QStringList{"Can't open " + q(home->path("z.lrc")) + "\n"} ? 0 : 3;
}

TEST(Lyrics, UnreadableFileWarnsAndLoadsNothing) {
  TempHome home;
  const std::string path = home.path("z.lrc");
  writeFile(path, "[00:01]secret\n");
  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  ASSERT_EQ(chmod(home.root().c_str(), 0755), 0);
  ASSERT_EQ(chmod(home.home().c_str(), 0755), 0);
  const int result = velora::test::runUnprivileged(readUnreadable, &home);
  if (result < 0)
    GTEST_SKIP() << "running as root and cannot drop to an unprivileged user";
  EXPECT_EQ(result, 0) << "2: something was loaded, 3: not reported exactly once";
}

TEST(Lyrics, MissingFileParseReportsIt) {
  LyricsReader r;
  WarningCapture warnings;
  EXPECT_EQ(r.parseLyricsFile("/nonexistent/velora/x.lrc", false), -1);
  EXPECT_TRUE(r.lyricLines.isEmpty());
  EXPECT_EQ(captured, QStringList{"Can't open /nonexistent/velora/x.lrc\n"});
}

TEST(Lyrics, DecodesGbkBig5AndUtf8) {
  TempHome home;
  const QString niHao = QString::fromUtf8("\xE4\xBD\xA0\xE5\xA5\xBD"); // 你好
  LyricsReader r;

  // GBK bytes of the two characters, read with the switch off.
  writeFile(home.path("g.lrc"), "[ar:\xC4\xE3]\n[00:01.00]\xC4\xE3\xBA\xC3\n");
  ASSERT_EQ(r.parseLyricsFile(q(home.path("g.lrc")), false), 0);
  EXPECT_EQ(r.lyricLines[1].text, niHao);
  EXPECT_EQ(r.lyricTags[LyricsReader::Artist], niHao.left(1));
  // The same bytes with the switch on are Big5, which gives other characters.
  ASSERT_EQ(r.parseLyricsFile(q(home.path("g.lrc")), true), 0);
  QTextCodec *big5 = QTextCodec::codecForName("Big5");
  ASSERT_NE(big5, nullptr);
  EXPECT_EQ(r.lyricLines[1].text, big5->toUnicode("\xC4\xE3\xBA\xC3"));
  EXPECT_NE(r.lyricLines[1].text, niHao);

  // Big5 bytes of the same characters, read with the switch on.
  writeFile(home.path("b.lrc"), "[00:01.00]\xA7\x41\xA6\x6E\n");
  ASSERT_EQ(r.parseLyricsFile(q(home.path("b.lrc")), true), 0);
  EXPECT_EQ(r.lyricLines[1].text, niHao);

  // UTF-8 without a mark, whichever the switch says.
  writeFile(home.path("u.lrc"), "[00:01.00]\xE4\xBD\xA0\xE5\xA5\xBD caf\xC3\xA9\n");
  for (bool sw : {false, true}) {
    ASSERT_EQ(r.parseLyricsFile(q(home.path("u.lrc")), sw), 0);
    EXPECT_EQ(r.lyricLines[1].text, niHao + QString::fromUtf8(" caf\xC3\xA9"));
  }
  // UTF-8 with a byte-order mark: the mark is dropped, so the first line's tag is still seen.
  writeFile(home.path("m.lrc"), "\xEF\xBB\xBF[00:03.00]\xE4\xBD\xA0\n");
  ASSERT_EQ(r.parseLyricsFile(q(home.path("m.lrc")), false), 0);
  ASSERT_EQ(r.lyricLines.size(), 3);
  EXPECT_EQ(r.lyricLines[1].text, niHao.left(1));
  EXPECT_DOUBLE_EQ(r.lyricLines[1].time, 3.0);
  // A mark followed by nothing valid as UTF-8 still counts as UTF-8 (no GBK guess).
  EXPECT_EQ(LyricsReader::decodeLyrics("\xEF\xBB\xBF"
                                       "abc",
                                       false),
            "abc");
  // Bytes that break UTF-8 half way go to GBK as a whole.
  EXPECT_EQ(LyricsReader::decodeLyrics("\xE4\xBD\xA0\xC4\xE3", false),
            QTextCodec::codecForName("GBK")->toUnicode("\xE4\xBD\xA0\xC4\xE3"));
}

TEST(Lyrics, LargeAndHostileFilesLoad) {
  TempHome home;
  // 100 000 lines, written out of order so that the table really has to be ordered.
  std::string big;
  big.reserve(3'000'000);
  char buf[64];
  for (int i = 0; i < 100000; ++i) {
    const int t = (i * 7919) % 100000; // a permutation of 0..99999
    std::snprintf(buf, sizeof buf, "[%d:%02d.%02d]line %d\n", t / 6000, (t / 100) % 60, t % 100, t);
    big += buf;
  }
  writeFile(home.path("big.lrc"), big);
  LyricsReader r;
  QElapsedTimer clock;
  clock.start();
  ASSERT_EQ(r.parseLyricsFile(q(home.path("big.lrc")), false), 0);
  const qint64 bigMs = clock.elapsed();
  ASSERT_EQ(r.lyricLines.size(), 100002);
  expectSentinels(r);
  EXPECT_EQ(r.lyricLines[1].text, "line 0");
  EXPECT_EQ(r.lyricLines[100000].text, "line 99999");
  EXPECT_EQ(r.lineAt(500.005), 50001);

  // One line of 1 MB text, one of 1 MB of time tags, one of 1 MB of unknown tags, one unclosed.
  std::string huge = "[00:01]" + std::string(1 << 20, 'x') + "\n";
  std::string tags;
  for (int i = 0; tags.size() < (1u << 20); ++i)
    tags += "[00:02]";
  huge += tags + "many\n";
  std::string junk;
  while (junk.size() < (1u << 20))
    junk += "[a:b]";
  huge += junk + "junk\n[" + std::string(1 << 20, 'y') + "\n";
  writeFile(home.path("huge.lrc"), huge);
  WarningCapture warnings;
  clock.restart();
  ASSERT_EQ(r.parseLyricsFile(q(home.path("huge.lrc")), false), 0);
  const qint64 hugeMs = clock.elapsed();
  expectSentinels(r);
  EXPECT_EQ(r.lyricLines[1].text, QString(LyricsReader::maxTextLength, 'x'));
  // The many times of one line are all one time: one entry, its repeats no further rows.
  EXPECT_EQ(r.lyricLines.size(), 2 + 1 + 1);
  EXPECT_EQ(r.lyricLines[2].text, "many");
  EXPECT_EQ(r.lyricLines[2].rowCount(), 1);
  // Warnings are capped, with one closing line that counts the rest.
  EXPECT_EQ(captured.size(), LyricsReader::maxWarningsPerFile + 1);
  std::printf("[ timing ] 100000 lines: %lld ms; 4 lines of 1 MB: %lld ms\n",
              static_cast<long long>(bigMs), static_cast<long long>(hugeMs));
}

TEST(Lyrics, LcdsleepRunsOnlyFromHomeWithoutAShell) {
  TempHome home;
  const QString h = q(home.home());
  // Missing: nothing happens (and nothing is printed).
  lcdsleep::run(h, true);

  const std::string log = home.path("args.log");
  writeFile(home.path("lcdsleep"), "#!/bin/sh\necho \"$@\" >> '" + log + "'\n");
  lcdsleep::run(h, true);
  EXPECT_FALSE(velora::test::fileExists(log)) << "ran a file that is not executable";
  chmod(home.path("lcdsleep").c_str(), 0755);
  lcdsleep::run(h, true);
  lcdsleep::run(h, false);
  EXPECT_EQ(velora::test::readFile(log), "0\n-r\n");

  // A home path with shell characters is just a path.
  const std::string odd = home.path("a b;touch x");
  velora::test::makeDirs(odd);
  writeFile(odd + "/lcdsleep", "#!/bin/sh\necho odd \"$@\" >> '" + log + "'\n");
  chmod((odd + "/lcdsleep").c_str(), 0755);
  lcdsleep::run(q(odd), false);
  EXPECT_EQ(velora::test::readFile(log), "0\n-r\nodd -r\n");
  EXPECT_FALSE(velora::test::fileExists(home.path("x")));
}

TEST(Lyrics, ShortGbkIsNotTakenForUtf8AndUtf16WithAMarkIsRead) {
  TempHome home;
  LyricsReader r;
  // One GBK character whose two bytes happen to form valid UTF-8 ("Ů"): still GBK.
  writeFile(home.path("one.lrc"), "[ti:\xC5\xAE]\n[00:01.00]\xC5\xAE\n");
  ASSERT_EQ(r.parseLyricsFile(q(home.path("one.lrc")), false), 0);
  EXPECT_EQ(r.lyricLines[1].text, QString::fromUtf8("\xE5\xA5\xB3")); // 女
  EXPECT_EQ(r.lyricTags[LyricsReader::Title], QString::fromUtf8("\xE5\xA5\xB3"));
  // Latin text with one accented letter, in UTF-8: the letter sits inside a word.
  writeFile(home.path("latin.lrc"), "[00:01.00]Un caf\xC3\xA9 au lait\n[00:02.00]plain\n");
  ASSERT_EQ(r.parseLyricsFile(q(home.path("latin.lrc")), false), 0);
  EXPECT_EQ(r.lyricLines[1].text, QString::fromUtf8("Un caf\xC3\xA9 au lait"));
  // Chinese in UTF-8 without a mark is three bytes a character.
  EXPECT_EQ(LyricsReader::decodeLyrics("\xE5\xA5\xB3", false), QString::fromUtf8("\xE5\xA5\xB3"));

  // UTF-16 with a byte-order mark, both byte orders, lines and times as in any file.
  const QString text = QString::fromUtf8("[00:04.50]\xE4\xBD\xA0\xE5\xA5\xBD caf\xC3\xA9\r\n");
  for (bool little : {true, false}) {
    std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
    for (QChar c : text) {
      const char lo = static_cast<char>(c.unicode() & 0xFF),
                 hi = static_cast<char>(c.unicode() >> 8);
      bytes += little ? std::string{lo, hi} : std::string{hi, lo};
    }
    writeFile(home.path("wide.lrc"), bytes);
    ASSERT_EQ(r.parseLyricsFile(q(home.path("wide.lrc")), false), 0) << little;
    ASSERT_EQ(r.lyricLines.size(), 3) << little;
    EXPECT_DOUBLE_EQ(r.lyricLines[1].time, 4.5);
    EXPECT_EQ(r.lyricLines[1].text, QString::fromUtf8("\xE4\xBD\xA0\xE5\xA5\xBD caf\xC3\xA9"));
  }
}

TEST(Lyrics, OffsetTagMovesEveryTimeOfItsFile) {
  LyricsReader r;
  {
    WarningCapture warnings;
    // Positive: the lines come earlier; the tag counts wherever it stands in the file.
    EXPECT_EQ(r.parseLyricsBytes("[00:10.00]A\n[00:20.50]B\n[offset:+500]\n", false), 2);
    EXPECT_TRUE(captured.filter("unKnown section").isEmpty()) << captured.join("|").toStdString();
  }
  expectSentinels(r);
  EXPECT_EQ(r.offsetMs(), 500);
  EXPECT_DOUBLE_EQ(r.lyricLines[1].time, 9.5);
  EXPECT_DOUBLE_EQ(r.lyricLines[2].time, 20.0);
  // Negative: later; a line moved before the start shows from the start.
  EXPECT_EQ(r.parseLyricsBytes("[offset:-1500]\n[00:01.00]A\n[00:03.00]B\n", false), 2);
  EXPECT_DOUBLE_EQ(r.lyricLines[1].time, 2.5);
  EXPECT_DOUBLE_EQ(r.lyricLines[2].time, 4.5);
  EXPECT_EQ(r.parseLyricsBytes("[offset:2000]\n[00:01.00]A\n[00:03.00]B\n", false), 2);
  EXPECT_DOUBLE_EQ(r.lyricLines[1].time, 0.0);
  EXPECT_DOUBLE_EQ(r.lyricLines[2].time, 1.0);
  expectSentinels(r);
  // The next text starts without an offset.
  EXPECT_EQ(r.parseLyricsBytes("[00:01.00]A\n", false), 1);
  EXPECT_EQ(r.offsetMs(), 0);
  EXPECT_DOUBLE_EQ(r.lyricLines[1].time, 1.0);
}

TEST(Lyrics, WordTimedLinesShowWithoutTheirMarks) {
  LyricsReader r;
  EXPECT_EQ(r.parseLyricsBytes("[00:05.00]<00:05.00>hello <00:06.20>big <00:07.00>world\n"
                               "[00:08.000] one [00:09.000] two [00:10.500] three\n"
                               "[00:11.00]M: Voice [x] <b>bold</b> 12:30\n"
                               "[00:12.00][00:45.50]Chorus\n",
                               false),
            5);
  ASSERT_EQ(r.lyricLines.size(), 7);
  EXPECT_DOUBLE_EQ(r.lyricLines[1].time, 5.0);
  EXPECT_EQ(r.lyricLines[1].text, "hello big world");
  // Only the first tag gives the line its time; the later ones add no entries.
  EXPECT_DOUBLE_EQ(r.lyricLines[2].time, 8.0);
  EXPECT_EQ(r.lyricLines[2].text, " one two three");
  // Voice markers and other brackets are text.
  EXPECT_DOUBLE_EQ(r.lyricLines[3].time, 11.0);
  EXPECT_EQ(r.lyricLines[3].text, "M: Voice [x] <b>bold</b> 12:30");
  EXPECT_DOUBLE_EQ(r.lyricLines[4].time, 12.0);
  EXPECT_EQ(r.lyricLines[4].text, "Chorus");
  EXPECT_DOUBLE_EQ(r.lyricLines[5].time, 45.5);
  EXPECT_EQ(r.lyricLines[5].text, "Chorus");
}

namespace {
// The words of a row as "text@seconds" pieces, for compact comparisons.
QStringList wordsOf(const QString &text, const QList<LyricWord> &words) {
  QStringList out;
  for (const LyricWord &w : words)
    out << text.mid(w.from, w.length) + "@" + QString::number(w.time);
  return out;
}
} // namespace

TEST(Lyrics, WordTimesAreKeptFromEveryKindOfMark) {
  LyricsReader r;
  ASSERT_EQ(r.parseLyricsBytes("[00:05.00]<00:05.00>hello <00:06.20>big <00:07.00>world<00:07.80>\n"
                               "[00:08.000] one [00:09.000] two [00:10.500] three\n"
                               "[00:20.00][01:00.00]Lead <00:20.50>in\n"
                               "[00:30.00]plain line\n"
                               "[00:40.00]<00:40.00>back <00:39.00>wards\n",
                               false),
            6);
  const QList<LyricLine> &l = r.lyricLines;
  ASSERT_EQ(l.size(), 8);
  EXPECT_EQ(wordsOf(l[1].text, l[1].words), QStringList({"hello@5", "big@6.2", "world@7"}));
  EXPECT_DOUBLE_EQ(l[1].end, 7.8); // the closing mark ends the last word
  EXPECT_EQ(wordsOf(l[2].text, l[2].words), QStringList({"one@8", "two@9", "three@10.5"}));
  EXPECT_LT(l[2].end, 0); // no closing mark: the last word runs to the next line
  // Text before the first mark starts with the line; a repeated line sings as far after its
  // second time as after its first.
  EXPECT_EQ(wordsOf(l[3].text, l[3].words), QStringList({"Lead@20", "in@20.5"}));
  EXPECT_TRUE(l[4].words.isEmpty());
  EXPECT_EQ(l[4].text, "plain line");
  // A mark earlier than the word before it does not run the fill backwards.
  EXPECT_EQ(wordsOf(l[5].text, l[5].words), QStringList({"back@40", "wards@40"}));
  EXPECT_EQ(wordsOf(l[6].text, l[6].words), QStringList({"Lead@60", "in@60.5"}));

  // "[offset:]" moves the words with their lines.
  ASSERT_EQ(
      r.parseLyricsBytes("[offset:500]\n[00:05.00]<00:05.00>a <00:06.00>b<00:07.00>\n", false), 1);
  EXPECT_EQ(wordsOf(r.lyricLines[1].text, r.lyricLines[1].words), QStringList({"a@4.5", "b@5.5"}));
  EXPECT_DOUBLE_EQ(r.lyricLines[1].end, 6.5);

  // Two-language lines: one entry of two rows, each keeping its own word times; an empty line at
  // the same time gives way; a lyric at 0.0 is not joined to the opening entry.
  ASSERT_EQ(r.parseLyricsBytes("[00:00.00]first\n[00:03.00]\n[00:03.00]<00:03.00>Original "
                               "<00:04.00>words\n[00:03.00]Translation\n[00:03.00]Third row\n"
                               "[00:06.00]next\n",
                               false),
            6);
  ASSERT_EQ(r.lyricLines.size(), 5);
  EXPECT_EQ(r.lyricLines[1].text, "first");
  const LyricLine &pair = r.lyricLines[2];
  EXPECT_EQ(pair.text, "Original words");
  EXPECT_EQ(wordsOf(pair.text, pair.words), QStringList({"Original@3", "words@4"}));
  ASSERT_EQ(pair.rowCount(), 3);
  EXPECT_EQ(pair.row(1).text, "Translation");
  EXPECT_EQ(pair.row(2).text, "Third row");
  EXPECT_EQ(r.lineAt(3.5), 2);
  EXPECT_EQ(r.lineAt(6.0), 3);

  // A hostile file with thousands of lines at one time stays one entry of a few rows.
  std::string many = "[00:01.00]a\n";
  for (int i = 0; i < 5000; ++i)
    many += "[00:02.00]row " + std::to_string(i) + "\n";
  ASSERT_EQ(r.parseLyricsBytes(QByteArray::fromStdString(many), false), 5001);
  ASSERT_EQ(r.lyricLines.size(), 4);
  EXPECT_EQ(r.lyricLines[2].rowCount(), LyricsReader::maxRows);
}
