// velora started the way a shell or a file manager starts it: files on the command line become
// the playlist in the order given, and a second start hands its files to the running player
// (through its desktop-control service) instead of opening a second window. Runs inside a
// session bus of its own.
#include "playerrun.h"

#include <gtest/gtest.h>
#include <xmms/xmmsctrl.h>

#include <chrono>
#include <filesystem>
#include <vector>

using namespace velora::test;
namespace fs = std::filesystem;

namespace {

std::string song(const TempHome &home, const std::string &fixtureName, const std::string &name) {
  makeDirs(home.path("Music"));
  fs::copy_file(fixture(fixtureName), home.path("Music/" + name));
  return home.path("Music/" + name);
}

// The playlist positions the engine is seen playing, in the order seen, until it has stopped
// for a second (a moment between two songs is not the end) or timeoutMs pass.
std::vector<int> positionsPlayed(int timeoutMs) {
  std::vector<int> seen;
  auto stoppedSince = std::chrono::steady_clock::now();
  waitUntil(
      [&] {
        const auto now = std::chrono::steady_clock::now();
        if (!xmms_remote_is_playing(0))
          return !seen.empty() && now - stoppedSince > std::chrono::seconds(1);
        stoppedSince = now;
        const int pos = xmms_remote_get_playlist_pos(0);
        if (seen.empty() || seen.back() != pos)
          seen.push_back(pos);
        return false;
      },
      timeoutMs);
  return seen;
}

} // namespace

TEST(CommandLine, PlaysTheFilesInOrderAndASecondStartHandsItsFilesOver) {
  ASSERT_NE(getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr) << "run inside dbus-run-session";
  TempHome home;
  const std::string a = song(home, "m4a/tagged.m4a", "a.m4a");
  const std::string b = song(home, "inputs/chirp.mp3", "b.mp3");
  const std::string c = song(home, "inputs/chirp.flac", "c.flac");
  useNullOutput(home);
  const std::string velora = stageDir() + "/bin/velora";

  Child player({velora, a, b}, home.root(), {"QT_QPA_PLATFORM=offscreen"});
  ASSERT_TRUE(waitUntil(
      [&] { return xmms_remote_get_playlist_length(0) == 2 && engineFile(1) == b; }, 60000))
      << player.err();
  EXPECT_EQ(engineFile(0), a);
  EXPECT_EQ(readFile(home.path(".xmms/xmms.m3u")), a + "\n" + b + "\n");
  ASSERT_TRUE(waitUntil([] { return xmms_remote_is_playing(0) != 0; }, 30000)) << player.err();
  const std::vector<int> played = positionsPlayed(60000);
  EXPECT_EQ(played, std::vector<int>({0, 1})) << "a.m4a, then b.mp3, then the end";

  // A second start with one file: the running player plays it, the second one leaves at once.
  Child second({velora, c}, home.root(), {"QT_QPA_PLATFORM=offscreen"});
  EXPECT_EQ(second.wait(90000), 0) << second.err();
  EXPECT_TRUE(player.running());
  EXPECT_TRUE(waitUntil(
      [&] { return xmms_remote_get_playlist_length(0) == 1 && engineFile(0) == c; }, 30000));
  EXPECT_TRUE(waitUntil([] { return xmms_remote_is_playing(0) != 0; }, 30000));

  // Several files (here a folder's songs and a file) travel as one list, in the order given.
  Child third({velora, home.path("Music"), a}, home.root(), {"QT_QPA_PLATFORM=offscreen"});
  EXPECT_EQ(third.wait(90000), 0) << third.err();
  EXPECT_TRUE(waitUntil([&] { return xmms_remote_get_playlist_length(0) == 4; }, 30000));
  EXPECT_EQ(engineFile(0), a);
  EXPECT_EQ(engineFile(1), b);
  EXPECT_EQ(engineFile(2), c);
  EXPECT_EQ(engineFile(3), a);
  for (const auto &entry : fs::directory_iterator(home.runtime()))
    EXPECT_NE(entry.path().extension(), ".m3u") << "the list handed over is removed";

  // Without files a second start only brings the running window forward.
  Child fourth({velora}, home.root(), {"QT_QPA_PLATFORM=offscreen"});
  EXPECT_EQ(fourth.wait(90000), 0) << fourth.err();
  EXPECT_EQ(xmms_remote_get_playlist_length(0), 4);

  EXPECT_EQ(endPlayer(player, home), 0) << player.err();
}
