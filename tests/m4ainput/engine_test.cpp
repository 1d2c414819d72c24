// End to end: the real engine loads the plug-in from its Input folder and plays an MP4 file to
// the disk writer; the WAV it leaves must hold exactly what FAAD2 decodes from the file.
#include "harness.h"

#include "testenv.h"

#include <gtest/gtest.h>
#include <xmms/xmmsctrl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <thread>

using namespace m4a;
using velora::test::EngineProcess;
using velora::test::fileExists;
using velora::test::fixture;
using velora::test::readFile;
using velora::test::TempHome;
using velora::test::waitUntil;
using velora::test::writeFile;

namespace {

constexpr const char *kDiskWriter = "libdiskwriter.so";

// The samples of a 16-bit PCM WAV file, or nothing when it is not one.
bool readWav(const std::string &path, Pcm &pcm, int &rate, int &channels) {
  std::string b = readFile(path);
  auto u32 = [&](size_t at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 |
           uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
  };
  if (b.size() < 12 || b.compare(0, 4, "RIFF") || b.compare(8, 4, "WAVE"))
    return false;
  size_t at = 12;
  bool haveFormat = false;
  while (at + 8 <= b.size()) {
    uint32_t size = u32(at + 4);
    std::string id = b.substr(at, 4);
    if (id == "fmt " && at + 24 <= b.size()) {
      channels = uint8_t(b[at + 10]) | uint8_t(b[at + 11]) << 8;
      rate = int(u32(at + 12));
      haveFormat = (uint8_t(b[at + 22]) | uint8_t(b[at + 23]) << 8) == 16;
    } else if (id == "data" && haveFormat) {
      size_t n = std::min<size_t>(size, b.size() - at - 8) / 2;
      pcm.resize(n);
      std::memcpy(pcm.data(), b.data() + at + 8, n * 2);
      return true;
    }
    at += 8 + size + (size & 1);
  }
  return false;
}

} // namespace

TEST(M4aThroughTheEngine, PlaysToTheDiskWriter) {
  std::string stage = velora::test::stageDir();
  if (!fileExists(stage + "/bin/xmms") ||
      !fileExists(stage + "/lib/xmms/Output/" + std::string(kDiskWriter)))
    GTEST_SKIP() << "the engine or its disk writer is not built";
  ASSERT_TRUE(fileExists(stage + "/lib/xmms/Input/libm4ainput.so"));

  TempHome home;
  std::string wav = home.path("heard.wav");
  std::string song = fixture("m4a/tagged.m4a");
  // Compared with a direct decode of every frame: the encoder's padding stays in.
  writeFile(home.path(".xmms/config"), std::string("[xmms]\noutput_plugin=") + kDiskWriter +
                                           "\nequalizer_active=FALSE\n[disk_writer]\nfile=" + wav +
                                           "\n[m4ainput]\ngapless=FALSE\n");
  writeFile(home.path(".xmms/xmms.m3u"), song + "\n");

  EngineProcess engine;
  ASSERT_TRUE(engine.start());
  ASSERT_EQ(xmms_remote_get_playlist_length(0), 1);
  // The playlist title and length come from the plug-in's song information, which the engine
  // gathers in the background.
  std::string title;
  int length = 0;
  waitUntil(
      [&] {
        char *t = xmms_remote_get_playlist_title(0, 0);
        title = t ? t : "";
        free(t);
        length = xmms_remote_get_playlist_time(0, 0);
        return title == "Tone Artist - Tone Title" && length > 0;
      },
      5000);
  EXPECT_EQ(title, "Tone Artist - Tone Title");
  EXPECT_GT(length, 1400);
  EXPECT_LT(length, 1700);

  xmms_remote_play(0);
  // The disk writer takes PCM as fast as it comes; the WAV appears when the output closes.
  EXPECT_TRUE(waitUntil([&] { return fileExists(wav); }, 15000));
  EXPECT_TRUE(waitUntil([] { return !xmms_remote_is_playing(0); }, 15000));
  engine.stop();

  Pcm heard;
  int rate = 0, channels = 0;
  ASSERT_TRUE(readWav(wav, heard, rate, channels));
  EXPECT_EQ(rate, 44100);
  EXPECT_EQ(channels, 2);
  Pcm expected = referenceMp4(song, 0);
  ASSERT_EQ(heard.size(), expected.size());
  EXPECT_TRUE(heard == expected);
}

// A seek sent right after play (a tap on the position bar just after Play) reaches the song even
// though the decode thread has not started yet when it arrives.
TEST(M4aThroughTheEngine, SeekRightAfterPlayIsKept) {
  std::string stage = velora::test::stageDir();
  if (!fileExists(stage + "/bin/xmms") || !fileExists(stage + "/lib/xmms/Output/libnullout.so"))
    GTEST_SKIP() << "the engine or its null output is not built";
  TempHome home;
  writeFile(home.path(".xmms/config"), "[xmms]\noutput_plugin=libnullout.so\n");
  writeFile(home.path(".xmms/xmms.m3u"), fixture("m4a/silence1000.m4a") + "\n");
  EngineProcess engine;
  ASSERT_TRUE(engine.start());
  xmms_remote_play(0);
  xmms_remote_jump_to_time(0, 10000);
  ASSERT_TRUE(waitUntil([] { return xmms_remote_is_playing(0); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  // Played on from 10 s; a lost seek would leave the clock below one second.
  int t = xmms_remote_get_output_time(0);
  EXPECT_GE(t, 10000);
  EXPECT_LT(t, 11500);
  EXPECT_EQ(engine.stop(), 0);
}

namespace {

double rmsOf(const Pcm &pcm, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from; i < to; ++i)
    sum += double(pcm[i]) * pcm[i];
  return to > from ? std::sqrt(sum / double(to - from)) : 0.0;
}

} // namespace

// A mixed playlist, as a listener has one: the same tone as M4A, MP3 and Opus with the
// equalizer on and flat plays at the same level, a missing entry is skipped, and the engine
// resumes the saved song at the saved time after a restart.
TEST(M4aThroughTheEngine, MixedPlaylistSameLevelSkipsTheMissingAndResumes) {
  std::string stage = velora::test::stageDir();
  for (const char *need : {"/bin/xmms", "/lib/xmms/Output/libdiskwriter.so",
                           "/lib/xmms/Input/libmpg123input.so", "/lib/xmms/Input/libopusinput.so"})
    if (!fileExists(stage + need))
      GTEST_SKIP() << stage + need << " is not built";
  TempHome home;
  std::map<std::string, std::string> songs;
  for (auto [ext, codec] : {std::pair{"m4a", "aac"}, {"mp3", "libmp3lame"}, {"opus", "libopus"}}) {
    std::string out = home.path(std::string("tone.") + ext);
    std::string cmd = std::string("ffmpeg -nostdin -loglevel error -y -f lavfi -i "
                                  "sine=frequency=1000:sample_rate=44100:duration=3 -ac 2 "
                                  "-af volume=0.5 -c:a ") +
                      codec + " -b:a 128k '" + out + "'";
    if (std::system(cmd.c_str()) != 0)
      GTEST_SKIP() << "ffmpeg could not make the " << ext << " tone";
    songs[ext] = out;
  }
  std::map<std::string, double> level;
  for (auto &[ext, song] : songs) {
    SCOPED_TRACE(ext);
    std::string wav = home.path("heard-" + ext + ".wav");
    writeFile(home.path(".xmms/config"), std::string("[xmms]\noutput_plugin=") + kDiskWriter +
                                             "\nequalizer_active=TRUE\nshuffle=FALSE\n"
                                             "[disk_writer]\nfile=" +
                                             wav + "\n");
    writeFile(home.path(".xmms/xmms.m3u"), song + "\n");
    EngineProcess engine;
    ASSERT_TRUE(engine.start());
    xmms_remote_play(0);
    ASSERT_TRUE(waitUntil([&] { return fileExists(wav); }, 15000));
    ASSERT_TRUE(waitUntil([] { return !xmms_remote_is_playing(0); }, 15000));
    engine.stop();
    Pcm heard;
    int rate = 0, channels = 0;
    ASSERT_TRUE(readWav(wav, heard, rate, channels));
    ASSERT_GT(heard.size(), size_t(rate) * channels * 2);
    // The middle second: no encoder ramp at either end.
    level[ext] =
        20.0 *
        std::log10(rmsOf(heard, size_t(rate) * channels, size_t(rate) * channels * 2) / 32768.0);
  }
  EXPECT_NEAR(level["m4a"], level["mp3"], 0.5);
  EXPECT_NEAR(level["opus"], level["mp3"], 0.5);
  EXPECT_GT(level["mp3"], -40.0) << "the tone is really there";
  std::printf("levels (dBFS): m4a %.2f, mp3 %.2f, opus %.2f\n", level["m4a"], level["mp3"],
              level["opus"]);

  // The missing entry between them is passed over, the songs on both sides play.
  writeFile(home.path(".xmms/config"),
            "[xmms]\noutput_plugin=libnullout.so\nshuffle=FALSE\nrepeat=TRUE\n");
  writeFile(home.path(".xmms/xmms.m3u"),
            songs["m4a"] + "\n" + home.path("gone.opus") + "\n" + songs["opus"] + "\n");
  {
    EngineProcess engine;
    ASSERT_TRUE(engine.start());
    xmms_remote_set_playlist_pos(0, 1);
    xmms_remote_play(0);
    EXPECT_TRUE(waitUntil([] { return xmms_remote_get_playlist_pos(0) == 2; }, 5000));
    EXPECT_TRUE(xmms_remote_is_playing(0));
    // Resume: 2 s into the Opus song when the engine quits.
    xmms_remote_jump_to_time(0, 2000);
    EXPECT_TRUE(waitUntil([] { return xmms_remote_get_output_time(0) >= 2000; }, 5000));
    xmms_remote_pause(0);
    EXPECT_EQ(engine.stop(), 0);
  }
  std::string config = readFile(home.path(".xmms/config"));
  EXPECT_NE(config.find("playlist_position_time=2"), std::string::npos) << config;
  {
    EngineProcess engine;
    ASSERT_TRUE(engine.start());
    EXPECT_EQ(xmms_remote_get_playlist_pos(0), 2);
    xmms_remote_play(0);
    ASSERT_TRUE(waitUntil([] { return xmms_remote_get_output_time(0) >= 1000; }, 5000));
    int t = xmms_remote_get_output_time(0);
    EXPECT_GE(t, 1000); // a second before the saved time at most
    EXPECT_LT(t, 3000);
    EXPECT_EQ(engine.stop(), 0);
  }
}
