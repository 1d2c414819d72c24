// The catch-all FFmpeg plug-in: every kind of file it is there for, made with ffmpeg at test
// time, loaded with dlopen and played into a recording output, then a playlist of all of them
// with a cut and a garbage copy of each through the real engine and its disk writer.
#include "harness.h"
#include "media.h"
#include "testenv.h"

#include <xmms/xmmsctrl.h>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>

using namespace inputs_test;
using velora::test::EngineProcess;
using velora::test::fileExists;
using velora::test::readFile;
using velora::test::TempHome;
using velora::test::waitUntil;
using velora::test::writeFile;

namespace {

constexpr double kSeconds = 2.0;

struct Kind {
  const char *file;
  int rate, channels;
  std::vector<std::string> codec; // ffmpeg output options
  bool lossless;
  bool tagged; // the container keeps the title and artist given
};

// A distinct rate for each kind tells the songs apart in what the disk writer wrote.
const std::vector<Kind> &kinds() {
  static const std::vector<Kind> list = {
      {"tune.alac", 44100, 2, {"-c:a", "alac", "-f", "mp4"}, true, true},
      {"book.m4b", 22050, 1, {"-c:a", "aac", "-b:a", "64k", "-f", "ipod"}, false, true},
      {"pack.wv", 32000, 2, {"-c:a", "wavpack"}, true, true},
      {"apple.aiff", 48000, 2, {"-c:a", "pcm_s16be", "-write_id3v2", "1"}, true, true},
      {"alaw.wav", 8000, 1, {"-c:a", "pcm_alaw"}, false, true},
      {"wide.wav", 16000, 2, {"-rf64", "always"}, true, true},
      {"double.wav", 12000, 1, {"-c:a", "pcm_f64le"}, true, true},
      {"lossless.oga", 24000, 2, {"-c:a", "flac", "-f", "ogg"}, true, true},
  };
  return list;
}

// A 440 Hz tone whose loudness grows with time (0 to 0.8 of full scale over the song): the
// level heard right after a seek tells where the seek landed.
std::vector<std::string> rampSource(int rate, double seconds, int channels = 1) {
  char one[80], expr[240];
  std::snprintf(one, sizeof one, "0.8*t/%g*sin(2*PI*440*t)", seconds);
  std::snprintf(expr, sizeof expr, "aevalsrc=exprs=%s%s%s:s=%d:d=%g", one, channels == 2 ? "|" : "",
                channels == 2 ? one : "", rate, seconds);
  return {"-f", "lavfi", "-i", expr};
}

std::string make(const TempHome &home, const Kind &k) {
  std::string out = home.path(std::string("media/") + k.file);
  velora::test::makeDirs(home.path("media"));
  std::vector<std::string> args = rampSource(k.rate, kSeconds, k.channels);
  args.insert(args.end(), {"-metadata", "title=Ramp", "-metadata", "artist=Maker"});
  args.insert(args.end(), k.codec.begin(), k.codec.end());
  return ffmpegMakes(args, out) ? out : std::string();
}

// An Ogg file with two FLAC streams (the second one louder): the plug-in plays one of them,
// whole.
std::string makeTwoStreamOgg(const TempHome &home) {
  std::string out = home.path("media/two.ogg");
  std::vector<std::string> args = rampSource(11025, kSeconds);
  args.insert(args.end(), {"-f", "lavfi", "-i", "sine=f=300:r=11025:d=2", "-map", "0:a", "-map",
                           "1:a", "-c:a", "flac", "-f", "ogg"});
  return ffmpegMakes(args, out) ? out : std::string();
}

// Level of the tone (0..1) over the first 20 ms of pcm.
double levelAtStart(const std::vector<int16_t> &pcm, int rate, int channels) {
  size_t n = std::min(pcm.size(), size_t(rate) * channels / 50);
  return n ? rms(pcm.data(), n) * std::sqrt(2.0) / 32768.0 : 0;
}

std::string cutCopy(const std::string &from, const std::string &to, double share) {
  std::string bytes = readFile(from);
  writeFile(to, bytes.substr(0, size_t(double(bytes.size()) * share)));
  return to;
}

std::string garbage(const std::string &to, unsigned seed) {
  std::mt19937 gen(seed);
  std::string bytes(20000, '\0');
  for (char &c : bytes)
    c = static_cast<char>(gen());
  writeFile(to, bytes);
  return to;
}

bool haveFfmpeg() {
  TempHome probe;
  return ffmpegMakes({"-f", "lavfi", "-i", "sine=d=0.1"}, probe.path("probe.wav"));
}

TEST(FfmpegInput, EveryKindPlaysWholeWithTitleAndSeeksExactly) {
  if (!haveFfmpeg())
    GTEST_SKIP() << "no ffmpeg command to make the media with";
  Plugin p("ffmpeginput");
  ASSERT_TRUE(p.loaded()) << p.error();
  void *lib = dlopen((velora::test::stageDir() + "/lib/xmms/Input/libffmpeginput.so").c_str(),
                     RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(lib, nullptr);
  auto priority =
      reinterpret_cast<VeloraInputPriorityFunc>(dlsym(lib, VELORA_INPUT_PRIORITY_SYMBOL));
  ASSERT_NE(priority, nullptr);
  EXPECT_LT(priority(), 0) << "asked after every other plug-in";
  dlclose(lib);
  TempHome home;
  Recorder &rec = Recorder::instance();
  std::vector<Kind> all = kinds();
  all.push_back({"two.ogg", 11025, 1, {}, true, false});
  for (const Kind &k : all) {
    SCOPED_TRACE(k.file);
    std::string file = std::string(k.file) == "two.ogg" ? makeTwoStreamOgg(home) : make(home, k);
    ASSERT_FALSE(file.empty()) << "ffmpeg could not make the file";
    EXPECT_EQ(p->is_our_file(file.data()), 1);

    rec.reset();
    std::string diag;
    ASSERT_TRUE(p.playToEnd(file, 20000, &diag));
    EXPECT_EQ(diag, "");
    Recording r = rec.snapshot();
    EXPECT_EQ(r.format, FMT_S16_NE);
    EXPECT_EQ(r.rate, k.rate);
    EXPECT_EQ(r.channels, k.channels);
    double seconds = double(r.all.size()) / k.rate / k.channels;
    if (k.lossless) {
      EXPECT_EQ(r.all.size(), size_t(kSeconds * k.rate) * k.channels) << "not a sample more";
    } else {
      EXPECT_NEAR(seconds, kSeconds, 0.1) << "encoder delay and padding trimmed";
    }
    EXPECT_NEAR(r.length, kSeconds * 1000, 100);
    // The ramp ends near 0.8 of full scale: the tone is there, at its level.
    std::vector<int16_t> tail(
        r.all.end() - std::min<size_t>(r.all.size(), k.rate / 50 * k.channels), r.all.end());
    EXPECT_NEAR(levelAtStart(tail, k.rate, k.channels), 0.8, 0.08);
    if (k.tagged) {
      EXPECT_EQ(r.title, "Maker - Ramp");
    } else {
      EXPECT_EQ(r.title, file.substr(file.rfind('/') + 1));
    }

    // Seek to 1 s while the output holds half a second.
    rec.reset();
    const long long frameBytes = 2LL * k.channels, half = k.rate / 2 * frameBytes;
    rec.setLimitBytes(half);
    StdoutCapture capture;
    p->play_file(file.data());
    ASSERT_TRUE(waitUntil([&] { return rec.bytesSinceFlush() >= half; }, 10000));
    p->seek(1);
    Recording before = rec.snapshot();
    ASSERT_FALSE(before.flushes.empty());
    EXPECT_NEAR(before.flushes.back(), 1000, 10);
    rec.setLimitBytes(LLONG_MAX);
    ASSERT_TRUE(waitUntil([&] { return p->get_time() == -1; }, 10000));
    p->stop();
    EXPECT_EQ(capture.finish(), "");
    Recording after = rec.snapshot();
    // The level right after the seek is that of 1 s into the song: 0.4 give or take 0.1 s.
    EXPECT_NEAR(levelAtStart(after.sinceFlush, k.rate, k.channels), 0.4, 0.8 * 0.1 / kSeconds);
    EXPECT_NEAR(double(after.sinceFlush.size()) / k.rate / k.channels, kSeconds - 1, 0.1);
  }

  // Not ours: garbage, a text file, nothing at all, a missing file.
  std::string junk = garbage(home.path("junk.wv"), 7);
  std::string text = home.path("notes.m4b");
  writeFile(text, "these are my notes, not a song\n");
  std::string empty = home.path("empty.aiff");
  writeFile(empty, "");
  std::string missing = home.path("missing.wv");
  for (std::string *f : {&junk, &text, &empty, &missing})
    EXPECT_EQ(p->is_our_file(f->data()), 0) << *f;
}

TEST(FfmpegInput, EngineOrdersPluginsAndPlaysEveryKindPastCutAndGarbageCopies) {
  if (!fileExists(velora::test::stageDir() + "/bin/xmms") ||
      !fileExists(velora::test::stageDir() + "/lib/xmms/Output/libdiskwriter.so") ||
      !fileExists(velora::test::stageDir() + "/lib/xmms/Input/libffmpeginput.so"))
    GTEST_SKIP() << "the engine, its disk writer or the FFmpeg plug-in is not built";
  if (!haveFfmpeg())
    GTEST_SKIP() << "no ffmpeg command to make the media with";
  TempHome home;
  std::vector<Kind> all = kinds();
  all.push_back({"two.ogg", 11025, 1, {}, true, false});
  // The whole files first: each is of another format, so the disk writer's session puts each
  // in a file of its own. Then a cut and a garbage copy of each, and a last song that must
  // still play after them.
  std::string list, broken;
  unsigned seed = 1;
  for (const Kind &k : all) {
    std::string file = std::string(k.file) == "two.ogg" ? makeTwoStreamOgg(home) : make(home, k);
    ASSERT_FALSE(file.empty()) << k.file;
    std::string ext = file.substr(file.rfind('.'));
    list += file + "\n";
    broken += cutCopy(file, home.path("media/cut" + std::to_string(seed) + ext), 0.6) + "\n";
    broken += garbage(home.path("media/junk" + std::to_string(seed) + ext), seed) + "\n";
    ++seed;
  }
  // The engine's own WAV plug-in keeps the files it plays.
  std::string last = home.path("media/last.wav");
  writeFile(last, velora::test::toneWav(1.0));
  writeFile(home.path(".xmms/xmms.m3u"), list + broken + last + "\n");
  std::string out = home.path("out.wav");
  writeFile(home.path(".xmms/config"), diskWriterConfig(out) + "continuous=TRUE\n");

  EngineProcess engine;
  ASSERT_TRUE(engine.start());
  xmms_remote_set_main_volume(0, 100);
  xmms_remote_play(0);
  ASSERT_TRUE(waitUntil([] { return xmms_remote_is_playing(0) != 0; }, 5000));
  ASSERT_TRUE(waitUntil([] { return !xmms_remote_is_playing(0); }, 120000))
      << "the list plays through; at " << xmms_remote_get_playlist_pos(0);
  EXPECT_EQ(xmms_remote_get_playlist_pos(0), int(all.size()) * 3) << "the last entry was reached";
  char *t = xmms_remote_get_playlist_title(0, 0);
  EXPECT_STREQ(t, "Maker - Ramp") << "the FFmpeg plug-in gives titles to the playlist";
  std::free(t);
  EXPECT_NEAR(xmms_remote_get_playlist_time(0, 1), 2000, 100);
  EXPECT_EQ(engine.stop(), 0);

  // Every whole file, in order, for its length.
  auto part = [&](int n) {
    return parseWav(readFile(n == 1 ? out : home.path("out-" + std::to_string(n) + ".wav")));
  };
  for (size_t i = 0; i < all.size(); ++i) {
    SCOPED_TRACE(all[i].file);
    Wav w = part(int(i) + 1);
    EXPECT_EQ(w.rate, all[i].rate);
    EXPECT_EQ(w.channels, all[i].channels);
    EXPECT_NEAR(w.seconds(), kSeconds, 0.1);
  }
  // The cut copies played what they hold, the garbage nothing; the last song played whole.
  int n = int(all.size()) + 1;
  while (fileExists(home.path("out-" + std::to_string(n + 1) + ".wav")))
    ++n;
  Wav lastPart = part(n);
  EXPECT_EQ(lastPart.rate, 8000);
  EXPECT_NEAR(lastPart.seconds(), 1.0, 0.01);
}

// A stretch of garbage in the middle of an MP3: the MP3 plug-in finds the next good frame and
// plays on to the end, as ffmpeg does, with one line about the damage.
TEST(DamagedMp3, PlaysOnPastTheDamagedStretchToItsEnd) {
  if (!haveFfmpeg())
    GTEST_SKIP() << "no ffmpeg command to make the media with";
  TempHome home;
  std::string clean = home.path("clean.mp3");
  std::vector<std::string> args = rampSource(44100, kSeconds);
  args.insert(args.end(), {"-c:a", "libmp3lame", "-b:a", "128k"});
  ASSERT_TRUE(ffmpegMakes(args, clean));
  std::string bytes = readFile(clean);
  std::mt19937 gen(3);
  for (size_t i = bytes.size() * 2 / 5, end = i + 3000; i < end; ++i)
    bytes[i] = static_cast<char>(gen());
  std::string damaged = home.path("damaged.mp3");
  writeFile(damaged, bytes);
  // What ffmpeg makes of it, for comparison.
  std::string reference = home.path("damaged.raw");
  ASSERT_TRUE(ffmpegMakes({"-i", damaged, "-f", "s16le", "-ac", "1"}, reference));
  const double ffmpegSeconds = double(readFile(reference).size()) / 2 / 44100;
  ASSERT_GT(ffmpegSeconds, 1.5) << "ffmpeg plays past the damage";

  Plugin p("mpg123input");
  ASSERT_TRUE(p.loaded()) << p.error();
  Recorder::instance().reset();
  std::string diag;
  ASSERT_TRUE(p.playToEnd(damaged, 10000, &diag));
  Recording r = Recorder::instance().snapshot();
  ASSERT_EQ(r.channels, 1);
  EXPECT_GE(double(r.all.size()) / 44100, ffmpegSeconds - 0.1) << "played on to the end";
  // The last of the song is there, as loud as ffmpeg hears it: the ramp near its top.
  std::vector<int16_t> ref = readRaw(reference);
  auto tailLevel = [](const std::vector<int16_t> &pcm) { // over the last 100 ms
    size_t n = std::min<size_t>(pcm.size(), 4410);
    return rms(pcm.data() + pcm.size() - n, n) * std::sqrt(2.0) / 32768.0;
  };
  EXPECT_GT(tailLevel(ref), 0.6);
  EXPECT_NEAR(tailLevel(r.all), tailLevel(ref), 0.05);
  EXPECT_LE(lineCount(diag), 1) << diag;
}

} // namespace
