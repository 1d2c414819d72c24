// The output stage's effects on their own: the Rubber Band speed control (lengths, pitch, the
// changes between stretching and passing through, the clock back to song time) and ReplayGain
// (tag values, gains, the tags of every format as taggers and encoders write them).
#include "audiocheck.h"
#include "replaygain.h"
#include "testenv.h"
#include "timestretch.h"

#include <gtest/gtest.h>

#include <taglib/apetag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>

#include <cmath>
#include <cstdint>
#include <vector>

using engine::ReplayGainInfo;
using engine::SongClock;
using engine::TimeStretch;
using velora::test::TempHome;

namespace {

constexpr int kRate = 44100;

// Interleaved stereo tone of `seconds` at `hz`, amplitude 0.5 of full scale.
std::vector<int16_t> stereoTone(double seconds, double hz) {
  size_t frames = static_cast<size_t>(seconds * kRate);
  std::vector<int16_t> s(frames * 2);
  for (size_t i = 0; i < frames; ++i) {
    auto v = static_cast<int16_t>(std::lrint(16384 * std::sin(2 * M_PI * hz * i / kRate)));
    s[2 * i] = s[2 * i + 1] = v;
  }
  return s;
}

// Runs frames through the stretcher in blocks of `block` frames, like a decoder writing.
std::vector<int16_t> stretch(TimeStretch &ts, const std::vector<int16_t> &in, size_t block) {
  std::vector<int16_t> out, scratch;
  for (size_t at = 0; at < in.size() / 2; at += block) {
    size_t n = std::min(block, in.size() / 2 - at);
    scratch.clear();
    size_t got = 0;
    const int16_t *p = ts.process(in.data() + at * 2, n, scratch, got);
    out.insert(out.end(), p, p + got * 2);
  }
  ts.drain(out);
  return out;
}

} // namespace

TEST(TimeStretch, LengthPitchAndPassThrough) {
  std::vector<int16_t> tone = stereoTone(10.0, 1000.0);
  const size_t inFrames = tone.size() / 2;

  // 1.0: the very samples, not a copy, and no stretcher behind them.
  TimeStretch same;
  same.configure(kRate, 2);
  std::vector<int16_t> scratch;
  size_t got = 0;
  const int16_t *p = same.process(tone.data(), 4096, scratch, got);
  EXPECT_EQ(p, tone.data());
  EXPECT_EQ(got, 4096u);
  EXPECT_TRUE(scratch.empty());
  EXPECT_TRUE(same.passThrough());

  for (float speed : {0.75f, 0.5f, 1.5f, 2.0f}) {
    TimeStretch ts;
    ts.setSpeed(speed);
    ts.configure(kRate, 2);
    EXPECT_FALSE(ts.passThrough());
    std::vector<int16_t> out = stretch(ts, tone, 1152);
    const double frames = static_cast<double>(out.size()) / 2;
    // Every input frame becomes 1/speed output frames: 10 s at 0.75 is 13.33 s.
    EXPECT_NEAR(frames, inFrames / speed, 2.0) << speed;
    std::vector<float> left = audiocheck::channel(out, 2, 0);
    // The pitch stays: the spectral peak of the middle of the stretched tone is 1 kHz. Faster
    // than 1.0 the phase vocoder spreads a pure tone over a few hertz.
    size_t mid = left.size() / 2;
    std::vector<float> window(left.begin() + mid - kRate, left.begin() + mid + kRate);
    EXPECT_NEAR(audiocheck::peakFrequency(window, kRate, 950, 1050), 1000.0, speed < 1 ? 2.0 : 5.0)
        << speed;
    // And the level too: a stretch is not a fade.
    EXPECT_NEAR(audiocheck::rmsDb(window), audiocheck::rmsDb(audiocheck::channel(tone, 2, 0)), 1.5)
        << speed;
    EXPECT_TRUE(ts.passThrough()) << "drained stretch left running";
  }
}

TEST(TimeStretch, SpeedChangesKeepEveryFrameAndNoHole) {
  std::vector<int16_t> tone = stereoTone(6.0, 440.0);
  TimeStretch ts;
  ts.configure(kRate, 2);
  std::vector<int16_t> out, scratch;
  double expected = 0;
  // Two seconds at 1.0, two at 0.5, two at 1.0 again: the stretch starts and is played out.
  const float speeds[] = {1.0f, 0.5f, 1.0f};
  const size_t block = 2048, perPart = 2 * kRate;
  for (int part = 0; part < 3; ++part) {
    ts.setSpeed(speeds[part]);
    for (size_t at = part * perPart; at < (part + 1) * perPart; at += block) {
      size_t n = std::min(block, (part + 1) * perPart - at);
      scratch.clear();
      size_t got = 0;
      const int16_t *p = ts.process(tone.data() + at * 2, n, scratch, got);
      out.insert(out.end(), p, p + got * 2);
      expected += n / speeds[part];
    }
  }
  // Back at 1.0 the stretch runs on to the end of the stream (no fade in mid-song).
  EXPECT_FALSE(ts.passThrough());
  ts.drain(out);
  EXPECT_TRUE(ts.passThrough());
  EXPECT_NEAR(static_cast<double>(out.size()) / 2, expected, 4.0);
  // No hole anywhere before the stream's own end (the drain's last 100 ms fade into the
  // silence it is padded with): every 20 ms keeps the tone; only the changes of ratio may dip a
  // little, for a few windows.
  std::vector<float> left = audiocheck::channel(out, 2, 0);
  const size_t win = kRate / 50;
  double fullDb = audiocheck::rmsDb(audiocheck::channel(tone, 2, 0));
  int dips = 0;
  for (size_t at = 0; at + 5 * win <= left.size(); at += win) {
    std::vector<float> w(left.begin() + at, left.begin() + at + win);
    double db = audiocheck::rmsDb(w);
    ASSERT_GT(db, fullDb - 12.0) << "hole at output frame " << at;
    dips += db < fullDb - 3.0;
  }
  EXPECT_LE(dips, 4);
  // The first two seconds passed untouched: the very input samples.
  for (size_t i = 0; i < 2 * perPart; ++i)
    ASSERT_EQ(out[i], tone[i]) << i;
  // The next stream at 1.0 passes untouched again.
  ts.configure(kRate, 2);
  EXPECT_TRUE(ts.passThrough());

  // A flush drops what the stretcher holds.
  ts.setSpeed(0.75f);
  scratch.clear();
  size_t got = 0;
  ts.process(tone.data(), 8192, scratch, got);
  EXPECT_GT(ts.pendingFrames(), 0u);
  ts.flush();
  EXPECT_EQ(ts.pendingFrames(), 0u);
  std::vector<int16_t> none;
  ts.drain(none);
  EXPECT_TRUE(none.empty());
}

TEST(TimeStretch, SongClockFollowsSpeedChanges) {
  SongClock clock;
  clock.reset(1000);
  EXPECT_EQ(clock.songFrameAt(0), 1000);
  EXPECT_EQ(clock.songFrameAt(500), 1500);
  // From output frame 1000 (song 2000) on at 0.5: two output frames a song frame.
  clock.mark(1000, 2000, 0.5f);
  EXPECT_EQ(clock.songFrameAt(999), 1999);
  EXPECT_EQ(clock.songFrameAt(3000), 3000);
  // From output 5000 (song 4000) at 2.0.
  clock.mark(5000, 4000, 2.0f);
  EXPECT_EQ(clock.songFrameAt(6000), 6000);
  // A later look never goes back to a segment already passed.
  EXPECT_EQ(clock.songFrameAt(5000), 4000);
  clock.reset();
  EXPECT_EQ(clock.songFrameAt(44100), 44100);
}

TEST(ReplayGain, ValuesGainsAndSaturation) {
  using engine::parseGainDb;
  using engine::parsePeak;
  using engine::parseR128;
  EXPECT_DOUBLE_EQ(*parseGainDb("-6.00 dB"), -6.0);
  EXPECT_DOUBLE_EQ(*parseGainDb("+3.5 DB"), 3.5);
  EXPECT_DOUBLE_EQ(*parseGainDb(" 2 "), 2.0);
  EXPECT_FALSE(parseGainDb("loud"));
  EXPECT_FALSE(parseGainDb("-6 dB extra"));
  EXPECT_FALSE(parseGainDb("999 dB"));
  EXPECT_FALSE(parseGainDb("nan"));
  EXPECT_DOUBLE_EQ(*parsePeak("0.988"), 0.988);
  EXPECT_FALSE(parsePeak("-1"));
  EXPECT_FALSE(parsePeak("0.9 dB"));
  // Q7.8 against -23 LUFS: -1280 is -5 dB there, 0 dB against ReplayGain's -18.
  EXPECT_DOUBLE_EQ(*parseR128("-1280"), 0.0);
  EXPECT_DOUBLE_EQ(*parseR128("256"), 6.0);
  EXPECT_FALSE(parseR128("1.5"));
  EXPECT_FALSE(parseR128("40000"));

  ReplayGainInfo none;
  EXPECT_DOUBLE_EQ(engine::replayGainFactor(none, false, 6.0, true), 1.0);
  ReplayGainInfo info;
  info.trackGainDb = -6.0;
  info.albumGainDb = -3.0;
  info.albumPeak = 0.5;
  EXPECT_NEAR(engine::replayGainFactor(info, false, 0, true), std::pow(10, -6.0 / 20), 1e-9);
  EXPECT_NEAR(engine::replayGainFactor(info, true, 0, true), std::pow(10, -3.0 / 20), 1e-9);
  EXPECT_NEAR(engine::replayGainFactor(info, false, 2.0, true), std::pow(10, -4.0 / 20), 1e-9);
  // +12 dB on a peak of 0.9 would clip: held to full scale, unless clipping is allowed.
  ReplayGainInfo loud;
  loud.trackGainDb = 12.0;
  loud.trackPeak = 0.9;
  EXPECT_NEAR(engine::replayGainFactor(loud, false, 0, true), 1 / 0.9, 1e-9);
  EXPECT_NEAR(engine::replayGainFactor(loud, false, 0, false), std::pow(10, 12.0 / 20), 1e-9);
  // Album mode on a song with a track gain only uses the track gain.
  EXPECT_NEAR(engine::replayGainFactor(loud, true, 0, true), 1 / 0.9, 1e-9);

  std::vector<int16_t> s = {1000, -1000, 30000, -30000, 0};
  std::vector<int16_t> same = s;
  engine::applyGain(same.data(), same.size(), 1.0);
  EXPECT_EQ(same, s);
  engine::applyGain(s.data(), s.size(), 2.0);
  EXPECT_EQ(s, (std::vector<int16_t>{2000, -2000, 32767, -32768, 0}));
}

TEST(ReplayGain, TagsOfEveryFormat) {
  TempHome home;
  struct Case {
    const char *file;
    std::vector<std::string> ffmpegArgs;
    double gainDb;
  };
  const std::vector<Case> cases = {
      {"vc.flac",
       {"-metadata", "REPLAYGAIN_TRACK_GAIN=-6.50 dB", "-metadata", "REPLAYGAIN_TRACK_PEAK=0.5",
        "-metadata", "ALBUM=Live"},
       -6.5},
      {"vc.ogg", {"-c:a", "libvorbis", "-metadata", "REPLAYGAIN_TRACK_GAIN=+2.25 dB"}, 2.25},
      // Opus: R128 (Q7.8) counts 5 dB more; its ReplayGain keys are ignored beside it.
      {"r128.opus",
       {"-c:a", "libopus", "-metadata", "R128_TRACK_GAIN=-2816", "-metadata",
        "REPLAYGAIN_TRACK_GAIN=+9 dB"},
       -6.0},
      // ffmpeg writes unknown keys of an MP3 as ID3v2 TXXX frames.
      {"txxx.mp3",
       {"-metadata", "REPLAYGAIN_TRACK_GAIN=-4.00 dB", "-metadata", "replaygain_album_gain=-5 dB"},
       -4.0},
  };
  for (const Case &c : cases) {
    std::string path = home.path(c.file);
    ASSERT_TRUE(audiocheck::ffmpegTone(path, 1.0, 440, c.ffmpegArgs)) << c.file;
    ReplayGainInfo info = engine::readReplayGain(path);
    ASSERT_TRUE(info.trackGainDb) << c.file;
    EXPECT_NEAR(*info.trackGainDb, c.gainDb, 1e-6) << c.file;
  }
  ReplayGainInfo flac = engine::readReplayGain(home.path("vc.flac"));
  EXPECT_NEAR(flac.trackPeak.value_or(0), 0.5, 1e-9);
  EXPECT_EQ(flac.album, "Live");
  EXPECT_NEAR(engine::readReplayGain(home.path("txxx.mp3")).albumGainDb.value_or(0), -5.0, 1e-9);

  // MP4 freeform items as iTunes-style taggers write them, any case.
  std::string m4a = home.path("free.m4a");
  ASSERT_TRUE(audiocheck::ffmpegTone(m4a, 1.0, 440, {"-c:a", "aac"}));
  {
    TagLib::MP4::File f(m4a.c_str());
    ASSERT_TRUE(f.isValid());
    f.tag()->setItem("----:com.apple.iTunes:replaygain_track_gain",
                     TagLib::StringList(TagLib::String("-7.10 dB")));
    f.tag()->setItem("----:com.apple.iTunes:REPLAYGAIN_ALBUM_GAIN",
                     TagLib::StringList(TagLib::String("-8 dB")));
    ASSERT_TRUE(f.save());
  }
  ReplayGainInfo mp4 = engine::readReplayGain(m4a);
  EXPECT_NEAR(mp4.trackGainDb.value_or(0), -7.1, 1e-9);
  EXPECT_NEAR(mp4.albumGainDb.value_or(0), -8.0, 1e-9);

  // An APE tag on an MP3 whose ID3v2 tag has no gains.
  std::string ape = home.path("ape.mp3");
  ASSERT_TRUE(audiocheck::ffmpegTone(ape, 1.0, 440, {"-metadata", "title=x"}));
  {
    TagLib::MPEG::File f(ape.c_str());
    ASSERT_TRUE(f.isValid());
    f.APETag(true)->addValue("REPLAYGAIN_TRACK_GAIN", "-3.30 dB");
    ASSERT_TRUE(f.save(TagLib::MPEG::File::AllTags, TagLib::File::StripNone));
  }
  EXPECT_NEAR(engine::readReplayGain(ape).trackGainDb.value_or(0), -3.3, 1e-9);

  // Untagged, unreadable, missing: no gain, no crash.
  std::string plain = home.path("plain.flac");
  ASSERT_TRUE(audiocheck::ffmpegTone(plain, 0.5, 440, {}));
  EXPECT_FALSE(engine::readReplayGain(plain).any());
  velora::test::writeFile(home.path("junk.flac"), "fLaC not really");
  EXPECT_FALSE(engine::readReplayGain(home.path("junk.flac")).any());
  EXPECT_FALSE(engine::readReplayGain(home.path("missing.ogg")).any());
}
