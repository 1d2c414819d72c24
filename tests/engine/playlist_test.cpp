// The playlist file's line rules, checked on the parser and on a real engine, and the resume
// position.
#include "enginetest.h"
#include "playlist.h"

#include <gtest/gtest.h>
#include <xmms/xmmsctrl.h>

using namespace enginetest;
using velora::test::TempHome;

TEST(EnginePlaylist, LineRules) {
  using engine::parsePlaylist;
  // Extended header, information line and one path: exactly one entry.
  EXPECT_EQ(parsePlaylist("#EXTM3U\n#EXTINF:123,Artist - Title\n/music/song.mp3\n"),
            std::vector<std::string>{"/music/song.mp3"});
  // Five characters are ignored, six are an entry.
  EXPECT_EQ(parsePlaylist("a.mp3\nab.mp3\n"), std::vector<std::string>{"ab.mp3"});
  // Windows line ends and surrounding blanks are trimmed; empty lines are dropped.
  EXPECT_EQ(parsePlaylist("  /x/one.ogg\r\n\r\n\t/x/two.ogg  \r\n"),
            (std::vector<std::string>{"/x/one.ogg", "/x/two.ogg"}));
  // "#" counts only as the first character after trimming; inside a path it is kept.
  EXPECT_EQ(parsePlaylist("   #comment line\n/a/#b.mp3\n"), std::vector<std::string>{"/a/#b.mp3"});
  // Characters, not bytes: five accented letters are 10 bytes but only 5 characters.
  EXPECT_TRUE(parsePlaylist("\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\n").empty());
  EXPECT_EQ(parsePlaylist("\xe6\xad\x8c\xe6\x9b\xb2.mp3\n").size(), 1u); // 6 characters
  // Unicode white space (no-break space, ideographic space) is trimmed like ASCII blanks.
  EXPECT_EQ(parsePlaylist("\xc2\xa0/m/abc.mp3\xe3\x80\x80\n"),
            std::vector<std::string>{"/m/abc.mp3"});
  // A byte-order mark and a last line without a line end.
  EXPECT_EQ(parsePlaylist("\xef\xbb\xbf/m/first.mp3\n/m/last.mp3"),
            (std::vector<std::string>{"/m/first.mp3", "/m/last.mp3"}));
  // Relative paths and URLs are taken unchanged, existing or not.
  EXPECT_EQ(parsePlaylist("music/x.mp3\nhttp://radio/stream\n"),
            (std::vector<std::string>{"music/x.mp3", "http://radio/stream"}));
  EXPECT_TRUE(parsePlaylist("").empty());
}

TEST(EnginePlaylist, ResumePosition) {
  std::vector<std::string> list{"/a/one.mp3", "/a/two.mp3", "/a/three.mp3"};
  EXPECT_EQ(engine::resumePosition(list, 2, "/a/three.mp3"), 2);
  EXPECT_EQ(engine::resumePosition(list, 2, "/a/other.mp3"), 0); // the list changed
  EXPECT_EQ(engine::resumePosition(list, 5, "/a/three.mp3"), 0); // out of range
  EXPECT_EQ(engine::resumePosition(list, 1, ""), 0);
}

// The engine's positions are the entries of the file after the rules, in order.
TEST(EnginePlaylist, EngineLoadsWithTheSameRules) {
  TempHome home;
  velora::test::writeFile(home.path(".xmms/xmms.m3u"),
                          "#EXTM3U\r\n#EXTINF:1,x\r\n/m/first.mp3\r\na.mp3\r\n\r\n"
                          "  relative/second.ogg  \r\n/m/third.aac");
  EngineRun engine;
  ASSERT_TRUE(engine.start());
  EXPECT_EQ(xmms_remote_get_playlist_length(0), 3);
  EXPECT_EQ(playlistFile(0), "/m/first.mp3");
  EXPECT_EQ(playlistFile(1), "relative/second.ogg");
  EXPECT_EQ(playlistFile(2), "/m/third.aac");
  EXPECT_EQ(playlistFile(3), "<null>");
  EXPECT_EQ(playlistFile(-1), "<null>");
  // The engine never rewrites the front-end's file.
  EXPECT_EQ(engine.quit(), 0);
  EXPECT_EQ(velora::test::readFile(home.path(".xmms/xmms.m3u")),
            "#EXTM3U\r\n#EXTINF:1,x\r\n/m/first.mp3\r\na.mp3\r\n\r\n"
            "  relative/second.ogg  \r\n/m/third.aac");
}

TEST(EnginePlaylist, MissingOrEmptyFileGivesEmptyPlaylist) {
  for (bool create : {false, true}) {
    TempHome home;
    if (create)
      velora::test::writeFile(home.path(".xmms/xmms.m3u"), "");
    EngineRun engine;
    ASSERT_TRUE(engine.start());
    EXPECT_EQ(xmms_remote_get_playlist_length(0), 0);
    xmms_remote_play(0);
    xmms_remote_playlist_next(0);
    EXPECT_FALSE(xmms_remote_is_playing(0));
    EXPECT_EQ(xmms_remote_get_playlist_pos(0), 0);
    EXPECT_EQ(engine.quit(), 0);
  }
}

TEST(EnginePlaylist, ResumesAtTheSavedEntryOnlyWhenItIsTheSameFile) {
  TempHome home;
  writePlaylist(home, {"/m/one.tst", "/m/two.tst", "/m/three.tst"});
  writeConfig(home, "[xmms]\nplaylist_position=2\nplaylist_position_file=/m/three.tst\n");
  {
    EngineRun engine;
    ASSERT_TRUE(engine.start());
    EXPECT_EQ(xmms_remote_get_playlist_pos(0), 2);
    xmms_remote_set_playlist_pos(0, 1);
    EXPECT_EQ(engine.quit(), 0);
  }
  {
    EngineRun engine; // the position chosen last time is kept
    ASSERT_TRUE(engine.start());
    EXPECT_EQ(xmms_remote_get_playlist_pos(0), 1);
    EXPECT_EQ(engine.quit(), 0);
  }
  // The front-end wrote a new playlist meanwhile: entry 1 is another file now.
  writePlaylist(home, {"/m/new.tst", "/m/other.tst"});
  EngineRun engine;
  ASSERT_TRUE(engine.start());
  EXPECT_EQ(xmms_remote_get_playlist_pos(0), 0);
  EXPECT_EQ(engine.quit(), 0);
}
