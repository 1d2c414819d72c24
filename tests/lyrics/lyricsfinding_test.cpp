// Where a song's lyrics are found: the Lyrics folders, lyrics inside the song's tags, and names
// made from the song's artist and title.
#include "lyricstestutil.h"
#include "songtags.h"
#include "testenv.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <taglib/tag.h>

#include <string>

using velora::test::addSyncedLyrics;
using velora::test::makeSilentSong;
using velora::test::setTagProperty;
using velora::test::TempHome;
using velora::test::writeFile;

TEST(Lyrics, LyricsSubFolderIsSearchedAfterTheSongsFolder) {
  TempHome home;
  const std::string dir = home.path("music");
  velora::test::makeDirs(dir + "/LYRICS");
  writeFile(dir + "/song.mp3", "not really");
  writeFile(dir + "/LYRICS/song.lrc", "[00:01.00]From the folder\n");
  LyricsReader r;
  ASSERT_TRUE(r.loadLyrics(q(dir + "/song.mp3"), false));
  EXPECT_EQ(r.loadedFile(), q(dir + "/LYRICS/song.lrc"));
  EXPECT_EQ(r.lyricLines[1].text, "From the folder");
  // Also for the whole-extension name of a longer extension.
  writeFile(dir + "/tune.flac", "x");
  writeFile(dir + "/LYRICS/tune.Lrc", "[00:02.00]Flac\n");
  ASSERT_TRUE(r.loadLyrics(q(dir + "/tune.flac"), false));
  EXPECT_EQ(r.lyricLines[1].text, "Flac");
  // The song's own folder wins.
  writeFile(dir + "/song.lrc", "[00:01.00]Beside\n");
  ASSERT_TRUE(r.loadLyrics(q(dir + "/song.mp3"), false));
  EXPECT_EQ(r.loadedFile(), q(dir + "/song.lrc"));
  EXPECT_EQ(r.lyricLines[1].text, "Beside");
  // Every folder name is tried in its order; beside-names all come first.
  const QStringList names = LyricsReader::candidateNames(q(dir + "/song.mp3"));
  ASSERT_EQ(names.size(), 16);
  EXPECT_EQ(names[0], q(dir + "/song.lrc"));
  EXPECT_EQ(names[8], q(dir + "/LYRICS/song.lrc"));
}

TEST(Lyrics, EmbeddedLyricsOfEachKindAndTheFileBesideWins) {
  TempHome home;
  const std::string mp3 = home.path("s.mp3"), opus = home.path("s.opus"),
                    flac = home.path("s.flac"), m4a = home.path("s.m4a");
  if (!makeSilentSong(mp3, {"-c:a", "libmp3lame"}, 2) ||
      !makeSilentSong(flac, {"-c:a", "flac"}, 2) || !makeSilentSong(opus, {"-c:a", "libopus"}, 2) ||
      !makeSilentSong(m4a, {"-c:a", "aac"}, 2))
    GTEST_SKIP() << "ffmpeg cannot make the test songs";
  // Syllables: an entry starting with a line break begins a line.
  ASSERT_TRUE(
      addSyncedLyrics(mp3, {{500u, "Hel"}, {800u, "lo"}, {1500u, "\nsec"}, {1700u, "ond"}}));
  const QString lrc = QString::fromUtf8("[00:00.50]\xE6\x9C\x88 one\n[00:01.25]two\n");
  ASSERT_TRUE(setTagProperty(opus, "LYRICS", lrc));
  ASSERT_TRUE(setTagProperty(flac, "SYNCEDLYRICS", lrc));
  ASSERT_TRUE(setTagProperty(m4a, "LYRICS", "Plain words\nsecond line\n\n"));

  LyricsReader r;
  ASSERT_TRUE(r.loadEmbedded(q(mp3)));
  EXPECT_FALSE(r.isPlain());
  ASSERT_EQ(r.lyricLines.size(), 4);
  expectSentinels(r);
  EXPECT_DOUBLE_EQ(r.lyricLines[1].time, 0.5);
  EXPECT_EQ(r.lyricLines[1].text, "Hello");
  EXPECT_DOUBLE_EQ(r.lyricLines[2].time, 1.5);
  EXPECT_EQ(r.lyricLines[2].text, "second");
  // Each syllable keeps its own time as a word of its line.
  ASSERT_EQ(r.lyricLines[1].words.size(), 2);
  EXPECT_DOUBLE_EQ(r.lyricLines[1].words[0].time, 0.5);
  EXPECT_DOUBLE_EQ(r.lyricLines[1].words[1].time, 0.8);
  EXPECT_EQ(
      r.lyricLines[1].text.mid(r.lyricLines[1].words[1].from, r.lyricLines[1].words[1].length),
      "lo");
  ASSERT_EQ(r.lyricLines[2].words.size(), 2);
  EXPECT_DOUBLE_EQ(r.lyricLines[2].words[1].time, 1.7);
  for (const std::string &song : {opus, flac}) {
    ASSERT_TRUE(r.loadEmbedded(q(song))) << song;
    ASSERT_EQ(r.lyricLines.size(), 4) << song;
    EXPECT_EQ(r.lyricLines[1].text, QString::fromUtf8("\xE6\x9C\x88 one"));
    EXPECT_DOUBLE_EQ(r.lyricLines[2].time, 1.25);
  }
  ASSERT_TRUE(r.loadEmbedded(q(m4a)));
  EXPECT_TRUE(r.isPlain());
  EXPECT_EQ(r.plainLines, QStringList({"Plain words", "second line"}));
  expectSentinels(r);
  // A file without lyrics, and one that is no song at all.
  writeFile(home.path("junk.mp3"), std::string(4096, '\x55'));
  EXPECT_FALSE(r.loadEmbedded(q(home.path("junk.mp3"))));
  EXPECT_FALSE(r.loadEmbedded(q(home.path("missing.flac"))));

  // An LRC file beside the song comes before its embedded lyrics.
  writeFile(home.path("s.lrc"), "[00:01.00]From the file\n");
  ASSERT_TRUE(r.loadLyrics(q(flac), false));
  EXPECT_EQ(r.lyricLines[1].text, "From the file");
}

TEST(Lyrics, LyricsAndTextsAreFoundByTheSongsTags) {
  TempHome home;
  const std::string dir = home.path("music");
  velora::test::makeDirs(dir + "/Lyrics");
  const std::string mp3 = dir + "/01 track.mp3";
  if (!makeSilentSong(mp3, {"-c:a", "libmp3lame"}, 2))
    GTEST_SKIP() << "ffmpeg cannot make the test song";
  {
    TagLib::FileRef ref(mp3.c_str());
    ASSERT_FALSE(ref.isNull());
    ref.tag()->setArtist(TagLib::String("Some Band", TagLib::String::UTF8));
    ref.tag()->setTitle(TagLib::String("Up/Down \xE6\x9C\x88", TagLib::String::UTF8));
    ASSERT_TRUE(ref.save());
  }
  // A slash cannot stand in a file name: lyrics tools write it as "_".
  const QString tagged = QString::fromUtf8("Some Band - Up_Down \xE6\x9C\x88");
  EXPECT_EQ(LyricsReader::tagName(q(mp3)), tagged);
  LyricsReader r;
  EXPECT_FALSE(r.loadLyrics(q(mp3), false));

  // In the Lyrics folder by the tags...
  writeFile(dir + "/Lyrics/" + tagged.toStdString() + ".lrc", "[00:01.00]In the folder\n");
  ASSERT_TRUE(r.loadLyrics(q(mp3), false));
  EXPECT_EQ(r.lyricLines[1].text, "In the folder");
  // ...beside the song by the tags comes before that...
  writeFile(dir + "/" + tagged.toStdString() + ".LRC", "[00:01.00]Beside by tags\n");
  ASSERT_TRUE(r.loadLyrics(q(mp3), false));
  EXPECT_EQ(r.lyricLines[1].text, "Beside by tags");
  // ...and the song's own name before both.
  writeFile(dir + "/01 track.lrc", "[00:01.00]Own name\n");
  ASSERT_TRUE(r.loadLyrics(q(mp3), false));
  EXPECT_EQ(r.lyricLines[1].text, "Own name");

  // Texts to time: the song's own name, then the tags' name, beside it, then in Lyrics.
  const QStringList texts = LyricsReader::textCandidates(q(mp3));
  ASSERT_EQ(texts.size(), 8);
  EXPECT_EQ(texts[0], q(dir + "/01 track.txt"));
  EXPECT_EQ(texts[2], q(dir + "/") + tagged + ".txt");
  EXPECT_EQ(texts[4], q(dir + "/Lyrics/01 track.txt"));
  EXPECT_EQ(texts[6], q(dir + "/Lyrics/") + tagged + ".txt");

  // A song without an artist has no tag name; nothing else changes.
  {
    TagLib::FileRef ref(mp3.c_str());
    ref.tag()->setArtist(TagLib::String());
    ASSERT_TRUE(ref.save());
  }
  EXPECT_TRUE(LyricsReader::tagName(q(mp3)).isEmpty());
  EXPECT_EQ(LyricsReader::textCandidates(q(mp3)).size(), 4);
  EXPECT_TRUE(LyricsReader::tagName(q(dir + "/missing.mp3")).isEmpty());
}
