// Decode speed of one of the engine's input plug-ins: loads it with dlopen like the engine and
// plays a file into an output that takes everything at once and throws it away, then prints
// wall-clock and CPU time and how many times faster than real time that was.
//
//   decode_speed <plug-in .so> <file> [--eq] [--runs N]
#include <xmms/plugin.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <thread>
#include <vector>

namespace {

std::atomic<long long> bytes{0};
std::atomic<int> rate{0}, channels{0};

int openAudio(AFormat, int r, int nch) {
  rate = r;
  channels = nch;
  bytes = 0;
  return 1;
}
void writeAudio(void *, int length) { bytes += length; }
void closeAudio() {}
void flush(int) {}
void pauseOutput(short) {}
int bufferFree() { return 1 << 24; }
int bufferPlaying() { return 0; }
int outputTime() {
  long long perSecond = 2LL * rate * channels;
  return perSecond ? static_cast<int>(bytes * 1000 / perSecond) : 0;
}
void setInfo(char *, int, int, int, int) {}

double cpuSeconds() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <plug-in .so> <file> [--eq] [--runs N]\n", argv[0]);
    return 2;
  }
  bool eq = false;
  int runs = 5;
  for (int i = 3; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--eq"))
      eq = true;
    else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc)
      runs = std::atoi(argv[++i]);
  }
  void *h = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (!h) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 1;
  }
  auto get = reinterpret_cast<GetInputPluginFunc>(dlsym(h, "get_iplugin_info"));
  if (!get) {
    std::fprintf(stderr, "no get_iplugin_info in %s\n", argv[1]);
    return 1;
  }
  OutputPlugin out{};
  out.open_audio = openAudio;
  out.write_audio = writeAudio;
  out.close_audio = closeAudio;
  out.flush = flush;
  out.pause = pauseOutput;
  out.buffer_free = bufferFree;
  out.buffer_playing = bufferPlaying;
  out.output_time = outputTime;
  out.written_time = outputTime;
  InputPlugin *ip = get();
  ip->output = &out;
  ip->set_info = setInfo;
  if (ip->init)
    ip->init();
  float bands[10] = {6, 4, 2, 0, -2, -2, 0, 2, 4, 6};
  ip->set_eq(eq ? 1 : 0, 0, bands);

  std::vector<double> walls, cpus;
  double audio = 0;
  for (int r = 0; r < runs; ++r) {
    double cpu0 = cpuSeconds();
    auto t0 = std::chrono::steady_clock::now();
    ip->play_file(argv[2]);
    // get_time says -1 once the decode thread has finished; poll finely so the wait adds little.
    while (ip->get_time() != -1)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    ip->stop();
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    double cpu = cpuSeconds() - cpu0;
    audio = rate && channels ? bytes / (2.0 * rate * channels) : 0;
    walls.push_back(wall);
    cpus.push_back(cpu);
  }
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
  };
  double wall = median(walls), cpu = median(cpus);
  if (ip->cleanup)
    ip->cleanup();
  std::printf("%-40s audio %7.1f s  wall %6.3f s  cpu %6.3f s  %6.0fx real time%s\n",
              std::strrchr(argv[2], '/') ? std::strrchr(argv[2], '/') + 1 : argv[2], audio, wall,
              cpu, wall > 0 ? audio / wall : 0, eq ? "  (equalizer on)" : "");
  return audio > 0 ? 0 : 1;
}
