// The engine's output stage in front of the real output plug-ins (loaded with dlopen from the
// staged tree): what reaches the disk writer's file, the song time it reports with an effect
// that changes the count of samples, and joins of songs on one open output.
#include "stage/outputstage.h"
#include "stage/replaygaineffect.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <dlfcn.h>
#include <future>
#include <mutex>

using engine::stage::Device;
using engine::stage::Effect;
using engine::stage::OutputStage;
using engine::stage::ReplayGainEffect;
using engine::stage::StreamFormat;
using velora::test::readFile;
using velora::test::TempHome;

namespace {

Device loadOutput(const std::string &file) {
  std::string path = velora::test::stageDir() + "/lib/xmms/Output/" + file;
  void *h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  EXPECT_NE(h, nullptr) << dlerror();
  Device d;
  if (!h)
    return d;
  auto info = reinterpret_cast<OutputPlugin *(*)()>(dlsym(h, "get_oplugin_info"));
  d.op = info ? info() : nullptr;
  d.name = file;
  d.sessionEnded = reinterpret_cast<void (*)()>(dlsym(h, "velora_output_session_end"));
  d.joinsSongs = reinterpret_cast<int (*)()>(dlsym(h, "velora_output_joins_songs"));
  return d;
}

struct Idle : engine::stage::StageEvents {
  int closes = 0;
  void onOutputIdle() override { ++closes; }
};

// Plays every frame twice (half speed, the pitch not kept): twice the frames out, song time
// running at half the device's pace.
struct Twice : Effect {
  bool on = true;
  int songs = 0;
  int channels = 0;
  void configure(const StreamFormat &f) override { channels = f.channels; }
  void songChanged(const std::string &) override { ++songs; }
  bool active() const override { return on; }
  void process(const float *in, size_t frames, std::vector<float> &out) override {
    for (size_t i = 0; i < frames; ++i)
      for (int k = 0; k < 2; ++k)
        out.insert(out.end(), in + i * channels, in + (i + 1) * channels);
  }
  void flush() override {}
  double timeRatio() const override { return 0.5; }
};

std::vector<int16_t> ramp(size_t frames, int channels, int start) {
  std::vector<int16_t> s(frames * channels);
  for (size_t i = 0; i < s.size(); ++i)
    s[i] = static_cast<int16_t>((start + int(i)) % 20000 - 10000);
  return s;
}

std::vector<int16_t> wavSamples(const std::string &file) {
  std::string bytes = readFile(file);
  std::vector<int16_t> s;
  if (bytes.size() < 44)
    return s;
  s.resize((bytes.size() - 44) / 2);
  std::memcpy(s.data(), bytes.data() + 44, s.size() * 2);
  return s;
}

void write(OutputStage &stage, const std::vector<int16_t> &s) {
  stage.write(s.data(), int(s.size() * 2));
}

// Hands the samples on unchanged, but only through the float path: with it active, any gain
// is applied there instead of folded into the 16-bit step.
struct FloatOnly : Effect {
  bool on = false;
  void configure(const StreamFormat &) override {}
  bool active() const override { return on; }
  void process(const float *in, size_t frames, std::vector<float> &out) override {
    out.insert(out.end(), in, in + frames * 2);
  }
  void flush() override {}
};

// The real ReplayGain effect, counting the blocks it is asked to multiply itself.
struct CountedGain : ReplayGainEffect {
  int blocks = 0;
  void process(const float *in, size_t frames, std::vector<float> &out) override {
    ++blocks;
    ReplayGainEffect::process(in, frames, out);
  }
};

// Holds the last kHeld frames back, as a time stretcher does, and gives them out when drained.
struct Holding : Effect {
  static constexpr size_t kHeld = 100;
  std::vector<float> held;
  void configure(const StreamFormat &) override {}
  bool active() const override { return true; }
  void process(const float *in, size_t frames, std::vector<float> &out) override {
    held.insert(held.end(), in, in + frames * 2);
    size_t give = held.size() > kHeld * 2 ? held.size() - kHeld * 2 : 0;
    out.insert(out.end(), held.begin(), held.begin() + long(give));
    held.erase(held.begin(), held.begin() + long(give));
  }
  void flush() override { held.clear(); }
  void drain(std::vector<float> &out) override {
    out.insert(out.end(), held.begin(), held.end());
    held.clear();
  }
};

// A sound card as the ALSA output is one: paused, a write is held until it is resumed or
// closed. Plain functions, as an output plug-in has.
namespace card {
std::mutex m;
std::condition_variable changed;
bool open = false, paused = false;
size_t frames = 0; // frames taken since opened
int rate = 0;
int openAudio(AFormat, int r, int) {
  std::lock_guard lk(m);
  open = true;
  paused = false;
  frames = 0;
  rate = r;
  return 1;
}
void write(void *, int bytes) {
  std::unique_lock lk(m);
  changed.wait(lk, [] { return !paused || !open; });
  if (open)
    frames += size_t(bytes) / 4;
}
void close() {
  std::lock_guard lk(m);
  open = false;
  changed.notify_all();
}
void pause(short p) {
  std::lock_guard lk(m);
  paused = p != 0;
  changed.notify_all();
}
void flush(int) {}
int bufferFree() { return 1 << 20; }
int bufferPlaying() { return 1; }
int outputTime() { return 0; }
size_t taken() {
  std::lock_guard lk(m);
  return frames;
}
} // namespace card

double rmsDb(const std::vector<int16_t> &s) {
  double sum = 0;
  for (int16_t v : s)
    sum += double(v) * v;
  return s.empty() ? -200 : 10 * std::log10(sum / double(s.size()) / (32768.0 * 32768.0));
}

} // namespace

TEST(OutputStage, SamplesVolumeJoinsAndSongTimeThroughTheDiskWriter) {
  TempHome home;
  std::string out = home.path("out.wav");
  velora::test::makeDirs(home.path(".xmms"));
  velora::test::writeFile(home.path(".xmms/config"),
                          "[disk_writer]\ncontinuous=TRUE\nfile=" + out + "\n");
  Idle idle;
  OutputStage stage(&idle);
  stage.setDevices(loadOutput("libdiskwriter.so"), loadOutput("libnullout.so"));
  OutputPlugin *rec = stage.record();

  // Untouched: the input's bytes reach the file as they are, and the clock is the song's.
  auto a = ramp(8000, 2, 0);
  ASSERT_EQ(rec->open_audio(FMT_S16_NE, 8000, 2), 1);
  write(stage, a);
  EXPECT_EQ(rec->output_time(), 1000);
  EXPECT_EQ(rec->written_time(), 1000);
  EXPECT_EQ(rec->buffer_playing(), 0); // a song never waits for the device to drain
  // The song ends by itself; the next one of the same format joins it on the open output.
  rec->close_audio();
  EXPECT_EQ(idle.closes, 1);
  EXPECT_FALSE(stage.isOpen());
  stage.songEnded();
  stage.songStarting("/music/second.wav");
  auto b = ramp(4000, 2, 7);
  ASSERT_EQ(rec->open_audio(FMT_S16_NE, 8000, 2), 1);
  EXPECT_EQ(rec->output_time(), 0); // the new song's clock starts at 0
  write(stage, b);
  EXPECT_EQ(rec->output_time(), 500);
  rec->close_audio();
  stage.songEnded();
  EXPECT_FALSE(stage.tailPlaying()); // the disk writer holds nothing back
  stage.endSession();
  auto got = wavSamples(out);
  std::vector<int16_t> both(a);
  both.insert(both.end(), b.begin(), b.end());
  ASSERT_EQ(got.size(), both.size()) << "one file for both songs, nothing lost at the join";
  EXPECT_TRUE(got == both);

  // Half volume, as integer arithmetic rounds it; a seek restarts the clock where it landed.
  // A stop and a new start of the same format go on in the session's recording, complete once
  // the engine's session ends.
  stage.setVolume(50, 50);
  ASSERT_EQ(rec->open_audio(FMT_S16_NE, 8000, 2), 1);
  rec->flush(30000);
  write(stage, a);
  EXPECT_EQ(rec->output_time(), 31000);
  stage.stop();
  ASSERT_EQ(rec->open_audio(FMT_S16_NE, 8000, 2), 1);
  write(stage, b);
  stage.stop();
  EXPECT_TRUE(wavSamples(out) == both) << "the last session's file stays until this one ends";
  stage.endSession();
  got = wavSamples(out);
  ASSERT_EQ(got.size(), both.size());
  size_t wrong = 0;
  for (size_t i = 0; i < both.size(); ++i)
    wrong += got[i] != both[i] * 50 / 100;
  EXPECT_EQ(wrong, 0u);

  // An effect that doubles the frames: twice the audio out, while the time reported stays the
  // song's (the device has played 2 s, the listener is 1 s into the song).
  stage.setVolume(100, 100);
  auto twice = std::make_unique<Twice>();
  Twice *fx = twice.get();
  stage.addEffect(std::move(twice));
  stage.songStarting("/music/slow.wav");
  EXPECT_EQ(fx->songs, 1);
  ASSERT_EQ(rec->open_audio(FMT_S16_NE, 8000, 2), 1);
  EXPECT_EQ(fx->channels, 2);
  // Room is counted in the input's frames: half of what the device could take.
  int deviceRoom = 1 << 20;
  EXPECT_EQ(rec->buffer_free(), deviceRoom / 2);
  write(stage, a);
  EXPECT_EQ(rec->output_time(), 1000);
  stage.stop();
  stage.endSession();
  got = wavSamples(out);
  ASSERT_EQ(got.size(), 2 * a.size());
  for (size_t f = 0; f < a.size() / 2; f += 997) {
    EXPECT_NEAR(got[4 * f], a[2 * f], 1) << f;
    EXPECT_NEAR(got[4 * f + 2], a[2 * f], 1) << f;
    EXPECT_NEAR(got[4 * f + 3], a[2 * f + 1], 1) << f;
  }
  // Switched off, the effect costs nothing: bytes pass untouched again.
  stage.adjust([&] { fx->on = false; });
  ASSERT_EQ(rec->open_audio(FMT_S16_NE, 8000, 2), 1);
  write(stage, b);
  stage.stop();
  stage.endSession();
  EXPECT_TRUE(wavSamples(out) == b);
}

TEST(OutputStage, ChangeOfFormatReopensAndTheEndOfASongIsHeardOnTheTimedNullOutput) {
  TempHome home;
  Idle idle;
  OutputStage stage(&idle);
  stage.setDevices(Device{}, loadOutput("libnullout.so"));
  OutputPlugin *rec = stage.record();
  ASSERT_EQ(rec->open_audio(FMT_S16_NE, 8000, 1), 1);
  auto a = ramp(2400, 1, 0); // 0.3 s: all of it fits in the null output's half second
  write(stage, a);
  rec->close_audio();
  stage.songEnded();
  // The listener still hears the first song (one back from the engine's), and its clock moves.
  auto h = stage.heard();
  EXPECT_EQ(h.back, 1);
  EXPECT_TRUE(velora::test::waitUntil([&] { return stage.heard().ms > h.ms; }, 2000));
  // Two more short songs join and end while the first is still heard: it is two, then three
  // back; each is heard in turn, and the current one from its own start.
  auto tiny = ramp(400, 1, 0); // 50 ms
  ASSERT_EQ(rec->open_audio(FMT_S16_NE, 8000, 1), 1);
  write(stage, tiny);
  EXPECT_EQ(rec->output_time(), 0);
  EXPECT_EQ(stage.heard().back, 1);
  rec->close_audio();
  stage.songEnded();
  EXPECT_EQ(stage.heard().back, 2);
  ASSERT_EQ(rec->open_audio(FMT_S16_NE, 8000, 1), 1);
  write(stage, a);
  EXPECT_EQ(stage.heard().back, 2);
  EXPECT_TRUE(velora::test::waitUntil([&] { return stage.heard().back == 1; }, 3000));
  EXPECT_TRUE(velora::test::waitUntil([&] { return stage.heard().back == 0; }, 3000));
  EXPECT_TRUE(velora::test::waitUntil([&] { return rec->output_time() > 0; }, 3000));
  // Paused, the end of the last song is held, not dropped; resumed, it plays out.
  rec->close_audio();
  stage.songEnded();
  rec->pause(1);
  EXPECT_TRUE(stage.tailPlaying());
  rec->pause(0);
  EXPECT_TRUE(velora::test::waitUntil([&] { return !stage.tailPlaying(); }, 3000));
  // Another rate: the output is opened anew for it.
  ASSERT_EQ(rec->open_audio(FMT_S16_NE, 16000, 1), 1);
  write(stage, a);
  EXPECT_TRUE(velora::test::waitUntil([&] { return rec->output_time() > 0; }, 3000));
  EXPECT_LT(rec->output_time(), 200); // at 16 kHz the 2400 frames last 150 ms
  stage.stop();
  EXPECT_EQ(rec->output_time(), 0);
  EXPECT_EQ(rec->buffer_free(), 0); // closed: no room, nothing taken
}

TEST(OutputStage, PlainGainFoldedIntoTheVolumeSoundsAsTheFloatPath) {
  TempHome home;
  std::string out = home.path("out.wav");
  velora::test::makeDirs(home.path(".xmms"));
  velora::test::writeFile(home.path(".xmms/config"),
                          "[disk_writer]\ncontinuous=TRUE\nfile=" + out + "\n");
  OutputStage stage(nullptr);
  stage.setDevices(loadOutput("libdiskwriter.so"), loadOutput("libnullout.so"));
  auto gainOwned = std::make_unique<CountedGain>();
  auto floatOwned = std::make_unique<FloatOnly>();
  CountedGain *gain = gainOwned.get();
  FloatOnly *floatOnly = floatOwned.get();
  stage.addEffect(std::move(gainOwned));
  stage.addEffect(std::move(floatOwned));
  gain->setSettings(engine::ReplayGainMode::Track, 0.0, true);

  // A second of a stereo tone peaking at 0.9 of full scale, as a decoder writes it.
  std::vector<int16_t> tone(8000 * 2);
  for (size_t i = 0; i < tone.size(); ++i)
    tone[i] = static_cast<int16_t>(
        std::lround(0.9 * 32767 * std::sin(2 * M_PI * 441 * double(i / 2) / 8000 + double(i % 2))));
  auto play = [&](const engine::ReplayGainInfo &tags, bool viaFloat, int volume) {
    stage.adjust([&] { floatOnly->on = viaFloat; });
    stage.setVolume(volume, volume);
    gain->prepare("/music/song.flac", tags, false);
    stage.songStarting("/music/song.flac");
    gain->blocks = 0;
    EXPECT_EQ(stage.record()->open_audio(FMT_S16_NE, 8000, 2), 1);
    for (size_t at = 0; at < tone.size(); at += 1024)
      stage.write(tone.data() + at, int(std::min<size_t>(1024, tone.size() - at) * 2));
    stage.stop();
    stage.endSession();
    // The gain multiplies through its own process() only on the float path.
    EXPECT_EQ(gain->blocks > 0, viaFloat && tags.any());
    return wavSamples(out);
  };
  const double plainDb = rmsDb(tone);
  EXPECT_TRUE(play({}, false, 100) == tone) << "untagged: untouched";

  struct Case {
    const char *what;
    engine::ReplayGainInfo tags;
    int volume;
    double expectDb; // the level against the untouched tone
    bool clips;      // the tone's tops are cut at full scale: quieter than the gain alone
  };
  const Case cases[] = {
      {"-6 dB", {-6.0, {}, {}, {}, ""}, 100, -6.0, false},
      {"-6 dB at half volume", {-6.0, {}, {}, {}, ""}, 50, -6.0 + 20 * std::log10(0.5), false},
      {"+12 dB held by the peak", {12.0, 0.9, {}, {}, ""}, 100, 20 * std::log10(1 / 0.9), false},
      {"+3.5 dB with no peak tag", {3.5, {}, {}, {}, ""}, 100, 3.5, true},
  };
  for (const Case &c : cases) {
    std::vector<int16_t> folded = play(c.tags, false, c.volume);
    std::vector<int16_t> viaFloat = play(c.tags, true, c.volume);
    ASSERT_EQ(folded.size(), tone.size()) << c.what;
    ASSERT_EQ(viaFloat.size(), tone.size()) << c.what;
    int worst = 0, peak = 0, wrapped = 0;
    for (size_t i = 0; i < folded.size(); ++i) {
      worst = std::max(worst, std::abs(folded[i] - viaFloat[i]));
      peak = std::max(peak, std::abs(int(folded[i])));
      // Past full scale a sample is held there; wrapped round, it would change sign.
      wrapped += std::abs(tone[i]) > 100 && (folded[i] < 0) != (tone[i] < 0);
    }
    EXPECT_LE(worst, 1) << c.what << ": the two paths differ by more than rounding";
    EXPECT_NEAR(rmsDb(folded), rmsDb(viaFloat), 0.001) << c.what;
    if (!c.clips) {
      EXPECT_NEAR(rmsDb(folded) - plainDb, c.expectDb, 0.01) << c.what;
    } else {
      EXPECT_LT(rmsDb(folded) - plainDb, c.expectDb) << c.what;
    }
    EXPECT_EQ(wrapped, 0) << c.what;
    if (c.tags.trackPeak) {
      EXPECT_GE(peak, 32700) << c.what << ": held at full scale";
    }
  }
}

// Paused while the end of the last song is still heard, with an effect that holds samples (the
// speed control does): the engine's look at the tail and the next song's open of another format
// answer at once instead of waiting on the paused card with the stage's lock held, which the
// resume needs; resumed, the held samples are played, none lost.
TEST(OutputStage, PausedAtTheEndOfASongNothingWaitsOnThePausedCard) {
  OutputPlugin op{};
  op.open_audio = card::openAudio;
  op.write_audio = card::write;
  op.close_audio = card::close;
  op.flush = card::flush;
  op.pause = card::pause;
  op.buffer_free = card::bufferFree;
  op.buffer_playing = card::bufferPlaying;
  op.output_time = card::outputTime;
  Device device;
  device.op = &op;
  device.name = "card";
  OutputStage stage(nullptr);
  stage.setDevices(device, Device{});
  stage.addEffect(std::make_unique<Holding>());
  OutputPlugin *rec = stage.record();
  // Waits for a call made on another thread; a call still stuck is let go by resuming the card
  // behind the stage's back, so a failure cannot hang the test.
  auto answers = [](std::future<void> &call) {
    bool ok = call.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!ok) {
      card::pause(0);
      call.wait();
    }
    return ok;
  };
  auto a = ramp(8000, 2, 0);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round == 0 ? "the engine looks at the tail" : "another format opens");
    ASSERT_EQ(rec->open_audio(FMT_S16_NE, 8000, 2), 1);
    write(stage, a);
    EXPECT_EQ(card::taken(), a.size() / 2 - Holding::kHeld);
    rec->close_audio();
    stage.songEnded();
    rec->pause(1);
    if (round == 0) {
      std::future<void> look = std::async(std::launch::async, [&] {
        EXPECT_TRUE(stage.tailPlaying()); // paused: still heard
      });
      EXPECT_TRUE(answers(look)) << "the look at the tail waited on the paused card";
      std::future<void> resume = std::async(std::launch::async, [&] { rec->pause(0); });
      EXPECT_TRUE(answers(resume)) << "the resume waited";
      stage.tailPlaying();
      EXPECT_EQ(card::taken(), a.size() / 2) << "the held frames were not played";
      stage.stop();
    } else {
      std::future<void> next = std::async(
          std::launch::async, [&] { EXPECT_EQ(rec->open_audio(FMT_S16_NE, 16000, 2), 1); });
      EXPECT_TRUE(answers(next)) << "the open of the next song waited on the paused card";
      EXPECT_EQ(card::rate, 16000);
      rec->pause(0);
      stage.stop();
    }
  }
}
