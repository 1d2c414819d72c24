// The MP3, Ogg Vorbis and FLAC plug-ins loaded with dlopen from the staged tree, playing into a
// recording output: what they write is compared with ffmpeg's decode of the same file.
#include "harness.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>

using namespace inputs_test;
using velora::test::fixture;
using velora::test::TempHome;

namespace {

struct Case {
  const char *plugin;
  const char *file;
  int rate, channels;
  int tolerance; // largest sample difference from ffmpeg's decode
  int lengthMs;
  const char *title;
  // Opus decoders reach the exact signal only some 200 ms after a seek (the codec's prediction
  // starts afresh); the comparison after a seek starts that much later.
  int settleMs = 0;
};

// MP3 and Vorbis are decoded in floating point by both decoders and rounded on the way to 16
// bits, so a few steps of difference are normal; FLAC is lossless, and 24-bit FLAC differs
// only in how the lowest 8 bits are rounded away.
const Case kCases[] = {
    {"mpg123input", "chirp.mp3", 44100, 2, 2, 2000, "Test Artist - Chirp Song"},
    {"vorbisinput", "chirp.ogg", 44100, 2, 3, 2000, "Test Artist - Chirp Song"},
    {"flacinput", "chirp.flac", 44100, 2, 0, 2000, "Test Artist - Chirp Song"},
    {"flacinput", "deep24.flac", 48000, 1, 1, 1500, "Deep"},
    {"opusinput", "chirp.opus", 48000, 2, 3, 2000, "Test Artist - Chirp Song", 300},
    // Vorbis plays through the FFmpeg plug-in when it is built: the same samples as libvorbis.
    {"ffmpeginput", "chirp.ogg", 44100, 2, 3, 2000, "Test Artist - Chirp Song"},
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const Case &c, std::ostream *os) { *os << c.file; }

std::string inputFixture(const std::string &name) { return fixture("inputs/" + name); }

class InputPlugins : public ::testing::TestWithParam<Case> {
protected:
  void SetUp() override { Recorder::instance().reset(); }
  TempHome home;
};

TEST_P(InputPlugins, DecodesLikeFfmpegWithTitleAndLength) {
  const Case &c = GetParam();
  Plugin p(c.plugin);
  ASSERT_TRUE(p.loaded()) << p.error();
  std::string file = inputFixture(c.file);
  EXPECT_EQ(p->is_our_file(const_cast<char *>(file.c_str())), 1);
  EXPECT_EQ(p->get_time(), -1) << "nothing plays yet";

  std::string diag;
  ASSERT_TRUE(p.playToEnd(file, 10000, &diag));
  EXPECT_EQ(diag, "") << "a good file gives no diagnostic";
  Recording r = Recorder::instance().snapshot();
  EXPECT_EQ(r.format, FMT_S16_NE);
  EXPECT_EQ(r.rate, c.rate);
  EXPECT_EQ(r.channels, c.channels);
  EXPECT_EQ(r.opens, 1);
  EXPECT_EQ(r.closes, 1);
  EXPECT_EQ(r.infos, 1);
  EXPECT_EQ(r.title, c.title);
  EXPECT_NEAR(r.length, c.lengthMs, 1);
  EXPECT_EQ(r.freq, c.rate);
  EXPECT_EQ(r.infoChannels, c.channels);

  std::vector<int16_t> ref = readRaw(inputFixture(std::string(c.file) + ".raw"));
  ASSERT_FALSE(ref.empty());
  // Gapless: exactly as many samples as the reference, encoder delay and padding removed.
  EXPECT_EQ(r.all.size(), ref.size());
  EXPECT_LE(maxDiff(r.all, ref), c.tolerance);
  EXPECT_GT(rms(r.all.data(), r.all.size()), 3000.0) << "the tone is really there";

  char *title = nullptr;
  int length = 0;
  p->get_song_info(const_cast<char *>(file.c_str()), &title, &length);
  ASSERT_NE(title, nullptr);
  EXPECT_STREQ(title, c.title);
  std::free(title);
  EXPECT_NEAR(length, c.lengthMs, 1);
}

TEST_P(InputPlugins, SeekLandsOnTheSecondAskedFor) {
  const Case &c = GetParam();
  Plugin p(c.plugin);
  ASSERT_TRUE(p.loaded()) << p.error();
  std::string file = inputFixture(c.file);
  Recorder &rec = Recorder::instance();
  const long long bytesPerSecond = 2LL * c.rate * c.channels;
  // Let the output take half a second, so the plug-in is still playing when the seek comes.
  rec.setLimitBytes(bytesPerSecond / 2);
  StdoutCapture capture;
  p->play_file(const_cast<char *>(file.c_str()));
  ASSERT_TRUE(velora::test::waitUntil([&] { return rec.bytesSinceFlush() >= bytesPerSecond / 2; }));
  EXPECT_NEAR(p->get_time(), 500, 1);
  p->seek(1);
  // seek returns once the decode thread took it: the output was flushed to the new time.
  Recording afterSeek = rec.snapshot();
  ASSERT_FALSE(afterSeek.flushes.empty());
  EXPECT_NEAR(afterSeek.flushes.back(), 1000, 10);
  rec.setLimitBytes(LLONG_MAX);
  ASSERT_TRUE(velora::test::waitUntil([&] { return p->get_time() == -1; }, 10000));
  p->stop();
  EXPECT_EQ(capture.finish(), "");

  Recording r = rec.snapshot();
  std::vector<int16_t> ref = readRaw(inputFixture(std::string(c.file) + ".raw"));
  // Find where in the reference the audio after the seek begins: the chirp makes every
  // position distinct.
  const size_t window = 2048 * c.channels;
  const size_t settle = size_t(c.settleMs) * c.rate / 1000 * c.channels;
  ASSERT_GE(r.sinceFlush.size(), window + settle);
  const long expected = 1L * c.rate * c.channels; // 1 s
  long bestLag = 0;
  double best = 1e300;
  const long span = c.rate / 20; // search +-50 ms
  for (long lag = -span; lag <= span; ++lag) {
    long start = expected + long(settle) + lag * c.channels;
    if (start < 0 || static_cast<size_t>(start) + window > ref.size())
      continue;
    double err = 0;
    for (size_t i = 0; i < window; ++i) {
      double d = double(r.sinceFlush[settle + i]) - ref[static_cast<size_t>(start) + i];
      err += d * d;
    }
    if (err < best) {
      best = err;
      bestLag = lag;
    }
  }
  EXPECT_LE(std::labs(bestLag) * 1000.0 / c.rate, 10.0) << "landed " << bestLag << " samples off";
  EXPECT_LE(std::sqrt(best / window), 2.0 + c.tolerance) << "audio after the seek matches";
  // The song still ends where it should: the part after the seek is the rest of the file.
  EXPECT_NEAR(double(r.sinceFlush.size()), double(ref.size() - static_cast<size_t>(expected)),
              c.rate * c.channels * 0.011);
}

TEST_P(InputPlugins, EqualizerAtZeroChangesNothingAndBandsBoost) {
  const Case &c = GetParam();
  Plugin p(c.plugin);
  ASSERT_TRUE(p.loaded()) << p.error();
  std::string file = inputFixture(c.file);
  float flat[10] = {};
  p->set_eq(0, 0, flat);
  ASSERT_TRUE(p.playToEnd(file));
  std::vector<int16_t> plain = Recorder::instance().snapshot().all;

  Recorder::instance().reset();
  p->set_eq(1, 0, flat);
  ASSERT_TRUE(p.playToEnd(file));
  EXPECT_EQ(Recorder::instance().snapshot().all, plain) << "on at 0 dB is bit-exact";

  // The signals sit between 200 Hz and 1.4 kHz: bands 250 Hz to 1 kHz up by 9 dB make them
  // clearly louder (and the preamp stays 0).
  float boost[10] = {0, 0, 0, 9, 9, 9, 0, 0, 0, 0};
  Recorder::instance().reset();
  p->set_eq(1, -6, boost);
  ASSERT_TRUE(p.playToEnd(file));
  std::vector<int16_t> eq = Recorder::instance().snapshot().all;
  ASSERT_EQ(eq.size(), plain.size());
  double gain = rms(eq.data(), eq.size()) / rms(plain.data(), plain.size());
  // +9 dB in band, -6 dB preamp: about +3 dB overall, between +1 and +7 dB.
  EXPECT_GT(gain, std::pow(10.0, 1 / 20.0));
  EXPECT_LT(gain, std::pow(10.0, 7 / 20.0));
  p->set_eq(0, 0, flat);
}

INSTANTIATE_TEST_SUITE_P(Formats, InputPlugins, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case> &info) {
                           std::string n = info.param.file;
                           if (std::string(info.param.plugin) == "ffmpeginput")
                             n = "ffmpeg_" + n;
                           for (char &ch : n)
                             if (!isalnum(static_cast<unsigned char>(ch)))
                               ch = '_';
                           return n;
                         });

} // namespace
