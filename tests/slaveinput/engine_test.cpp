// A song through the real engine: the engine loads the plug-in from the stage folder, puts the
// adaptor first on its children's PATH, and the real mplayer decodes. Runs once the engine,
// its disk writer and the real mplayer are there.
#include "fakeplayer.h"
#include "testenv.h"

#include <xmms/xmmsctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <unistd.h>

using namespace velora::test;
using namespace slavetest;

namespace {

struct Wav {
  bool ok = false;
  int channels = 0, rate = 0, bits = 0;
  std::string data;
};

Wav parseWav(const std::string &bytes) {
  Wav w;
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") || bytes.compare(8, 4, "WAVE"))
    return w;
  auto le = [&](size_t at, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i)
      v = (v << 8) | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
    return v;
  };
  size_t at = 12;
  while (at + 8 <= bytes.size()) {
    std::string id = bytes.substr(at, 4);
    size_t len = le(at + 4, 4);
    size_t body = at + 8;
    if (id == "fmt " && body + 16 <= bytes.size()) {
      w.channels = static_cast<int>(le(body + 2, 2));
      w.rate = static_cast<int>(le(body + 4, 4));
      w.bits = static_cast<int>(le(body + 14, 2));
    } else if (id == "data") {
      w.data = bytes.substr(body, std::min(len, bytes.size() - body));
      w.ok = w.channels > 0;
      return w;
    }
    at = body + len + (len & 1);
  }
  return w;
}

// Audio FIFOs of the given engine process in /tmp.
int fifosOf(pid_t pid) {
  int count = 0;
  std::string tail = "-" + std::to_string(pid);
  for (const auto &e : std::filesystem::directory_iterator("/tmp")) {
    std::string name = e.path().filename();
    if (name.rfind("slaveinput-", 0) == 0 && name.size() > tail.size() &&
        name.compare(name.size() - tail.size(), tail.size(), tail) == 0)
      count++;
  }
  return count;
}

class ThroughEngine : public ::testing::Test {
protected:
  TempHome home;
  std::string song = home.path("music/tone.m4a");

  void SetUp() override {
    for (const char *piece : {"/bin/xmms", "/lib/xmms/Output/libdiskwriter.so",
                              "/lib/xmms/Input/libslaveinput.so", "/lib/xmms/bin/mplayer"})
      if (!fileExists(stageDir() + piece))
        GTEST_SKIP() << "not built: " << piece;
    if (access("/usr/bin/mplayer", X_OK) != 0)
      GTEST_SKIP() << "no /usr/bin/mplayer";
    writeFile(song, readFile(fixture("slave/tone.m4a")));
    writeFile(home.path(".xmms/xmms.m3u"), song + "\n");
  }

  // The MP4 plug-in claims the same names and sorts first; it stays out of these runs.
  void configure(const std::string &slaveinput) {
    writeFile(home.path(".xmms/config"), "[xmms]\n"
                                         "output_plugin=libdiskwriter.so\n"
                                         "disabled_iplugins=libm4ainput.so\n"
                                         "[disk_writer]\n"
                                         "file=" +
                                             home.path("out.wav") +
                                             "\n"
                                             "[slaveinput]\n" +
                                             slaveinput + "\n");
  }
};

TEST_F(ThroughEngine, FifoAudioReachesTheDiskWriter) {
  configure("xmmsaudio=TRUE");
  // Two entries: the end of the first, noticed by the plug-in, moves the engine to the second.
  std::string second = home.path("music/again.m4a");
  writeFile(second, readFile(song));
  writeFile(home.path(".xmms/xmms.m3u"), song + "\n" + second + "\n");
  EngineProcess engine;
  ASSERT_TRUE(engine.start());
  xmms_remote_play(0);
  ASSERT_TRUE(waitUntil([&] { return xmms_remote_get_playlist_pos(0) == 1; }, 15000));
  // The disk writer puts the file in place when the song's output is closed.
  ASSERT_TRUE(waitUntil([&] { return fileExists(home.path("out.wav")); }, 15000));
  ASSERT_TRUE(waitUntil([&] { return !xmms_remote_is_playing(0); }, 15000));
  Wav wav = parseWav(readFile(home.path("out.wav")));
  ASSERT_TRUE(wav.ok);
  EXPECT_EQ(wav.channels, 2);
  EXPECT_EQ(wav.rate, 44100);
  EXPECT_EQ(wav.bits, 16);
  EXPECT_GE(wav.data.size(), 44100u * 4 * 14 / 10);
  EXPECT_LE(wav.data.size(), 44100u * 4 * 17 / 10);
  int peak = 0;
  for (size_t i = 0; i + 1 < wav.data.size(); i += 2)
    peak = std::max(peak, std::abs(static_cast<int>(
                              static_cast<int16_t>(static_cast<uint8_t>(wav.data[i]) |
                                                   (static_cast<uint8_t>(wav.data[i + 1]) << 8)))));
  EXPECT_GT(peak, 1000);
  // The song ended by itself: its player is gone, nothing left behind.
  EXPECT_TRUE(waitUntil([&] { return mplayersUnder(engine.pid()) == 0; }, 5000));
  pid_t pid = engine.pid();
  EXPECT_EQ(fifosOf(pid), 1);
  EXPECT_EQ(engine.stop(), 0);
  // The engine's cleanup at exit removes the audio FIFO.
  EXPECT_EQ(fifosOf(pid), 0);
}

TEST_F(ThroughEngine, StopLeavesNoPlayerBehind) {
  // mplayer plays by itself here, in real time, into its null driver.
  configure("extra=-ao null -loop 0");
  EngineProcess engine;
  ASSERT_TRUE(engine.start());
  xmms_remote_play(0);
  ASSERT_TRUE(waitUntil([&] { return mplayersUnder(engine.pid()) > 0; }, 10000));
  // Let it get past identification into playback.
  ASSERT_TRUE(waitUntil([&] { return xmms_remote_get_output_time(0) > 0; }, 10000));
  EXPECT_GT(mplayersUnder(engine.pid()), 0);
  xmms_remote_stop(0);
  EXPECT_TRUE(waitUntil([&] { return mplayersUnder(engine.pid()) == 0; }, 5000));
  EXPECT_EQ(engine.stop(), 0);
}

} // namespace
