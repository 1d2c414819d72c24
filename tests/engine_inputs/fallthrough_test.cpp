// A plug-in that claims a file by its name and cannot play it hands the song on: an .m4a that
// holds Apple Lossless is claimed by the MP4 plug-in (AAC only), which gives up before a sample;
// the engine then asks the next plug-in that claims the file, the catch-all FFmpeg one. A file
// nobody can play still ends and the next song plays.
#include "harness.h"
#include "media.h"
#include "pluginhost.h"
#include "testenv.h"

#include <xmms/xmmsctrl.h>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>

using namespace inputs_test;
using velora::test::EngineProcess;
using velora::test::fileExists;
using velora::test::readFile;
using velora::test::TempHome;
using velora::test::waitUntil;
using velora::test::writeFile;

namespace {

struct NoEvents : engine::PluginEvents {
  void onSetInfo(const char *, int, int, int, int) override {}
};

bool haveAll() {
  const std::string stage = velora::test::stageDir();
  for (const char *f :
       {"/bin/xmms", "/lib/xmms/Output/libdiskwriter.so", "/lib/xmms/Input/libffmpeginput.so",
        "/lib/xmms/Input/libm4ainput.so", "/lib/xmms/Input/libwavinput.so"})
    if (!fileExists(stage + f))
      return false;
  return true;
}

// Apple Lossless in MP4, named .m4a, index first (so a copy cut short still plays its start).
std::string makeAlac(const TempHome &home, const std::string &name, int rate, double seconds) {
  std::string out = home.path("music/" + name);
  velora::test::makeDirs(home.path("music"));
  char src[120];
  std::snprintf(src, sizeof src, "sine=f=440:r=%d:d=%g", rate, seconds);
  return ffmpegMakes(
             {"-f", "lavfi", "-i", src, "-c:a", "alac", "-movflags", "+faststart", "-f", "mp4"},
             out)
             ? out
             : std::string();
}

TEST(InputFallThrough, AlacNamedM4aPlaysThroughTheNextPluginAndBrokenOnesEndTheSong) {
  if (!haveAll())
    GTEST_SKIP() << "the engine, its disk writer or the MP4, WAV and FFmpeg plug-ins are not built";
  TempHome home;
  const std::string alac = makeAlac(home, "lossless.m4a", 32000, 2.0);
  const std::string longer = makeAlac(home, "longer.m4a", 22050, 3.0);
  ASSERT_FALSE(alac.empty() || longer.empty()) << "ffmpeg could not make the files";

  // Who is asked: the MP4 plug-in first, by name; then the external player, which claims the
  // same names; then the catch-all, by content, and nobody after it.
  const std::string inputs = velora::test::stageDir() + "/lib/xmms/Input";
  {
    NoEvents events;
    engine::PluginHost host(&events);
    host.loadInputs(inputs, {});
    std::vector<std::string> chain;
    for (engine::InputEntry *e = host.inputFor(alac); e && chain.size() < 10;
         e = host.inputFor(alac, e))
      chain.push_back(e->name);
    EXPECT_EQ(chain, (std::vector<std::string>{"libm4ainput.so", "libslaveinput.so",
                                               "libffmpeginput.so"}));
    host.cleanup(5000);
  }

  // A cut copy plays what it holds; garbage named .m4a and an empty .m4a play nothing, and
  // the songs after them play.
  const std::string bytes = readFile(longer);
  const std::string cut = home.path("music/cut.m4a");
  writeFile(cut, bytes.substr(0, bytes.size() * 6 / 10));
  std::mt19937 gen(5);
  std::string noise(30000, '\0');
  for (char &c : noise)
    c = static_cast<char>(gen());
  const std::string junk = home.path("music/junk.m4a");
  writeFile(junk, noise);
  const std::string empty = home.path("music/empty.m4a");
  writeFile(empty, "");
  const std::string last = home.path("music/last.wav");
  writeFile(last, velora::test::toneWav(1.0));
  writeFile(home.path(".xmms/xmms.m3u"),
            alac + "\n" + junk + "\n" + cut + "\n" + empty + "\n" + last + "\n");
  const std::string out = home.path("out.wav");
  // The external player is switched off here: it plays on mplayer's own sound device unless
  // told to send its sound to the engine, so the disk writer would not hear it.
  std::string config = diskWriterConfig(out);
  config.insert(config.find("[xmms]\n") + 7, "disabled_iplugins=libslaveinput.so\n");
  writeFile(home.path(".xmms/config"), config + "continuous=TRUE\n");

  EngineProcess engine;
  ASSERT_TRUE(engine.start());
  xmms_remote_set_main_volume(0, 100);
  xmms_remote_play(0);
  ASSERT_TRUE(waitUntil([] { return xmms_remote_is_playing(0) != 0; }, 5000));
  ASSERT_TRUE(waitUntil([] { return !xmms_remote_is_playing(0); }, 60000))
      << "the list plays through; at " << xmms_remote_get_playlist_pos(0);
  EXPECT_EQ(xmms_remote_get_playlist_pos(0), 4) << "the last entry was reached";
  EXPECT_EQ(engine.stop(), 0);

  // Each song of another rate went to a file of its own: the ALAC song whole, the cut copy
  // for what it holds (60 % of three seconds, give or take its index), then the last song. The
  // MP4 plug-in may open the output for the garbage before it gives up: nothing is heard of it.
  std::map<int, Wav> byRate;
  for (int n = 1; fileExists(n == 1 ? out : home.path("out-" + std::to_string(n) + ".wav")); ++n) {
    Wav w = parseWav(readFile(n == 1 ? out : home.path("out-" + std::to_string(n) + ".wav")));
    if (w.rate != 32000 && w.rate != 22050 && w.rate != 8000) {
      EXPECT_LT(w.seconds(), 0.1) << "a broken file at " << w.rate << " Hz was heard";
      continue;
    }
    EXPECT_EQ(byRate.count(w.rate), 0u) << w.rate << " Hz twice";
    byRate[w.rate] = w;
  }
  ASSERT_EQ(byRate.size(), 3u);
  const Wav &lossless = byRate[32000];
  EXPECT_NEAR(lossless.seconds(), 2.0, 0.1) << "the ALAC .m4a plays for its length";
  // ffmpeg's sine source plays at an eighth of full scale: lossless, the level is that tone's.
  EXPECT_NEAR(rms(lossless.samples.data(), lossless.samples.size()), 32768 / 8 / std::sqrt(2.0), 30)
      << "and is heard";
  EXPECT_GT(byRate[22050].seconds(), 1.0);
  EXPECT_LT(byRate[22050].seconds(), 2.0);
  EXPECT_NEAR(byRate[8000].seconds(), 1.0, 0.01) << "the song after the broken ones plays whole";
}

// The playlist shows a song's title and length before it is played: for an .m4a that holds
// Apple Lossless the MP4 plug-in finds no AAC track and says nothing, so the next plug-in that
// claims the file is asked, as when the song is played.
TEST(InputFallThrough, TitleAndLengthOfAnAlacM4aComeFromThePluginThatPlaysIt) {
  if (!haveAll())
    GTEST_SKIP() << "the engine, its disk writer or the MP4, WAV and FFmpeg plug-ins are not built";
  TempHome home;
  velora::test::makeDirs(home.path("music"));
  const std::string alac = home.path("music/ripped.m4a");
  ASSERT_TRUE(ffmpegMakes({"-f", "lavfi", "-i", "sine=f=440:r=44100:d=3", "-metadata",
                           "title=Ripped Song", "-c:a", "alac", "-f", "mp4"},
                          alac));
  const std::string aac = home.path("music/plain.m4a");
  ASSERT_TRUE(ffmpegMakes({"-f", "lavfi", "-i", "sine=f=440:r=44100:d=2", "-metadata",
                           "title=Plain Song", "-c:a", "aac", "-f", "mp4"},
                          aac));
  std::mt19937 gen(9);
  std::string noise(30000, '\0');
  for (char &c : noise)
    c = static_cast<char>(gen());
  const std::string junk = home.path("music/junk.m4a");
  writeFile(junk, noise);
  writeFile(home.path(".xmms/xmms.m3u"), alac + "\n" + aac + "\n" + junk + "\n");
  std::string config = diskWriterConfig(home.path("out.wav"));
  config.insert(config.find("[xmms]\n") + 7, "disabled_iplugins=libslaveinput.so\n");
  writeFile(home.path(".xmms/config"), config);

  EngineProcess engine;
  ASSERT_TRUE(engine.start());
  auto title = [](int pos) {
    char *t = xmms_remote_get_playlist_title(0, pos);
    std::string s = t ? t : "";
    std::free(t);
    return s;
  };
  // Looked up in the background: asked once, answered a little later.
  EXPECT_TRUE(waitUntil(
      [&] {
        return title(0).find("Ripped Song") != std::string::npos &&
               xmms_remote_get_playlist_time(0, 0) > 0;
      },
      20000))
      << "\"" << title(0) << "\", " << xmms_remote_get_playlist_time(0, 0) << " ms";
  EXPECT_NEAR(xmms_remote_get_playlist_time(0, 0), 3000, 100);
  // The MP4 plug-in still answers for the AAC it plays.
  EXPECT_TRUE(waitUntil([&] { return title(1).find("Plain Song") != std::string::npos; }, 20000))
      << title(1);
  EXPECT_NEAR(xmms_remote_get_playlist_time(0, 1), 2000, 100);
  // Nobody can read the garbage: its name stays, no length, and the engine goes on answering.
  EXPECT_TRUE(waitUntil([&] { return !title(2).empty(); }, 5000));
  EXPECT_EQ(title(2), "junk.m4a");
  EXPECT_EQ(xmms_remote_get_playlist_time(0, 2), 0);
  EXPECT_EQ(engine.stop(), 0);
}

} // namespace
