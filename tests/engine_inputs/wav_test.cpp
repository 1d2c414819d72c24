// The WAV plug-in loaded with dlopen from the staged tree, playing into a recording output: every
// sample width it reads comes out as the tone that was written (8 and 16 bits as they are, wider
// ones as 16 bits), with the file's name as its title and its length; seeks land on the second;
// the equalizer applies; files of kinds it does not read are left to others, damaged ones end
// with one line.
#include "harness.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>

using namespace inputs_test;
using velora::test::TempHome;
using velora::test::waitUntil;
using velora::test::writeFile;

namespace {

constexpr double kFreq = 440;

// The tone of channel c at frame i, full scale 1.
double tone(int rate, int64_t i, int c) {
  return (c == 0 ? 0.5 : 0.3) * std::sin(2 * M_PI * kFreq * (c + 1) * double(i) / rate);
}

void put(std::string &s, uint32_t v, int bytes) {
  for (int b = 0; b < bytes; ++b)
    s += static_cast<char>((v >> (8 * b)) & 0xff);
}

// A RIFF/WAVE file of the tone: tag 1 (integer) or 3 (float) at `bits` bits.
std::string wavFile(int tag, int bits, int rate, int channels, double seconds) {
  const int64_t frames = static_cast<int64_t>(seconds * rate);
  std::string data;
  for (int64_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c) {
      double v = tone(rate, i, c);
      if (tag == 3) {
        float f = static_cast<float>(v);
        uint32_t u;
        std::memcpy(&u, &f, 4);
        put(data, u, 4);
      } else if (bits == 8) {
        put(data, static_cast<uint32_t>(std::lround(v * 127) + 128), 1);
      } else {
        double scale = std::ldexp(1.0, bits - 1) - 1;
        put(data, static_cast<uint32_t>(static_cast<int32_t>(std::lround(v * scale))), bits / 8);
      }
    }
  std::string f = "RIFF";
  put(f, static_cast<uint32_t>(36 + data.size()), 4);
  f += "WAVEfmt ";
  put(f, 16, 4);
  put(f, static_cast<uint32_t>(tag), 2);
  put(f, static_cast<uint32_t>(channels), 2);
  put(f, static_cast<uint32_t>(rate), 4);
  put(f, static_cast<uint32_t>(rate * channels * bits / 8), 4);
  put(f, static_cast<uint32_t>(channels * bits / 8), 2);
  put(f, static_cast<uint32_t>(bits), 2);
  f += "data";
  put(f, static_cast<uint32_t>(data.size()), 4);
  return f + data;
}

// Largest distance of pcm (interleaved, from frame `from` of the song) from the tone.
double offTone(const std::vector<int16_t> &pcm, int rate, int channels, int64_t from) {
  double worst = 0;
  for (size_t k = 0; k < pcm.size(); ++k) {
    int64_t i = from + static_cast<int64_t>(k / channels);
    int c = static_cast<int>(k % channels);
    worst = std::max(worst, std::fabs(pcm[k] - tone(rate, i, c) * 32767));
  }
  return worst;
}

TEST(WavInput, EveryWidthPlaysTheToneWithTitleLengthAndExactSeeks) {
  Plugin p("wavinput");
  ASSERT_TRUE(p.loaded()) << p.error();
  TempHome home;
  Recorder &rec = Recorder::instance();
  struct Kind {
    const char *name;
    int tag, bits, rate, channels;
    // An 8-bit file holds the tone only to within half a step of 256; wider integers keep their
    // top 16 bits (cut, not rounded).
    double tolerance;
  };
  const Kind kinds[] = {{"eight.wav", 1, 8, 11025, 1, 400},
                        {"sixteen.wav", 1, 16, 22050, 2, 1},
                        {"deep.wav", 1, 24, 44100, 2, 2},
                        {"wide.wav", 1, 32, 48000, 1, 2},
                        {"float.wav", 3, 32, 32000, 2, 1}};
  for (const Kind &k : kinds) {
    SCOPED_TRACE(k.name);
    std::string file = home.path(k.name);
    writeFile(file, wavFile(k.tag, k.bits, k.rate, k.channels, 2.0));
    EXPECT_EQ(p->is_our_file(file.data()), 1);

    rec.reset();
    std::string diag;
    ASSERT_TRUE(p.playToEnd(file, 10000, &diag));
    EXPECT_EQ(diag, "");
    Recording r = rec.snapshot();
    // 8-bit samples go to the output as they are; the recorder widens them.
    EXPECT_EQ(r.format, k.bits == 8 ? FMT_U8 : FMT_S16_NE);
    EXPECT_EQ(r.rate, k.rate);
    EXPECT_EQ(r.channels, k.channels);
    EXPECT_EQ(r.all.size(), size_t(2 * k.rate * k.channels)) << "every frame, no more";
    EXPECT_LE(offTone(r.all, k.rate, k.channels, 0), k.tolerance);
    EXPECT_EQ(r.title, std::string(k.name).substr(0, std::strlen(k.name) - 4));
    EXPECT_EQ(r.length, 2000);
    EXPECT_EQ(r.bitrate, k.rate * k.channels * k.bits);
    char *title = nullptr;
    int length = 0;
    p->get_song_info(file.data(), &title, &length);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(r.title, title);
    std::free(title);
    EXPECT_EQ(length, 2000);

    // Seek to 1 s while the output holds half a second: the rest is the tone from 1 s on.
    rec.reset();
    const long long half = (k.bits == 8 ? 1LL : 2LL) * k.channels * (k.rate / 2);
    rec.setLimitBytes(half);
    StdoutCapture capture;
    p->play_file(file.data());
    ASSERT_TRUE(waitUntil([&] { return rec.bytesSinceFlush() >= half; }, 10000));
    p->seek(1);
    rec.setLimitBytes(LLONG_MAX);
    ASSERT_TRUE(waitUntil([&] { return p->get_time() == -1; }, 10000));
    p->stop();
    EXPECT_EQ(capture.finish(), "");
    Recording after = rec.snapshot();
    ASSERT_FALSE(after.flushes.empty());
    EXPECT_EQ(after.flushes.back(), 1000);
    EXPECT_EQ(after.sinceFlush.size(), size_t(k.rate * k.channels));
    EXPECT_LE(offTone(after.sinceFlush, k.rate, k.channels, k.rate), k.tolerance);
  }
}

TEST(WavInput, EqualizerAppliesAndOtherKindsAreLeftAndDamageIsTold) {
  Plugin p("wavinput");
  ASSERT_TRUE(p.loaded()) << p.error();
  TempHome home;
  Recorder &rec = Recorder::instance();
  std::string file = home.path("tone.wav");
  writeFile(file, wavFile(1, 16, 22050, 1, 1.0));
  float flat[10] = {};
  float boost[10] = {0, 0, 0, 9, 9, 0, 0, 0, 0, 0}; // 250 and 500 Hz, around 440 Hz
  for (int bits : {16, 8}) {
    SCOPED_TRACE(bits);
    writeFile(file, wavFile(1, bits, 22050, 1, 1.0));
    p->set_eq(1, 0, flat);
    rec.reset();
    ASSERT_TRUE(p.playToEnd(file));
    std::vector<int16_t> plain = rec.snapshot().all;
    ASSERT_EQ(plain.size(), 22050u);
    EXPECT_LE(offTone(plain, 22050, 1, 0), bits == 8 ? 400 : 1) << "on at 0 dB changes nothing";
    p->set_eq(1, 0, boost);
    rec.reset();
    ASSERT_TRUE(p.playToEnd(file));
    std::vector<int16_t> loud = rec.snapshot().all;
    p->set_eq(0, 0, flat);
    ASSERT_EQ(loud.size(), plain.size());
    // +9 dB in the two bands beside the tone: clearly louder, by more than 2 dB.
    EXPECT_GT(rms(loud.data(), loud.size()),
              std::pow(10.0, 2 / 20.0) * rms(plain.data(), plain.size()));
  }

  // Kinds it does not read go to others; a damaged file, a misnamed one and the case of the
  // name are its own affair.
  std::string alaw = wavFile(1, 16, 8000, 1, 0.5);
  alaw[20] = 6; // the A-law tag
  writeFile(home.path("alaw.wav"), alaw);
  std::string rf64 = wavFile(1, 16, 8000, 1, 0.5);
  rf64.replace(0, 4, "RF64");
  writeFile(home.path("big.wav"), rf64);
  writeFile(home.path("cut.wav"), wavFile(1, 16, 8000, 1, 0.5).substr(0, 30));
  writeFile(home.path("LOUD.WAV"), wavFile(1, 16, 8000, 1, 0.5));
  writeFile(home.path("tone.raw"), wavFile(1, 16, 8000, 1, 0.5));
  auto claims = [&](const char *name) {
    std::string f = home.path(name);
    return p->is_our_file(f.data());
  };
  EXPECT_EQ(claims("alaw.wav"), 0);
  EXPECT_EQ(claims("big.wav"), 0);
  EXPECT_EQ(claims("cut.wav"), 1);
  EXPECT_EQ(claims("LOUD.WAV"), 1);
  EXPECT_EQ(claims("tone.raw"), 0);

  rec.reset();
  std::string diag;
  ASSERT_TRUE(p.playToEnd(home.path("cut.wav"), 10000, &diag));
  EXPECT_EQ(lineCount(diag), 1);
  EXPECT_NE(diag.find("wavinput: " + home.path("cut.wav") + ": damaged format chunk"),
            std::string::npos)
      << diag;
  EXPECT_TRUE(rec.snapshot().all.empty());

  // Data shorter than the header says: what is there plays, and the song ends.
  std::string shortData = wavFile(1, 16, 8000, 1, 1.0);
  shortData.resize(shortData.size() / 2);
  writeFile(home.path("short.wav"), shortData);
  rec.reset();
  ASSERT_TRUE(p.playToEnd(home.path("short.wav"), 10000, &diag));
  EXPECT_EQ(rec.snapshot().all.size(), (shortData.size() - 44) / 2);
}

} // namespace
