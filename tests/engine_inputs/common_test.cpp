// The pieces the three plug-ins share: equalizer response, tag text, probes, conversions.
#include "equalizer.h"
#include "pcm.h"
#include "probe.h"
#include "tags.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace velora::input;

namespace {

// Level change in dB of a sine at freq through the filter (after it settled).
double responseDb(const EqSettings &s, double freq, int rate = 44100) {
  EqFilter f;
  f.configure(s, rate, 2);
  const size_t frames = static_cast<size_t>(rate); // one second
  std::vector<int16_t> pcm(frames * 2), orig;
  for (size_t i = 0; i < frames; ++i)
    pcm[2 * i] = pcm[2 * i + 1] =
        static_cast<int16_t>(std::lrint(3000 * std::sin(2 * M_PI * freq * double(i) / rate)));
  orig = pcm;
  f.process(pcm.data(), frames);
  double in = 0, out = 0;
  for (size_t i = frames / 2; i < frames; ++i) { // skip the filter's settling time
    in += double(orig[2 * i]) * orig[2 * i];
    out += double(pcm[2 * i]) * pcm[2 * i];
  }
  return 10 * std::log10(out / in);
}

TEST(InputEqualizer, BandsBoostTheirRangeAndFlatIsUntouched) {
  EqSettings s;
  s.on = true;
  EqFilter flat;
  flat.configure(s, 44100, 2);
  EXPECT_FALSE(flat.active()) << "on at 0 dB does no work";
  std::vector<int16_t> pcm = {1, -1, 32767, -32768, 1234, -4321};
  std::vector<int16_t> copy = pcm;
  flat.process(pcm.data(), 3);
  EXPECT_EQ(pcm, copy);

  s.bands[5] = 12; // 1 kHz
  EXPECT_NEAR(responseDb(s, 1000), 12, 0.5);
  EXPECT_NEAR(responseDb(s, 100), 0, 0.5) << "far from the band: unchanged";
  EXPECT_NEAR(responseDb(s, 10000), 0, 0.5);
  s.bands[5] = -12;
  EXPECT_NEAR(responseDb(s, 1000), -12, 0.5);
  s.bands[5] = 0;
  s.bands[1] = 9; // 62 Hz
  EXPECT_NEAR(responseDb(s, 62), 9, 0.5);
  EXPECT_NEAR(responseDb(s, 2000), 0, 0.5);

  EqSettings pre;
  pre.on = true;
  pre.preamp = -6;
  EXPECT_NEAR(responseDb(pre, 440), -6, 0.1);

  // The older spacing has its 3 kHz band where the octave set has none.
  EqSettings old;
  old.on = true;
  old.isoSpaced = false;
  old.bands[5] = 10;
  EXPECT_NEAR(responseDb(old, 3000), 10, 0.5);

  // Off means off, whatever the values.
  EqSettings off = s;
  off.on = false;
  EqFilter f;
  f.configure(off, 44100, 2);
  EXPECT_FALSE(f.active());

  // A band above the stream's Nyquist frequency is skipped, not turned into a howl.
  EqSettings high;
  high.on = true;
  high.bands[9] = 20; // 16 kHz
  EXPECT_NEAR(responseDb(high, 1000, 22050), 0, 0.5);
}

// A graphic equalizer's sliders all at one value act as that much gain: neighbouring bands
// overlap, and without correction all at -12 dB gave about -18 dB (-26 dB where the old spacing
// crowds three bands together), unlike the MP4 plug-in's own equalizer.
TEST(InputEqualizer, EqualSlidersGiveTheirLevelAndNeighboursDoNotPileUp) {
  for (bool iso : {true, false}) {
    SCOPED_TRACE(iso ? "octave spacing" : "old spacing");
    EqSettings s;
    s.on = true;
    s.isoSpaced = iso;
    for (float &b : s.bands)
      b = -12;
    for (int band = 0; band < kEqBands; ++band)
      EXPECT_NEAR(responseDb(s, eqBandCentre(band, iso)), -12, 0.5) << "at band " << band;
    // Between two centres a little ripple remains (the old spacing leaves wide gaps in the
    // lows, where it is larger).
    const std::vector<double> between =
        iso ? std::vector<double>{90, 440, 700, 2800} : std::vector<double>{440, 800, 2800, 13000};
    for (double f : between)
      EXPECT_NEAR(responseDb(s, f), -12, 2.5) << f << " Hz";
    for (float &b : s.bands)
      b = 6;
    EXPECT_NEAR(responseDb(s, 1000), 6, 0.5);
    EXPECT_NEAR(responseDb(s, 700), 6, 2.5);
  }
  // A shape: the lows up, the mids down; each centre at its slider.
  EqSettings shape;
  shape.on = true;
  const float sliders[kEqBands] = {6, 6, 3, 0, -3, -6, -6, 0, 4, 4};
  std::copy(sliders, sliders + kEqBands, shape.bands);
  for (int band = 0; band < 9; ++band) // the 16 kHz band sits too near 22.05 kHz to measure
    EXPECT_NEAR(responseDb(shape, eqBandCentre(band, true)), sliders[band], 0.5) << band;
  // Sliders at opposite ends cannot all be met: still a filter, never a howl.
  EqSettings zigzag;
  zigzag.on = true;
  for (int band = 0; band < kEqBands; ++band)
    zigzag.bands[band] = band % 2 ? -20 : 20;
  for (double f : {62.0, 125.0, 1000.0, 5000.0})
    EXPECT_LT(std::fabs(responseDb(zigzag, f)), 21.0) << f;
}

TEST(InputEqualizer, EngineValuesAreClampedAndSanitised) {
  velora::test::TempHome home; // the band spacing is read from the (empty) configuration
  EqControl control;
  float bands[10] = {50, -50, std::numeric_limits<float>::quiet_NaN(), 0, 0, 0, 0, 0, 0, 0};
  control.set(1, std::numeric_limits<float>::infinity(), bands);
  unsigned seen = 0;
  EqSettings got;
  ASSERT_TRUE(control.fetch(seen, got));
  EXPECT_FALSE(control.fetch(seen, got)) << "nothing new since";
  EXPECT_TRUE(got.on);
  EXPECT_TRUE(got.isoSpaced);
  EXPECT_EQ(got.bands[0], 20);
  EXPECT_EQ(got.bands[1], -20);
  EXPECT_EQ(got.bands[2], 0);
  EXPECT_EQ(got.preamp, 0);
  velora::test::writeFile(home.path(".xmms/config"), "[xmms]\nequalizer_iso_spaced=false\n");
  control.set(1, 0, nullptr);
  ASSERT_TRUE(control.fetch(seen, got));
  EXPECT_FALSE(got.isoSpaced);
  EXPECT_EQ(got.bands[3], 0);

  // Loud input with a big boost clips cleanly instead of wrapping round.
  EqSettings s;
  s.on = true;
  s.preamp = 20;
  EqFilter f;
  f.configure(s, 44100, 1);
  int16_t loud[2] = {30000, -30000};
  f.process(loud, 2);
  EXPECT_EQ(loud[0], 32767);
  EXPECT_EQ(loud[1], -32768);
}

TEST(InputCommon, TagTextIsBoundedAndValid) {
  const char fixed[4] = {'a', 'b', 'c', 'd'}; // no terminator
  EXPECT_EQ(tagText(fixed, 4), "abcd");
  EXPECT_EQ(tagText(fixed, 2), "ab");
  EXPECT_EQ(tagText("Song   \0junk", 12), "Song");
  EXPECT_EQ(tagText("Caf\xe9", 4), "Caf\xc3\xa9") << "Latin-1 becomes UTF-8";
  EXPECT_EQ(tagText("\xe4\xb8\xad\xe6\x96\x87", 6), "\xe4\xb8\xad\xe6\x96\x87");
  EXPECT_EQ(tagText(nullptr, 10), "");
  std::string big;
  for (int i = 0; i < 1000; ++i)
    big += "\xe4\xb8\xad"; // 3000 bytes of a three-byte character
  std::string cut = tagText(big.data(), big.size());
  EXPECT_LE(cut.size(), kMaxTagBytes);
  EXPECT_EQ(cut.size() % 3, 0u) << "never cut inside a character";

  Tags t;
  std::string title = "title=First";
  t.addVorbisComment(title.data(), title.size());
  std::string again = "TITLE=Second";
  t.addVorbisComment(again.data(), again.size());
  std::string track = "TrackNumber=3/12";
  t.addVorbisComment(track.data(), track.size());
  std::string date = "DATE=2004-05-01";
  t.addVorbisComment(date.data(), date.size());
  std::string artist = "ARTIST=Somebody Else";
  t.addVorbisComment(artist.data(), 10); // the length counts, not the terminator
  std::string noEquals = "GENRE";
  t.addVorbisComment(noEquals.data(), noEquals.size());
  t.addVorbisComment(nullptr, 100);
  EXPECT_EQ(t.title, "First");
  EXPECT_EQ(t.track, 3);
  EXPECT_EQ(t.year, 2004);
  EXPECT_EQ(t.date, "2004-05-01");
  EXPECT_EQ(t.performer, "Som");
  EXPECT_EQ(t.genre, "");
  EXPECT_EQ(leadingNumber("99999999999999"), 0);
  EXPECT_EQ(leadingNumber("x1"), 0);

  velora::test::TempHome home;
  char *made = makeTitle(t, "/music/a.b/song.flac");
  EXPECT_STREQ(made, "Som - First");
  std::free(made);
  made = makeTitle(Tags{}, "/music/a.b/song");
  EXPECT_STREQ(made, "song") << "no tags: the file name";
  std::free(made);
}

TEST(InputCommon, ProbesAndConversions) {
  EXPECT_TRUE(hasExtension("/a/b.Mp3", {".mp3"}));
  EXPECT_FALSE(hasExtension("/a.mp3/b", {".mp3"}));
  EXPECT_FALSE(hasExtension(nullptr, {".mp3"}));
  const unsigned char id3[10] = {'I', 'D', '3', 4, 0, 0x10, 0, 0, 1, 0};
  EXPECT_EQ(id3v2Size(id3, 10), 10u + 128u + 10u) << "footer counted";
  const unsigned char bad[10] = {'I', 'D', '3', 3, 0, 0, 0x80, 0, 0, 0};
  EXPECT_EQ(id3v2Size(bad, 10), 0u) << "not sync-safe";
  EXPECT_EQ(id3v2Size(id3, 9), 0u);

  EXPECT_EQ(to16(0x7FFFFF, 24), 32767) << "rounding up at full scale clips";
  EXPECT_EQ(to16(-0x800000, 24), -32768);
  EXPECT_EQ(to16(0x180, 24), 2);
  EXPECT_EQ(to16(0x17F, 24), 1);
  EXPECT_EQ(to16(-0x181, 24), -2);
  EXPECT_EQ(to16(100, 8), 25600);
  EXPECT_EQ(to16(-1234, 16), -1234);

  // 5.1 in FLAC order: a centre-only signal lands equally on both sides, LFE is dropped, and
  // everything at full scale does not clip.
  const Speaker layout[6] = {Speaker::FrontLeft, Speaker::FrontRight, Speaker::Centre,
                             Speaker::Lfe,       Speaker::BackLeft,   Speaker::BackRight};
  Downmix mix;
  ASSERT_TRUE(mix.setup(layout, 6));
  std::vector<int16_t> pcm = {0, 0, 10000, 30000, 0, 0, 32767, 32767, 32767, 32767, 32767, 32767};
  mix.run(pcm.data(), pcm.data(), 2);
  EXPECT_EQ(pcm[0], pcm[1]);
  EXPECT_GT(pcm[0], 2000);
  EXPECT_LE(pcm[2], 32767);
  EXPECT_GT(pcm[2], 32000);
  EXPECT_FALSE(mix.setup(layout, 9));
}

} // namespace
