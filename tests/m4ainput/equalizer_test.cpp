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
  void (*setStream)(int, int) = plugin().sym<void (*)(int, int)>("iir_set_stream");
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

// A listener of a mixed playlist hears MP4 songs at the level of the others: flat settings
// give the input back (any channel count), boosts clip at the 16-bit limits, each channel keeps
// its own history, and a 48 kHz stream is filtered with coefficients for its own rate.
TEST(Equalizer, TransparentAtFlatPerChannelAndRateMatched) {
  TempHome home;
  Eq eq;
  ASSERT_TRUE(eq.ok());
  ASSERT_NE(eq.setStream, nullptr);
  float bands[10] = {};
  for (int channels : {2, 1, 6}) {
    SCOPED_TRACE(channels);
    eq.setStream(44100, channels);
    eq.init(1, 0.0f, bands);
    Pcm in = noise(4098, unsigned(channels));
    Pcm pcm = in;
    eq.filter(pcm.data(), int(pcm.size() * 2));
    for (size_t i = 0; i < in.size(); ++i)
      ASSERT_LE(std::abs(pcm[i] - in[i]), 1) << i;
    EXPECT_EQ(*eq.halflength, int(in.size()));
    EXPECT_EQ(*eq.data, pcm.data());
  }

  // A +20 dB boost of a full-scale tone saturates, never wraps to the other sign.
  float loud[10] = {};
  loud[5] = 20.0f;
  eq.setStream(44100, 2);
  eq.init(1, 0.0f, loud);
  Pcm in = tone(1000.0, 4410, 32767.0), got = in;
  eq.filter(got.data(), int(got.size() * 2));
  int clipped = 0;
  for (size_t i = 1000; i < got.size(); ++i) {
    clipped += got[i] == 32767 || got[i] == -32768;
    if (in[i] > 20000) {
      ASSERT_GT(got[i], 0) << i;
    }
    if (in[i] < -20000) {
      ASSERT_LT(got[i], 0) << i;
    }
  }
  EXPECT_GT(clipped, 200);

  // Mono: each sample continues the one before it, exactly as the left channel of a stereo
  // stream carrying the same signal on both sides.
  float shaped[10] = {6, -4, 9, 0, 3, 12, -6, 4, 8, -2};
  Pcm mono(2000);
  for (size_t n = 0; n < mono.size(); ++n)
    mono[n] = int16_t(std::lround(6000.0 * std::sin(2 * M_PI * 440.0 * double(n) / 44100.0)));
  Pcm stereo(mono.size() * 2);
  for (size_t n = 0; n < mono.size(); ++n)
    stereo[2 * n] = stereo[2 * n + 1] = mono[n];
  eq.setStream(44100, 1);
  eq.init(1, 0.0f, shaped);
  eq.filter(mono.data(), int(mono.size() * 2));
  eq.setStream(44100, 2);
  eq.init(1, 0.0f, shaped);
  eq.filter(stereo.data(), int(stereo.size() * 2));
  for (size_t n = 0; n < mono.size(); ++n)
    ASSERT_EQ(mono[n], stereo[2 * n]) << n;

  // The 16 kHz band raised by 12 dB lifts a 16 kHz tone by the same amount at 48 kHz as at
  // 44.1 kHz (the 44.1 kHz table at 48 kHz would centre the band near 17.4 kHz instead).
  float top[10] = {};
  top[9] = 12.0f;
  auto gainAt = [&](int rate) {
    eq.setStream(rate, 2);
    eq.init(1, 0.0f, top);
    Pcm t(2 * 9600), o;
    for (size_t n = 0; n < 9600; ++n)
      t[2 * n] = t[2 * n + 1] =
          int16_t(std::lround(4000.0 * std::sin(2 * M_PI * 16000.0 * n / rate)));
    o = t;
    eq.filter(o.data(), int(o.size() * 2));
    return 20.0 * std::log10(rms(o, 4800) / rms(t, 4800));
  };
  double at44 = gainAt(44100), at48 = gainAt(48000);
  EXPECT_GT(at44, 6.0);
  EXPECT_NEAR(at48, at44, 0.5);
  eq.setStream(44100, 2);
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
  EXPECT_EQ(three[0], 800);
  EXPECT_EQ(three[1], -800);
  EXPECT_EQ(three[2], 999);
  EXPECT_EQ(*eq.halflength, 3);
  short five[5] = {80, 80, 80, 80, 777};
  eq.filter(five, 10);
  EXPECT_EQ(five[3], 80);
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
  EXPECT_NEAR(flat1k, 1.0, 0.01);
  EXPECT_NEAR(flat125, 1.0, 0.01);
  double boost1k = gainAt(1000, boost, 0), boost125 = gainAt(125, boost, 0),
         boost8k = gainAt(8000, boost, 0);
  EXPECT_GT(boost1k / boost125, 2.0); // more than 6 dB above the 125 Hz tone
  EXPECT_GT(boost1k / boost8k, 2.0);
  EXPECT_GT(boost1k, flat1k * 2.0);

  // The preamp scales smoothly: -6 dB is quieter but not silent, +4 dB is louder than 0 dB.
  double minus6 = gainAt(1000, flat, -6.0f), plus4 = gainAt(1000, flat, 4.0f);
  EXPECT_GT(minus6, 0.4);
  EXPECT_LT(minus6, 0.7);
  EXPECT_GT(plus4, 1.3);
}

TEST(Equalizer, AppliedToPlaybackWhenOn) {
  TempHome home;
  // Compared with a direct decode of every frame: the encoder's padding stays in.
  velora::test::writeFile(home.path(".xmms/config"), "[m4ainput]\ngapless=FALSE\n");
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
