// The plug-in's equalizer against an independent model of its arithmetic, and by ear: a boosted
// band must make its own tone louder than the others.
#include "eqref.h"
#include "harness.h"

#include "testenv.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace m4a;
using velora::test::TempHome;

namespace {

using InitIir = void (*)(int, float, float *);
using IirFilter = void (*)(short *, int);

struct Eq {
  InitIir init = plugin().sym<InitIir>("init_iir");
  IirFilter filter = plugin().sym<IirFilter>("iir_filter");
  int *out = plugin().sym<int *>("out");
  int *scaled = plugin().sym<int *>("scaledpcm");
  short **data = plugin().sym<short **>("data");
  int *halflength = plugin().sym<int *>("halflength");
  bool ok() const { return init && filter && out && scaled && data && halflength; }
};

Pcm noise(size_t samples, unsigned seed, int amplitude = 32767) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> d(-amplitude - 1, amplitude);
  Pcm pcm(samples);
  for (auto &s : pcm)
    s = int16_t(d(rng));
  return pcm;
}

// A stereo tone (same on both channels) at 44.1 kHz.
Pcm tone(double hz, size_t frames, double amplitude) {
  Pcm pcm(frames * 2);
  for (size_t n = 0; n < frames; ++n)
    pcm[2 * n] = pcm[2 * n + 1] =
        int16_t(std::lround(amplitude * std::sin(2 * M_PI * hz * double(n) / 44100.0)));
  return pcm;
}

double rms(const Pcm &pcm, size_t from) {
  double sum = 0;
  for (size_t i = from; i < pcm.size(); ++i)
    sum += double(pcm[i]) * pcm[i];
  return std::sqrt(sum / double(pcm.size() - from));
}

} // namespace

TEST(Equalizer, FlatSettingsDivideByEight) {
  TempHome home;
  Eq eq;
  ASSERT_TRUE(eq.ok());
  float bands[10] = {};
  eq.init(1, 0.0f, bands);
  Pcm in = noise(4096, 1);
  Pcm pcm = in;
  eq.filter(pcm.data(), int(pcm.size() * 2));
  for (size_t i = 0; i < in.size(); ++i)
    ASSERT_EQ(pcm[i], int16_t(in[i] >> 3)) << i; // floor(sample / 8)
  EXPECT_EQ(*eq.halflength, int(in.size()));
  EXPECT_EQ(*eq.data, pcm.data());
}

TEST(Equalizer, BitExactAgainstTheModel) {
  TempHome home;
  Eq eq;
  ASSERT_TRUE(eq.ok());
  expectBitExact(eq.init, eq.filter, eq.out, eq.scaled);
}

TEST(Equalizer, OtherBandSpacingFromTheEngineConfiguration) {
  TempHome home;
  velora::test::writeFile(home.path(".xmms/config"), "[xmms]\nequalizer_iso_spaced=FALSE\n");
  Eq eq;
  float bands[10] = {5, -3, 8, 0, 12, -7, 2, 9, -12, 4};
  eq.init(1, 2.0f, bands);
  EqReference classic(2.0f, bands, false), iso(2.0f, bands, true);
  Pcm in = noise(4096, 3, 10000);
  Pcm got = in, wantClassic = in, wantIso = in;
  eq.filter(got.data(), int(got.size() * 2));
  classic.run(wantClassic.data(), int(in.size() * 2));
  iso.run(wantIso.data(), int(in.size() * 2));
  EXPECT_EQ(got, wantClassic);
  EXPECT_NE(got, wantIso);
}

TEST(Equalizer, ClipsInsteadOfWrapping) {
  TempHome home;
  Eq eq;
  float bands[10];
  for (float &b : bands)
    b = 20.0f;
  eq.init(1, 20.0f, bands);
  EqReference ref(20.0f, bands);
  Pcm in = tone(1000.0, 4410, 32767.0);
  Pcm got = in, want = in;
  eq.filter(got.data(), int(got.size() * 2));
  ref.run(want.data(), int(want.size() * 2));
  EXPECT_EQ(got, want);
  int high = 0, low = 0;
  for (size_t i = 1000; i < got.size(); ++i) {
    high += got[i] == 32767;
    low += got[i] == -32768;
    // Where the input is at a positive peak the output must not have wrapped negative.
    if (in[i] > 30000) {
      EXPECT_GT(got[i], 0) << i;
    }
  }
  EXPECT_GT(high, 100);
  EXPECT_GT(low, 100);
}

TEST(Equalizer, OddAndTinyBuffers) {
  TempHome home;
  Eq eq;
  float bands[10] = {};
  eq.init(1, 0.0f, bands);
  short one[1] = {1234};
  eq.filter(one, 1); // one byte: untouched
  EXPECT_EQ(one[0], 1234);
  short three[3] = {800, -800, 999};
  eq.filter(three, 7); // three whole samples: one stereo frame, the third is left as it is
  EXPECT_EQ(three[0], 100);
  EXPECT_EQ(three[1], -100);
  EXPECT_EQ(three[2], 999);
  EXPECT_EQ(*eq.halflength, 3);
  short five[5] = {80, 80, 80, 80, 777};
  eq.filter(five, 10);
  EXPECT_EQ(five[3], 10);
  EXPECT_EQ(five[4], 777);
}

TEST(Equalizer, BandBoostRaisesItsOwnTone) {
  TempHome home;
  Eq eq;
  // Band 5 is centred on 1 kHz; band 2 on 125 Hz.
  auto gainAt = [&](double hz, const float *bands, float preamp) {
    eq.init(1, preamp, const_cast<float *>(bands));
    Pcm in = tone(hz, 8820, 8000.0), out = in;
    eq.filter(out.data(), int(out.size() * 2));
    return rms(out, 4410) / rms(in, 4410);
  };
  float flat[10] = {};
  float boost[10] = {};
  boost[5] = 12.0f;
  double flat1k = gainAt(1000, flat, 0), flat125 = gainAt(125, flat, 0);
  EXPECT_NEAR(flat1k, 0.125, 0.01);
  EXPECT_NEAR(flat125, 0.125, 0.01);
  double boost1k = gainAt(1000, boost, 0), boost125 = gainAt(125, boost, 0),
         boost8k = gainAt(8000, boost, 0);
  EXPECT_GT(boost1k / boost125, 2.0); // more than 6 dB above the 125 Hz tone
  EXPECT_GT(boost1k / boost8k, 2.0);
  EXPECT_GT(boost1k, flat1k * 2.0);

  // The preamp scales smoothly: -6 dB is quieter but not silent, +4 dB is louder than 0 dB.
  double minus6 = gainAt(1000, flat, -6.0f), plus4 = gainAt(1000, flat, 4.0f);
  EXPECT_GT(minus6, 0.125 * 0.4);
  EXPECT_LT(minus6, 0.125 * 0.7);
  EXPECT_GT(plus4, 0.125 * 1.3);
}

TEST(Equalizer, AppliedToPlaybackWhenOn) {
  TempHome home;
  InputPlugin *ip = plugin().ip;
  ASSERT_NE(ip, nullptr);
  std::string path = velora::test::fixture("m4a/tagged.m4a");
  float bands[10] = {3, 6, -4, 0, 10, -8, 2, 0, 5, -2};
  ip->set_eq(1, 4.0f, bands);
  EqReference ref(4.0f, bands);
  Pcm want = referenceMp4(path, 0);
  ref.run(want.data(), int(want.size() * 2));
  recorder().reset();
  ASSERT_TRUE(playToEnd(path));
  EXPECT_EQ(recorder().pcmCopy(), want);

  // Off: the PCM goes out untouched.
  ip->set_eq(0, 4.0f, bands);
  recorder().reset();
  ASSERT_TRUE(playToEnd(path));
  EXPECT_EQ(recorder().pcmCopy(), referenceMp4(path, 0));
  recorder().reset();
}
