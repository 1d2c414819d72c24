// ReplayGain and the playback speed through a real engine process: what the disk writer
// records (length, pitch, level), the song time the engine reports while playing slowed down
// on the null output, and the settings kept across starts.
#include "audiocheck.h"
#include "testenv.h"

#include <gtest/gtest.h>
#include <xmms/xmmsctrl.h>

#include <chrono>
#include <cmath>
#include <cstdlib>

using velora::test::EngineProcess;
using velora::test::readFile;
using velora::test::TempHome;
using velora::test::waitUntil;
using velora::test::writeFile;
using Clock = std::chrono::steady_clock;

namespace {

void configure(const TempHome &home, const std::string &output, const std::string &xmmsKeys) {
  writeFile(home.path(".xmms/config"),
            "[xmms]\noutput_plugin=" + output + "\nshuffle=FALSE\n" + xmmsKeys +
                "[disk_writer]\ncontinuous=TRUE\nfile=" + home.path("out.wav") + "\n");
}

void playlist(const TempHome &home, const std::vector<std::string> &files) {
  std::string text;
  for (const auto &f : files)
    text += f + "\n";
  writeFile(home.path(".xmms/xmms.m3u"), text);
}

// Plays the playlist from its first entry to the end on the disk writer; the recording.
audiocheck::Wav record(const TempHome &home) {
  std::remove(home.path("out.wav").c_str());
  EngineProcess engine;
  if (!engine.start())
    return {};
  xmms_remote_play(0);
  waitUntil([] { return xmms_remote_is_playing(0) != 0; }, 5000);
  waitUntil([] { return xmms_remote_is_playing(0) == 0; }, 60000);
  engine.stop();
  return audiocheck::readWav(home.path("out.wav"));
}

double levelDb(const audiocheck::Wav &w) {
  return audiocheck::rmsDb(audiocheck::channel(w.samples, w.channels, 0));
}

// The level of the recording's first second (the first song of a gapless run).
double firstSecondDb(const audiocheck::Wav &w) {
  std::vector<float> first = audiocheck::channel(w.samples, w.channels, 0);
  first.resize(std::min<size_t>(first.size(), static_cast<size_t>(w.rate)));
  return audiocheck::rmsDb(first);
}

// A lavfi source into a file, with extra ffmpeg arguments before the name.
bool make(const std::string &path, const std::string &source,
          const std::vector<std::string> &extra = {}) {
  std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-loglevel", "error", "-y",
                                   "-f",     "lavfi",    "-i",        source};
  argv.insert(argv.end(), extra.begin(), extra.end());
  argv.push_back(path);
  return audiocheck::run(argv);
}

const char kTone1k[] = "aevalsrc=0.5*sin(2*PI*1000*t)|0.5*sin(2*PI*1000*t):s=44100:d=10";

} // namespace

TEST(EngineSpeed, SlowedSongKeepsPitchAndSongTime) {
  TempHome home;
  std::string tone = home.path("tone.wav");
  ASSERT_TRUE(make(tone, kTone1k));
  playlist(home, {tone});

  // Recorded at 0.75: 10 s of song last 13.33 s, still at 1 kHz.
  configure(home, "libdiskwriter.so", "playback_speed=0.75\n");
  audiocheck::Wav slow = record(home);
  ASSERT_EQ(slow.channels, 2);
  ASSERT_EQ(slow.rate, 44100);
  EXPECT_NEAR(slow.seconds(), 10.0 / 0.75, 10.0 / 0.75 * 0.005);
  std::vector<float> left = audiocheck::channel(slow.samples, 2, 0);
  std::vector<float> middle(left.begin() + 44100, left.end() - 44100);
  EXPECT_NEAR(audiocheck::peakFrequency(middle, 44100, 980, 1020), 1000.0, 2.0);

  // At 1.0 the recording is the file's very samples.
  configure(home, "libdiskwriter.so", "playback_speed=1.0\n");
  audiocheck::Wav same = record(home);
  audiocheck::Wav original = audiocheck::readWav(tone);
  ASSERT_FALSE(original.samples.empty());
  EXPECT_TRUE(same.samples == original.samples) << same.samples.size() << " samples recorded";

  // On the null output, in real time: the engine reports song time, which runs at 0.75 of
  // the clock on the wall, and a seek to 5 s lands at song time 5 s.
  configure(home, "libnullout.so", "playback_speed=0.75\n");
  EngineProcess engine;
  ASSERT_TRUE(engine.start());
  EXPECT_FLOAT_EQ(xmms_remote_get_speed(0), 0.75f);
  xmms_remote_play(0);
  ASSERT_TRUE(waitUntil([] { return xmms_remote_get_output_time(0) >= 500; }, 10000));
  int t1 = xmms_remote_get_output_time(0);
  auto w1 = Clock::now();
  ASSERT_TRUE(waitUntil([&] { return Clock::now() - w1 > std::chrono::milliseconds(2000); }, 5000));
  int t2 = xmms_remote_get_output_time(0);
  double wall = std::chrono::duration<double, std::milli>(Clock::now() - w1).count();
  // A loaded machine can only make the song lag (the decoder late), never run ahead: 1.0
  // would be the output's clock instead of song time.
  EXPECT_GT((t2 - t1) / wall, 0.55) << t1 << " -> " << t2 << " in " << wall << " ms";
  EXPECT_LT((t2 - t1) / wall, 0.9) << t1 << " -> " << t2 << " in " << wall << " ms";
  EXPECT_NEAR(xmms_remote_get_playlist_time(0, 0), 10000, 50); // the song's own length
  xmms_remote_jump_to_time(0, 5000);
  ASSERT_TRUE(waitUntil(
      [] {
        int t = xmms_remote_get_output_time(0);
        return t >= 5000 && t < 6000;
      },
      5000))
      << xmms_remote_get_output_time(0);
  // ... and goes on from there at the same pace.
  int t3 = xmms_remote_get_output_time(0);
  auto w3 = Clock::now();
  ASSERT_TRUE(waitUntil([&] { return Clock::now() - w3 > std::chrono::milliseconds(1500); }, 5000));
  int t4 = xmms_remote_get_output_time(0);
  double wall2 = std::chrono::duration<double, std::milli>(Clock::now() - w3).count();
  EXPECT_GE(t3, 5000);
  EXPECT_GT((t4 - t3) / wall2, 0.55) << t3 << " -> " << t4;
  EXPECT_LT((t4 - t3) / wall2, 0.9) << t3 << " -> " << t4;
  EXPECT_EQ(engine.stop(), 0);
}

TEST(EngineSpeed, SongsInARowAreSlowedAcrossTheJoin) {
  TempHome home;
  const std::string tone = "aevalsrc=0.5*sin(2*PI*500*t)|0.5*sin(2*PI*500*t):s=44100:d=3";
  std::string a = home.path("a.wav"), b = home.path("b.wav");
  ASSERT_TRUE(make(a, tone));
  ASSERT_TRUE(make(b, tone));
  playlist(home, {a, b});
  configure(home, "libdiskwriter.so", "playback_speed=0.75\n");
  audiocheck::Wav w = record(home);
  // Two 3-second songs at 0.75 take 8 seconds, with no hole where they meet.
  EXPECT_NEAR(w.seconds(), 6.0 / 0.75, 6.0 / 0.75 * 0.005);
  std::vector<float> left = audiocheck::channel(w.samples, 2, 0);
  const size_t win = 441; // 10 ms
  const double full =
      audiocheck::rmsDb(std::vector<float>(left.begin() + 44100, left.end() - 44100));
  for (size_t at = 4410; at + win + 4410 <= left.size(); at += win) {
    std::vector<float> part(left.begin() + at, left.begin() + at + win);
    ASSERT_GT(audiocheck::rmsDb(part), full - 6.0) << "hole at " << at / 44.1 << " ms";
  }
}

TEST(EngineSpeed, RemoteCallsRoundAndTheSpeedIsKept) {
  TempHome home;
  configure(home, "libnullout.so", "");
  {
    EngineProcess engine;
    ASSERT_TRUE(engine.start());
    EXPECT_FLOAT_EQ(xmms_remote_get_speed(0), 1.0f); // nothing set: normal speed
    const std::pair<float, float> cases[] = {{0.77f, 0.75f}, {5.0f, 2.0f}, {0.1f, 0.5f},
                                             {1.26f, 1.25f}, {NAN, 1.0f},  {-3.0f, 0.5f},
                                             {1.52f, 1.5f},  {0.5f, 0.5f}};
    for (auto [asked, plays] : cases) {
      xmms_remote_set_speed(0, asked);
      EXPECT_FLOAT_EQ(xmms_remote_get_speed(0), plays) << asked;
    }
    xmms_remote_set_speed(0, 0.8f);
    EXPECT_EQ(xmms_remote_get_replaygain_mode(0), 3); // auto unless told otherwise
    xmms_remote_set_replaygain_mode(0, 1);
    xmms_remote_set_replaygain_mode(0, 7); // not a mode: ignored
    EXPECT_EQ(xmms_remote_get_replaygain_mode(0), 1);
    EXPECT_EQ(engine.stop(), 0);
  }
  std::string config = readFile(home.path(".xmms/config"));
  EXPECT_NE(config.find("playback_speed=0.8"), std::string::npos) << config;
  EXPECT_NE(config.find("replaygain_mode=track"), std::string::npos) << config;
  EngineProcess again;
  ASSERT_TRUE(again.start());
  EXPECT_FLOAT_EQ(xmms_remote_get_speed(0), 0.8f);
  EXPECT_EQ(xmms_remote_get_replaygain_mode(0), 1);
  EXPECT_EQ(again.stop(), 0);
  // No engine: the empty answers.
  EXPECT_EQ(xmms_remote_get_speed(0), 0.0f);
  EXPECT_EQ(xmms_remote_get_replaygain_mode(0), -1);
}

TEST(EngineReplayGain, TaggedSongsPlayAtTheirGain) {
  TempHome home;
  const std::string tone = "aevalsrc=0.25*sin(2*PI*440*t)|0.25*sin(2*PI*440*t):s=44100:d=2";
  std::string plain = home.path("plain.flac"), quiet = home.path("quiet.flac");
  ASSERT_TRUE(make(plain, tone));
  ASSERT_TRUE(make(quiet, tone, {"-metadata", "REPLAYGAIN_TRACK_GAIN=-6.00 dB"}));
  configure(home, "libdiskwriter.so", "replaygain_mode=track\n");
  playlist(home, {plain});
  double plainDb = levelDb(record(home));
  playlist(home, {quiet});
  double quietDb = levelDb(record(home));
  EXPECT_NEAR(plainDb - quietDb, 6.0, 0.1);
  // Off: the tag is ignored.
  configure(home, "libdiskwriter.so", "replaygain_mode=off\n");
  EXPECT_NEAR(levelDb(record(home)), plainDb, 0.01);
  // Slowed down, the gain is applied beside the speed effect in float rather than folded into
  // the 16-bit volume step: the same 6 dB.
  configure(home, "libdiskwriter.so", "replaygain_mode=track\nplayback_speed=0.75\n");
  playlist(home, {plain});
  double slowPlainDb = levelDb(record(home));
  playlist(home, {quiet});
  EXPECT_NEAR(slowPlainDb - levelDb(record(home)), 6.0, 0.1);
  EXPECT_NEAR(slowPlainDb, plainDb, 0.2);
  configure(home, "libdiskwriter.so", "replaygain_mode=track\n");

  // +12 dB on a song whose peak is 0.9: held at full scale, no flattened tops; with clipping
  // allowed the tops are cut off.
  const std::string high = "aevalsrc=0.9*sin(2*PI*440*t)|0.9*sin(2*PI*440*t):s=44100:d=2";
  std::string loud = home.path("loud.flac");
  ASSERT_TRUE(make(
      loud, high,
      {"-metadata", "REPLAYGAIN_TRACK_GAIN=+12 dB", "-metadata", "REPLAYGAIN_TRACK_PEAK=0.9"}));
  playlist(home, {loud});
  // Samples at full scale whose neighbour on the channel is at full scale too: a top cut
  // flat (a sine scaled to exactly full scale touches it in single samples only).
  auto saturated = [](const audiocheck::Wav &w) {
    size_t flat = 0;
    int peak = 0;
    const size_t nch = static_cast<size_t>(w.channels);
    for (size_t i = 0; i < w.samples.size(); ++i) {
      int v = std::abs(static_cast<int>(w.samples[i]));
      peak = std::max(peak, v);
      flat += i >= nch && v >= 32767 && std::abs(static_cast<int>(w.samples[i - nch])) >= 32767;
    }
    return std::make_pair(flat, peak);
  };
  configure(home, "libdiskwriter.so", "replaygain_mode=track\n");
  audiocheck::Wav held = record(home);
  ASSERT_FALSE(held.samples.empty());
  auto [heldFlat, heldPeak] = saturated(held);
  EXPECT_GE(heldPeak, 32000); // the gain was applied, up to full scale
  EXPECT_EQ(heldFlat, 0u) << "tops flattened";
  configure(home, "libdiskwriter.so", "replaygain_mode=track\nreplaygain_clip=FALSE\n");
  audiocheck::Wav cut = record(home);
  EXPECT_GT(saturated(cut).first, cut.samples.size() / 10);

  // Auto: songs of one album in a row play at the album gain.
  std::string a1 = home.path("a1.flac"), a2 = home.path("a2.flac");
  for (const std::string &f : {a1, a2})
    ASSERT_TRUE(make(f, tone,
                     {"-metadata", "ALBUM=Live", "-metadata", "REPLAYGAIN_TRACK_GAIN=-6 dB",
                      "-metadata", "REPLAYGAIN_ALBUM_GAIN=-10 dB"}));
  configure(home, "libdiskwriter.so", "replaygain_mode=auto\n");
  playlist(home, {a1, a2});
  EXPECT_NEAR(plainDb - firstSecondDb(record(home)), 10.0, 0.1);
  // A song alone in its album plays at its track gain.
  playlist(home, {a1, plain});
  EXPECT_NEAR(plainDb - firstSecondDb(record(home)), 6.0, 0.1);
}

TEST(EngineReplayGain, OpusR128GainIsHonoured) {
  TempHome home;
  const std::string tone = "aevalsrc=0.25*sin(2*PI*440*t)|0.25*sin(2*PI*440*t):s=48000:d=2";
  std::string plain = home.path("plain.opus"), tagged = home.path("tagged.opus");
  ASSERT_TRUE(make(plain, tone, {"-c:a", "libopus", "-b:a", "96k"}));
  // The same packets, with a track gain of -11 dB against -23 LUFS: -6 dB against -18.
  ASSERT_TRUE(audiocheck::run({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", plain, "-c",
                               "copy", "-metadata", "R128_TRACK_GAIN=-2816", tagged}));
  configure(home, "libdiskwriter.so", "replaygain_mode=track\n");
  playlist(home, {plain});
  double plainDb = levelDb(record(home));
  playlist(home, {tagged});
  double taggedDb = levelDb(record(home));
  EXPECT_GT(plainDb, -30.0);
  EXPECT_NEAR(plainDb - taggedDb, 6.0, 0.1);
}

// Kinds the catch-all plug-in plays keep their gains where TagLib's generic properties do not
// look: WMA as attributes of the tagger's own spelling, True Audio in an APEv2 tag at its end.
TEST(EngineReplayGain, WmaAndTrueAudioGainsAreHonoured) {
  if (!velora::test::fileExists(velora::test::stageDir() + "/lib/xmms/Input/libffmpeginput.so"))
    GTEST_SKIP() << "the FFmpeg input plug-in is not built";
  TempHome home;
  const std::string tone = "aevalsrc=0.25*sin(2*PI*440*t)|0.25*sin(2*PI*440*t):s=44100:d=2";
  struct Kind {
    const char *ext;
    std::vector<std::string> codec;
    const char *key;
  };
  const Kind kinds[] = {{"wma", {"-c:a", "wmav2", "-b:a", "128k"}, "replaygain_album_gain"},
                        {"tta", {"-c:a", "tta"}, "REPLAYGAIN_TRACK_GAIN"}};
  configure(home, "libdiskwriter.so", "replaygain_mode=track\n");
  for (const Kind &k : kinds) {
    std::string plain = home.path(std::string("plain.") + k.ext);
    std::string quiet = home.path(std::string("quiet.") + k.ext);
    std::vector<std::string> tagged = k.codec;
    tagged.insert(tagged.end(), {"-metadata", std::string(k.key) + "=-6.00 dB"});
    ASSERT_TRUE(make(plain, tone, k.codec)) << k.ext;
    ASSERT_TRUE(make(quiet, tone, tagged)) << k.ext;
    playlist(home, {plain});
    double plainDb = levelDb(record(home));
    playlist(home, {quiet});
    double quietDb = levelDb(record(home));
    EXPECT_GT(plainDb, -30.0) << k.ext << ": the song was heard";
    EXPECT_NEAR(plainDb - quietDb, 6.0, 0.1) << k.ext;
  }
}
