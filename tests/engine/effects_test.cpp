// The output stage's effects on their own: the SoundTouch speed control (lengths, pitch, the
// changes between stretching and passing through) and ReplayGain (tag values, gains, the tags
// of every format as taggers and encoders write them, the gain switched at a song's start).
#include "audiocheck.h"
#include "replaygain.h"
#include "stage/replaygaineffect.h"
#include "stage/speedeffect.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <taglib/apetag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <future>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <vector>

using engine::ReplayGainInfo;
using engine::stage::ReplayGainEffect;
using engine::stage::SpeedEffect;
using velora::test::TempHome;

namespace {

constexpr int kRate = 44100;

// Interleaved stereo tone of `seconds` at `hz`, amplitude 0.5 of full scale.
std::vector<float> stereoTone(double seconds, double hz) {
  size_t frames = static_cast<size_t>(seconds * kRate);
  std::vector<float> s(frames * 2);
  for (size_t i = 0; i < frames; ++i)
    s[2 * i] = s[2 * i + 1] = static_cast<float>(0.5 * std::sin(2 * M_PI * hz * i / kRate));
  return s;
}

std::vector<float> left(const std::vector<float> &stereo, size_t from = 0, size_t frames = ~0ul) {
  std::vector<float> out;
  for (size_t i = from; i < stereo.size() / 2 && i - from < frames; ++i)
    out.push_back(stereo[2 * i]);
  return out;
}

// Runs frames through the effect in blocks of `block` frames, like a decoder writing, the way
// the stage does: an inactive effect is skipped.
void run(SpeedEffect &fx, const float *in, size_t frames, size_t block, std::vector<float> &out) {
  for (size_t at = 0; at < frames; at += block) {
    size_t n = std::min(block, frames - at);
    if (fx.active())
      fx.process(in + at * 2, n, out);
    else
      out.insert(out.end(), in + at * 2, in + (at + n) * 2);
  }
}

} // namespace

TEST(SpeedEffect, LengthPitchAndPassThrough) {
  std::vector<float> tone = stereoTone(10.0, 1000.0);
  const size_t inFrames = tone.size() / 2;
  const double toneDb = audiocheck::rmsDb(left(tone));

  // 1.0: nothing to do, so the stage hands the samples on untouched.
  SpeedEffect same;
  same.configure({kRate, 2});
  EXPECT_FALSE(same.active());
  EXPECT_DOUBLE_EQ(same.timeRatio(), 1.0);

  for (float speed : {0.75f, 0.5f, 1.5f, 2.0f}) {
    SpeedEffect fx;
    fx.configure({kRate, 2});
    fx.setSpeed(speed);
    EXPECT_TRUE(fx.active());
    EXPECT_DOUBLE_EQ(fx.timeRatio(), speed);
    std::vector<float> out;
    run(fx, tone.data(), inFrames, 1152, out);
    // What the stretcher holds is counted as song time not yet heard.
    EXPECT_NEAR(fx.latencySeconds(), fx.pendingFrames() * speed / kRate, 1e-6);
    EXPECT_GT(fx.pendingFrames(), 0u);
    fx.drain(out);
    EXPECT_FALSE(fx.stretching()) << "drained stretch left running";
    const double frames = static_cast<double>(out.size()) / 2;
    // Every input frame becomes 1/speed output frames: 10 s at 0.75 is 13.33 s.
    EXPECT_NEAR(frames, inFrames / speed, 2.0) << speed;
    // The pitch stays: the spectral peak of the stretched tone (all but its edges) is 1 kHz.
    std::vector<float> window = left(out, kRate / 2, static_cast<size_t>(frames) - kRate);
    EXPECT_NEAR(audiocheck::peakFrequency(window, kRate, 980, 1020), 1000.0, 2.0) << speed;
    // And the level too: a stretch is not a fade (a pure tone beats a little where the
    // stretcher's overlapping pieces meet).
    EXPECT_NEAR(audiocheck::rmsDb(window), toneDb, 2.5) << speed;
  }
}

TEST(SpeedEffect, SpeedChangesKeepEveryFrameAndNoHole) {
  std::vector<float> tone = stereoTone(6.0, 440.0);
  SpeedEffect fx;
  fx.configure({kRate, 2});
  std::vector<float> out;
  // Two seconds at 1.0, two at 0.5, two at 1.0 again.
  const float speeds[] = {1.0f, 0.5f, 1.0f};
  const size_t perPart = 2 * kRate;
  double expected = 0;
  for (int part = 0; part < 3; ++part) {
    fx.setSpeed(speeds[part]);
    run(fx, tone.data() + part * perPart * 2, perPart, 2048, out);
    expected += perPart / speeds[part];
  }
  // Back at 1.0 the stretch runs on to the end of the stream (no fade in mid-song).
  EXPECT_TRUE(fx.active());
  fx.drain(out);
  EXPECT_FALSE(fx.active());
  EXPECT_NEAR(static_cast<double>(out.size()) / 2, expected, 4.0);
  // No hole anywhere before the stream's own end (the drain's last 100 ms fade into the
  // silence it is padded with): every 20 ms keeps the tone; only the changes of ratio may dip a
  // little, for a few windows.
  std::vector<float> l = left(out);
  const size_t win = kRate / 50;
  double fullDb = audiocheck::rmsDb(left(tone));
  int dips = 0;
  for (size_t at = 0; at + 5 * win <= l.size(); at += win) {
    std::vector<float> w(l.begin() + at, l.begin() + at + win);
    double db = audiocheck::rmsDb(w);
    ASSERT_GT(db, fullDb - 12.0) << "hole at output frame " << at;
    dips += db < fullDb - 3.0;
  }
  EXPECT_LE(dips, 4);
  // The first two seconds passed untouched: the very input samples.
  for (size_t i = 0; i < 2 * perPart; ++i)
    ASSERT_EQ(out[i], tone[i]) << i;
  // The next stream at 1.0 passes untouched again.
  fx.configure({kRate, 2});
  EXPECT_FALSE(fx.active());

  // A flush (a seek) drops what the stretcher holds; at 1.0 nothing runs after it.
  fx.setSpeed(0.75f);
  std::vector<float> some;
  fx.process(tone.data(), 8192, some);
  EXPECT_GT(fx.pendingFrames(), 0u);
  fx.setSpeed(1.0f);
  fx.flush();
  EXPECT_EQ(fx.pendingFrames(), 0u);
  EXPECT_FALSE(fx.active());
  std::vector<float> none;
  fx.drain(none);
  EXPECT_TRUE(none.empty());
}

TEST(ReplayGain, EffectSwitchesAtTheSongStart) {
  ReplayGainEffect fx;
  fx.configure({kRate, 2});
  fx.setSettings(ReplayGainEffect::Mode::Auto, 0.0, true);
  ReplayGainInfo tagged;
  tagged.trackGainDb = -6.0;
  tagged.albumGainDb = -10.0;
  tagged.album = "A";
  // Prepared for one file, the gain comes only when that file starts.
  fx.prepare("/m/a.flac", tagged, false);
  EXPECT_FALSE(fx.active());
  fx.songChanged("/m/a.flac");
  EXPECT_NEAR(fx.factor(), std::pow(10, -6.0 / 20), 1e-9);
  std::vector<float> in = {0.5f, -0.5f, 0.25f, 0.0f}, out = {9.0f};
  fx.process(in.data(), 2, out);
  ASSERT_EQ(out.size(), 5u);
  EXPECT_EQ(out[0], 9.0f); // appended, not replaced
  EXPECT_NEAR(out[1], 0.5 * std::pow(10, -6.0 / 20), 1e-6);
  EXPECT_NEAR(out[2], -0.5 * std::pow(10, -6.0 / 20), 1e-6);
  // Auto in a run of one album's songs takes the album gain; the modes apply at once.
  fx.prepare("/m/b.flac", tagged, true);
  fx.songChanged("/m/b.flac");
  EXPECT_NEAR(fx.factor(), std::pow(10, -10.0 / 20), 1e-9);
  fx.setSettings(ReplayGainEffect::Mode::Track, 0.0, true);
  EXPECT_NEAR(fx.factor(), std::pow(10, -6.0 / 20), 1e-9);
  fx.setSettings(ReplayGainEffect::Mode::Album, 3.0, true);
  EXPECT_NEAR(fx.factor(), std::pow(10, -7.0 / 20), 1e-9);
  fx.setSettings(ReplayGainEffect::Mode::Off, 3.0, true);
  EXPECT_FALSE(fx.active());
  // A song that nobody prepared plays untouched, not at the last song's gain.
  fx.setSettings(ReplayGainEffect::Mode::Track, 0.0, true);
  fx.songChanged("/m/c.flac");
  EXPECT_FALSE(fx.active());
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
  // A FIFO named like a song is not opened (that would wait for a writer for ever).
  std::string fifo = home.path("pipe.flac");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // A thread of its own, left behind if it blocks, so the test fails instead of hanging.
  auto done = std::make_shared<std::promise<bool>>();
  std::future<bool> tagged = done->get_future();
  std::thread([fifo, done] { done->set_value(engine::readReplayGain(fifo).any()); }).detach();
  ASSERT_EQ(tagged.wait_for(std::chrono::seconds(10)), std::future_status::ready)
      << "reading a FIFO's tags blocked";
  EXPECT_FALSE(tagged.get());
}
