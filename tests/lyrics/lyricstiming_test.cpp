// Saving tapped times over lyrics already beside the song: every earlier version stays on disk.
#include "lyricstiming.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <QString>

using namespace velora::test;

TEST(LyricsTimingSave, EverySavedOverVersionIsKept) {
  TempHome home;
  const std::string song = home.path("music/song.ogg");
  writeFile(song, "not played here");
  const std::string original = "[00:01.00]the lyrics the user had\n";
  writeFile(home.path("music/song.lrc"), original);

  std::vector<std::string> saved;
  for (int round = 0; round < 3; ++round) {
    LyricsTiming timing;
    ASSERT_TRUE(timing.start(QString::fromStdString(song), {"one", "two"}));
    ASSERT_TRUE(timing.stamp(1000 + round * 100));
    ASSERT_TRUE(timing.save()) << round;
    EXPECT_FALSE(timing.unsaved());
    saved.push_back(readFile(home.path("music/song.lrc")));
    EXPECT_NE(saved.back().find("]one"), std::string::npos) << saved.back();
  }
  // The newest file, the one it replaced as .bak, the older ones numbered in the order made.
  EXPECT_EQ(readFile(home.path("music/song.lrc")), saved[2]);
  EXPECT_EQ(readFile(home.path("music/song.lrc.bak")), saved[1]);
  EXPECT_EQ(readFile(home.path("music/song.lrc.bak.1")), original);
  EXPECT_EQ(readFile(home.path("music/song.lrc.bak.2")), saved[0]);
  EXPECT_FALSE(fileExists(home.path("music/song.lrc.bak.3")));
  EXPECT_NE(saved[0], saved[1]);
  EXPECT_NE(saved[1], saved[2]);
}
