// Decode of one long file, as fast as it goes: through the plug-in (loaded from the stage folder,
// playing to an output that never fills) and through a bare FAAD2 loop over the same samples.
// Files: M4A_BENCH_MP4 (an MP4/M4A file) and M4A_BENCH_AAC (an ADTS file); run.sh makes both.
// Times are the process's CPU time (the decode thread included), so that other work on a shared
// machine does not count; wall time is reported beside it as "wall_ms".
#include <benchmark/benchmark.h>
#include <mp4ff.h>
#include <neaacdec.h>
#include <xmms/plugin.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <random>
#include <string>
#include <thread>
#include <time.h>
#include <vector>

namespace {

double cpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Times one iteration by CPU time, and keeps the wall time too.
class Timer {
public:
  explicit Timer(benchmark::State &state) : state_(state) {}
  void start() {
    cpu_ = cpuSeconds();
    wall_ = std::chrono::steady_clock::now();
  }
  void stop() {
    state_.SetIterationTime(cpuSeconds() - cpu_);
    wallTotal_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_).count();
    ++count_;
  }
  ~Timer() {
    if (count_)
      state_.counters["wall_ms"] = 1000.0 * wallTotal_ / count_;
  }

private:
  benchmark::State &state_;
  double cpu_ = 0, wallTotal_ = 0;
  std::chrono::steady_clock::time_point wall_;
  int count_ = 0;
};

std::atomic<long> g_bytes{0};

OutputPlugin *nullOutput() {
  static OutputPlugin o = [] {
    OutputPlugin n{};
    n.open_audio = [](AFormat, int, int) { return 1; };
    n.write_audio = [](void *, int length) { g_bytes += length; };
    n.close_audio = [] {};
    n.flush = [](int) {};
    n.pause = [](short) {};
    n.buffer_free = [] { return 1 << 24; };
    n.buffer_playing = [] { return 0; };
    n.output_time = [] { return 0; };
    return n;
  }();
  return &o;
}

// M4A_BENCH_PLUGIN names another build of the plug-in, to set two builds side by side.
std::string pluginPath() {
  const char *other = std::getenv("M4A_BENCH_PLUGIN");
  return other && *other ? other : std::string(VELORA_STAGE_DIR) + "/lib/xmms/Input/libm4ainput.so";
}

InputPlugin *plugin() {
  static InputPlugin *ip = [] {
    std::string path = pluginPath();
    void *h = dlopen(path.c_str(), RTLD_NOW);
    if (!h) {
      std::fprintf(stderr, "%s\n", dlerror());
      std::exit(1);
    }
    auto *p = reinterpret_cast<GetInputPluginFunc>(dlsym(h, "get_iplugin_info"))();
    p->output = nullOutput();
    p->set_info = [](char *, int, int, int, int) {};
    p->init();
    return p;
  }();
  return ip;
}

const char *fileFromEnv(const char *name, benchmark::State &state) {
  const char *f = std::getenv(name);
  if (!f || !*f)
    state.SkipWithError((std::string(name) + " is not set (use run.sh)").c_str());
  return f;
}

// Equalizer settings the benchmarks compare: off, on and flat (the default), one band at +6 dB,
// and most bands moved with some preamp.
void setEqualizer(int mode, void (*set)(int, float, float *)) {
  float bands[10] = {};
  float preamp = 0;
  if (mode == 2)
    bands[5] = 6;
  if (mode == 3) {
    const float moved[10] = {4, 3, 1, 0, -2, -3, 0, 2, 5, 6};
    std::copy(moved, moved + 10, bands);
    preamp = 2;
  }
  set(mode == 0 ? 0 : 1, preamp, bands);
}

void playThroughPlugin(benchmark::State &state, const char *env, int eq) {
  const char *file = fileFromEnv(env, state);
  if (!file)
    return;
  InputPlugin *ip = plugin();
  setEqualizer(eq, ip->set_eq);
  // The decode thread prints a few lines per song; keep them out of the figures.
  std::fflush(stdout);
  Timer timer(state);
  for (auto _ : state) {
    g_bytes = 0;
    timer.start();
    ip->play_file(const_cast<char *>(file));
    while (ip->get_time() != -1)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ip->stop();
    timer.stop();
  }
  state.counters["pcm_MB"] = double(g_bytes) / 1e6;
}

void BM_PluginMp4(benchmark::State &state) { playThroughPlugin(state, "M4A_BENCH_MP4", 0); }
// Argument: 1 on and flat, 2 one band at +6 dB, 3 most bands moved.
void BM_PluginMp4Equalizer(benchmark::State &state) {
  playThroughPlugin(state, "M4A_BENCH_MP4", int(state.range(0)));
}
void BM_PluginRawAac(benchmark::State &state) { playThroughPlugin(state, "M4A_BENCH_AAC", 0); }

uint32_t readFile(void *user, void *buffer, uint32_t length) {
  return uint32_t(std::fread(buffer, 1, length, static_cast<FILE *>(user)));
}
uint32_t seekFile(void *user, uint64_t position) {
  return uint32_t(fseeko(static_cast<FILE *>(user), off_t(position), SEEK_SET));
}

// A bare FAAD2 decoder over an MP4 file's first AAC track.
struct BareMp4 {
  FILE *f = nullptr;
  mp4ff_callback_t cb{};
  mp4ff_t *mp4 = nullptr;
  NeAACDecHandle dec = nullptr;
  unsigned long rate = 0;
  int samples = 0;

  explicit BareMp4(const char *file) : f(std::fopen(file, "rb")) {
    cb.read = readFile;
    cb.seek = seekFile;
    cb.user_data = f;
    mp4 = mp4ff_open_read(&cb);
    unsigned char *blob = nullptr;
    unsigned int size = 0;
    mp4ff_get_decoder_config(mp4, 0, &blob, &size);
    dec = NeAACDecOpen();
    unsigned char channels;
    NeAACDecInit2(dec, blob, size, &rate, &channels);
    std::free(blob);
    samples = mp4ff_num_samples(mp4, 0);
  }
  ~BareMp4() {
    NeAACDecClose(dec);
    mp4ff_close(mp4);
    std::fclose(f);
  }
  // Decodes sample i; the PCM bytes it gave, or -1 at a read error.
  long decode(int i) {
    unsigned char *data = nullptr;
    unsigned int n = 0;
    if (!mp4ff_read_sample(mp4, 0, i, &data, &n))
      return -1;
    NeAACDecFrameInfo frame;
    void *pcm = NeAACDecDecode(dec, &frame, data, n);
    std::free(data);
    benchmark::DoNotOptimize(pcm);
    return long(frame.samples * 2);
  }
};

void BM_BareFaad2Mp4(benchmark::State &state) {
  const char *file = fileFromEnv("M4A_BENCH_MP4", state);
  if (!file)
    return;
  long bytes = 0;
  Timer timer(state);
  for (auto _ : state) {
    bytes = 0;
    timer.start();
    BareMp4 bare(file);
    for (int i = 0; i < bare.samples; ++i) {
      long got = bare.decode(i);
      if (got < 0)
        break;
      bytes += got;
    }
    timer.stop();
  }
  state.counters["pcm_MB"] = double(bytes) / 1e6;
}

// The same loop at the pace of playback: bursts of `range(0)` ms of audio with a sleep of as
// long between them, over the first 20 s. The time is scaled to ten minutes, so that it reads
// beside the loop above: what FAAD2 itself costs when it wakes a few times a second with its
// tables out of the cache, as any player's decode thread does.
void BM_BareFaad2Mp4Paced(benchmark::State &state) {
  const char *file = fileFromEnv("M4A_BENCH_MP4", state);
  if (!file)
    return;
  const auto burst = std::chrono::milliseconds(state.range(0));
  for (auto _ : state) {
    BareMp4 bare(file);
    const int frames = std::min(bare.samples, int(20 * bare.rate / 1024));
    const int perBurst = std::max(1, int(state.range(0) * long(bare.rate) / 1024 / 1000));
    double cpu = 0;
    for (int i = 0; i < frames;) {
      std::this_thread::sleep_for(burst);
      double at = cpuSeconds();
      for (int end = std::min(frames, i + perBurst); i < end; ++i)
        bare.decode(i);
      cpu += cpuSeconds() - at;
    }
    state.SetIterationTime(cpu * 600.0 / (frames * 1024.0 / double(bare.rate)));
  }
}

void BM_BareFaad2RawAac(benchmark::State &state) {
  const char *file = fileFromEnv("M4A_BENCH_AAC", state);
  if (!file)
    return;
  long bytes = 0;
  Timer timer(state);
  for (auto _ : state) {
    bytes = 0;
    timer.start();
    FILE *f = std::fopen(file, "rb");
    std::vector<unsigned char> all;
    unsigned char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
      all.insert(all.end(), chunk, chunk + n);
    std::fclose(f);
    NeAACDecHandle dec = NeAACDecOpen();
    unsigned long rate;
    unsigned char channels;
    long at = NeAACDecInit(dec, all.data(), all.size(), &rate, &channels);
    while (at >= 0 && size_t(at) < all.size()) {
      NeAACDecFrameInfo frame;
      void *pcm = NeAACDecDecode(dec, &frame, all.data() + at, all.size() - size_t(at));
      if (frame.error || frame.bytesconsumed == 0)
        break;
      benchmark::DoNotOptimize(pcm);
      at += long(frame.bytesconsumed);
      bytes += long(frame.samples * 2);
    }
    NeAACDecClose(dec);
    timer.stop();
  }
  state.counters["pcm_MB"] = double(bytes) / 1e6;
}

// The equalizer alone on ten minutes of stereo noise, in the decoder's frame size.
void BM_EqualizerTenMinutes(benchmark::State &state) {
  plugin();
  static void *h = dlopen(pluginPath().c_str(), RTLD_NOW | RTLD_NOLOAD);
  auto init = reinterpret_cast<void (*)(int, float, float *)>(dlsym(h, "init_iir"));
  auto filter = reinterpret_cast<void (*)(short *, int)>(dlsym(h, "iir_filter"));
  setEqualizer(int(state.range(0)), init);
  std::vector<short> frame(2048);
  std::mt19937 rng(1);
  for (auto &s : frame)
    s = short(int(rng() % 20000) - 10000);
  const long frames = 600L * 44100 / 1024;
  Timer timer(state);
  for (auto _ : state) {
    timer.start();
    for (long f = 0; f < frames; ++f) {
      filter(frame.data(), int(frame.size() * 2));
      benchmark::ClobberMemory();
    }
    timer.stop();
  }
}

} // namespace

// Each case runs once per repetition; run.sh asks for several, interleaved, and keeps the median.
#define M4A_CASE(name)                                                                             \
  BENCHMARK(name)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)
M4A_CASE(BM_EqualizerTenMinutes)->Arg(1)->Arg(2)->Arg(3);
M4A_CASE(BM_BareFaad2Mp4);
M4A_CASE(BM_BareFaad2Mp4Paced)->Arg(250)->Arg(1000);
M4A_CASE(BM_PluginMp4);
M4A_CASE(BM_PluginMp4Equalizer)->Arg(1)->Arg(2)->Arg(3);
M4A_CASE(BM_BareFaad2RawAac);
M4A_CASE(BM_PluginRawAac);

BENCHMARK_MAIN();
