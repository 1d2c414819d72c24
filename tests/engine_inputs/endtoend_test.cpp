// Through the real engine: a folder playlist of one MP3, one Ogg and one FLAC file plays all
// three, in order, to the disk writer; a sweep cut into three tracks joins without a seam in
// every format.
#include "harness.h"
#include "media.h"
#include "testenv.h"

#include <xmms/xmmsctrl.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

using namespace inputs_test;
using velora::test::EngineProcess;
using velora::test::fileExists;
using velora::test::fixture;
using velora::test::readFile;
using velora::test::TempHome;
using velora::test::waitUntil;
using velora::test::writeFile;

namespace {

TEST(InputEndToEnd, FolderOfMp3OggAndFlacPlaysInOrderToTheDiskWriter) {
  if (!fileExists(velora::test::stageDir() + "/bin/xmms") ||
      !fileExists(velora::test::stageDir() + "/lib/xmms/Output/libdiskwriter.so"))
    GTEST_SKIP() << "the engine or its disk writer is not built";
  TempHome home;
  // A folder as the front-end's open-folder command would list it.
  std::string music = home.path("music");
  std::string a = copyOf(fixture("inputs/oldtag.mp3"), music + "/01 old.mp3");
  std::string b = copyOf(fixture("inputs/untagged.ogg"), music + "/02 plain.ogg");
  std::string c = copyOf(fixture("inputs/deep24.flac"), music + "/03 deep.flac");
  writeFile(home.path(".xmms/xmms.m3u"), a + "\n" + b + "\n" + c + "\n");
  std::string out = home.path("out.wav");
  // One session: each song is of another format, so each gets a file of its own (out.wav,
  // out-2.wav, out-3.wav), written when the engine quits; no song can be missed.
  writeFile(home.path(".xmms/config"), diskWriterConfig(out) + "continuous=TRUE\n");

  EngineProcess engine;
  ASSERT_TRUE(engine.start());
  ASSERT_EQ(xmms_remote_get_playlist_length(0), 3);
  xmms_remote_set_main_volume(0, 100);
  xmms_remote_play(0);
  ASSERT_TRUE(waitUntil([] { return xmms_remote_is_playing(0) != 0; }, 3000));
  ASSERT_TRUE(waitUntil([] { return !xmms_remote_is_playing(0); }, 15000));

  // Titles and lengths come from the plug-ins.
  auto title = [](int pos) {
    char *t = xmms_remote_get_playlist_title(0, pos);
    std::string s = t ? t : "";
    std::free(t);
    return s;
  };
  EXPECT_TRUE(waitUntil([&] { return title(0) == "V1 Artist - Old Tag"; })) << title(0);
  EXPECT_TRUE(waitUntil([&] { return title(1) == "02 plain.ogg"; })) << title(1);
  EXPECT_TRUE(waitUntil([&] { return title(2) == "Deep"; })) << title(2);
  EXPECT_NEAR(xmms_remote_get_playlist_time(0, 0), 1000, 1);
  EXPECT_NEAR(xmms_remote_get_playlist_time(0, 1), 1000, 1);
  EXPECT_NEAR(xmms_remote_get_playlist_time(0, 2), 1500, 1);
  EXPECT_EQ(engine.stop(), 0);

  // The three songs, in playlist order, each whole: the rates tell them apart.
  std::vector<Wav> v = {parseWav(readFile(out)), parseWav(readFile(home.path("out-2.wav"))),
                        parseWav(readFile(home.path("out-3.wav")))};
  EXPECT_EQ(v[0].rate, 22050);
  EXPECT_EQ(v[0].channels, 1);
  EXPECT_EQ(v[0].samples.size(), 22050u) << "gapless: exactly one second";
  EXPECT_GT(rms(v[0].samples.data(), v[0].samples.size()), 5000);
  EXPECT_EQ(v[1].rate, 44100);
  EXPECT_EQ(v[1].channels, 1);
  EXPECT_EQ(v[1].samples.size(), 44100u);
  EXPECT_GT(rms(v[1].samples.data(), v[1].samples.size()), 5000);
  EXPECT_EQ(v[2].rate, 48000);
  EXPECT_EQ(v[2].channels, 1);
  EXPECT_EQ(v[2].bits, 16);
  EXPECT_LE(maxDiff(v[2].samples, readRaw(fixture("inputs/deep24.flac.raw"))), 1);
  EXPECT_EQ(v[2].samples.size(), readRaw(fixture("inputs/deep24.flac.raw")).size());
}

// Largest step between neighbouring samples in [from, to).
int largestStep(const std::vector<int16_t> &s, size_t from, size_t to) {
  int step = 0;
  for (size_t i = std::max<size_t>(from, 1); i < std::min(to, s.size()); ++i)
    step = std::max(step, std::abs(int(s[i]) - int(s[i - 1])));
  return step;
}

// Three tracks cut from one sweep, played in a row into the continuous disk writer: the
// recording is as long as the uncut sweep (encoder delay and padding trimmed), and no join
// shows a step larger than the largest one inside the tracks (no silence, no lost or doubled
// samples where they meet).
TEST(InputEndToEnd, TracksCutFromOneSweepJoinWithoutASeamInEveryFormat) {
  if (!fileExists(velora::test::stageDir() + "/bin/xmms") ||
      !fileExists(velora::test::stageDir() + "/lib/xmms/Output/libdiskwriter.so"))
    GTEST_SKIP() << "the engine or its disk writer is not built";
  struct Case {
    const char *ext;
    const char *plugin;
    int rate;
    size_t frames;             // the uncut sweep
    std::vector<size_t> joins; // where the second and third tracks begin
  };
  const std::vector<Case> cases = {
      {"wav", "libwavinput.so", 44100, 52920, {17000, 35001}},
      {"flac", "libflacinput.so", 44100, 52920, {17000, 35001}},
      {"mp3", "libmpg123input.so", 44100, 52920, {17000, 35001}},
      {"m4a", "libm4ainput.so", 44100, 52920, {17000, 35001}},
      {"ogg", "libvorbisinput.so", 44100, 52920, {17000, 35001}},
      {"opus", "libopusinput.so", 48000, 57600, {18503, 38095}},
  };
  std::vector<int16_t> reference; // the WAV tracks, end to end: the sweep itself
  for (const Case &c : cases) {
    SCOPED_TRACE(c.ext);
    if (!fileExists(velora::test::stageDir() + "/lib/xmms/Input/" + c.plugin)) {
      ADD_FAILURE() << c.plugin << " is not built";
      continue;
    }
    TempHome home;
    std::vector<std::string> parts;
    for (int n = 1; n <= 3; ++n)
      parts.push_back(copyOf(fixture("gapless/part" + std::to_string(n) + "." + c.ext),
                             home.path("music/part" + std::to_string(n) + "." + c.ext)));
    writeFile(home.path(".xmms/xmms.m3u"), parts[0] + "\n" + parts[1] + "\n" + parts[2] + "\n");
    std::string out = home.path("session.wav");
    writeFile(home.path(".xmms/config"),
              "[xmms]\noutput_plugin=libdiskwriter.so\nshuffle=FALSE\nrepeat=FALSE\n"
              "[disk_writer]\ncontinuous=TRUE\nfile=" +
                  out + "\n");
    EngineProcess engine;
    ASSERT_TRUE(engine.start());
    xmms_remote_set_main_volume(0, 100);
    xmms_remote_play(0);
    ASSERT_TRUE(waitUntil([] { return xmms_remote_is_playing(0) != 0; }, 3000));
    ASSERT_TRUE(waitUntil([] { return !xmms_remote_is_playing(0); }, 20000));
    EXPECT_EQ(xmms_remote_get_playlist_pos(0), 2);
    EXPECT_EQ(engine.stop(), 0);
    ASSERT_TRUE(fileExists(out)) << "the session's recording is in place once the engine stops";
    Wav w = parseWav(readFile(out));
    EXPECT_EQ(w.rate, c.rate);
    // FAAD2 gives mono AAC as two equal channels (it makes room for parametric stereo).
    ASSERT_TRUE(w.channels == 1 || (w.channels == 2 && std::string(c.ext) == "m4a"));
    std::vector<int16_t> got;
    for (size_t i = 0; i < w.samples.size(); i += size_t(w.channels))
      got.push_back(w.samples[i]);
    if (std::string(c.ext) == "wav")
      reference = got;
    if (std::string(c.ext) == "wav" || std::string(c.ext) == "flac") {
      // Lossless: exactly the sweep, sample for sample.
      EXPECT_EQ(got.size(), c.frames);
      EXPECT_TRUE(got == reference) << "the lossless recording differs from the WAV one";
    } else {
      // Lossy: encoder delay and padding trimmed, so the length is the sweep's.
      EXPECT_EQ(got.size(), c.frames) << "off by " << long(got.size()) - long(c.frames);
    }
    // Every sample where it belongs: the recording follows the sweep as it was generated (a
    // track shifted by even a few samples would differ by about as much as the signal).
    double signal = 0, noise = 0;
    for (size_t i = 0; i < got.size(); ++i) {
      double t = double(i) / c.rate;
      double want = 16383.5 * std::sin(2 * M_PI * (200 * t + 750 * t * t));
      signal += want * want;
      noise += (got[i] - want) * (got[i] - want);
    }
    EXPECT_LT(10 * std::log10(noise / signal), -20) << "the recording strays from the sweep";
    const size_t window = 32;
    int inside = 0;
    size_t from = 0;
    for (size_t j : c.joins) {
      inside = std::max(inside, largestStep(got, from + window, j - window));
      from = j;
    }
    inside = std::max(inside, largestStep(got, from + window, got.size()));
    ASSERT_GT(inside, 1000) << "the sweep is there";
    // A lossy track starts with its codec's own attack, a little steeper than the sweep; a gap,
    // or samples lost or doubled, would show a step of up to twice the amplitude.
    bool lossless = std::string(c.ext) == "wav" || std::string(c.ext) == "flac";
    int allowed = lossless ? inside : inside * 5 / 4;
    for (size_t j : c.joins)
      EXPECT_LE(largestStep(got, j - window, j + window), allowed)
          << "join at " << j << ", largest step inside " << inside;
  }
}

} // namespace
