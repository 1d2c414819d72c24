// Engine benchmarks against a real engine process in a temporary home:
//  - round trip of remote calls (what each poll of the front-end costs), idle and while playing;
//  - with --cpu-seconds=N: the engine's CPU time while it plays a WAV file to the null output
//    (paced in real time) for N seconds, as a share of one core.
#include <benchmark/benchmark.h>
#include <xmms/xmmsctrl.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::string g_root;
pid_t g_engine = -1;

void writeText(const std::string &path, const std::string &text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Ten seconds of a 440 Hz tone, 44.1 kHz stereo 16-bit: the engine plays it with repeat on.
void writeTone(const std::string &path) {
  const int rate = 44100, seconds = 10, frames = rate * seconds;
  std::vector<int16_t> pcm(static_cast<size_t>(frames) * 2);
  for (int i = 0; i < frames; ++i)
    pcm[2 * i] = pcm[2 * i + 1] =
        static_cast<int16_t>(8000 * __builtin_sin(2 * 3.14159265 * 440 * i / rate));
  auto put32 = [](std::string &s, uint32_t v) { s.append(reinterpret_cast<char *>(&v), 4); };
  auto put16 = [](std::string &s, uint16_t v) { s.append(reinterpret_cast<char *>(&v), 2); };
  std::string h = "RIFF";
  uint32_t data = static_cast<uint32_t>(pcm.size() * 2);
  put32(h, 36 + data);
  h += "WAVEfmt ";
  put32(h, 16);
  put16(h, 1);
  put16(h, 2);
  put32(h, rate);
  put32(h, rate * 4);
  put16(h, 4);
  put16(h, 16);
  h += "data";
  put32(h, data);
  std::ofstream out(path, std::ios::binary);
  out << h;
  out.write(reinterpret_cast<const char *>(pcm.data()), data);
}

bool startEngine() {
  char tmpl[] = "/tmp/velora-engine-bench-XXXXXX";
  if (!mkdtemp(tmpl))
    return false;
  g_root = tmpl;
  std::string home = g_root + "/home", run = g_root + "/run";
  mkdir(home.c_str(), 0700);
  mkdir((home + "/.xmms").c_str(), 0700);
  mkdir(run.c_str(), 0700);
  setenv("HOME", home.c_str(), 1);
  setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
  writeTone(g_root + "/tone.wav");
  writeText(home + "/.xmms/xmms.m3u", g_root + "/tone.wav\n");
  writeText(home + "/.xmms/config",
            "[xmms]\noutput_plugin=libnullout.so\nrepeat=TRUE\nshuffle=FALSE\n");
  g_engine = fork();
  if (g_engine == 0) {
    std::string exe = std::string(VELORA_STAGE_DIR) + "/bin/xmms";
    execl(exe.c_str(), "xmms", static_cast<char *>(nullptr));
    _exit(127);
  }
  for (int i = 0; i < 500; ++i) {
    if (xmms_remote_get_version(0))
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

void stopEngine() {
  if (g_engine > 0) {
    xmms_remote_quit(0);
    waitpid(g_engine, nullptr, 0);
  }
  if (!g_root.empty())
    std::filesystem::remove_all(g_root);
}

double engineCpuSeconds() {
  std::ifstream in("/proc/" + std::to_string(g_engine) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), {});
  size_t close = stat.rfind(')');
  if (close == std::string::npos)
    return 0;
  std::vector<std::string> fields;
  std::string f;
  for (char c : stat.substr(close + 2) + " ") {
    if (c == ' ') {
      fields.push_back(f);
      f.clear();
    } else {
      f += c;
    }
  }
  // utime and stime are fields 14 and 15 of the line, 12 and 13 after the name.
  double ticks = std::atof(fields[11].c_str()) + std::atof(fields[12].c_str());
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

void BM_GetVersionIdle(benchmark::State &state) {
  xmms_remote_stop(0);
  for (auto _ : state)
    benchmark::DoNotOptimize(xmms_remote_get_version(0));
}
BENCHMARK(BM_GetVersionIdle)->Repetitions(5)->ReportAggregatesOnly(true)->UseRealTime();

void BM_GetOutputTimePlaying(benchmark::State &state) {
  xmms_remote_play(0);
  for (auto _ : state)
    benchmark::DoNotOptimize(xmms_remote_get_output_time(0));
  xmms_remote_stop(0);
}
BENCHMARK(BM_GetOutputTimePlaying)->Repetitions(5)->ReportAggregatesOnly(true)->UseRealTime();

void BM_GetPlaylistTitle(benchmark::State &state) {
  for (auto _ : state)
    std::free(xmms_remote_get_playlist_title(0, 0));
}
BENCHMARK(BM_GetPlaylistTitle)->Repetitions(5)->ReportAggregatesOnly(true)->UseRealTime();

int cpuRun(int seconds) {
  xmms_remote_play(0);
  std::this_thread::sleep_for(std::chrono::seconds(1)); // past the start-up
  double c0 = engineCpuSeconds();
  auto t0 = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  double c1 = engineCpuSeconds();
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  int heard = xmms_remote_get_output_time(0);
  bool playing = xmms_remote_is_playing(0);
  xmms_remote_stop(0);
  std::printf("engine CPU while playing a 44.1 kHz stereo WAV to the null output:\n"
              "  %.2f s CPU in %.1f s wall = %.3f %% of one core (still playing: %s, at %d ms)\n",
              c1 - c0, wall, 100.0 * (c1 - c0) / wall, playing ? "yes" : "NO", heard);
  return playing ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
  int cpuSeconds = 0;
  std::vector<char *> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--cpu-seconds=", 14) == 0)
      cpuSeconds = std::atoi(argv[i] + 14);
    else
      rest.push_back(argv[i]);
  }
  if (!startEngine()) {
    std::fprintf(stderr, "engine_bench: the engine did not start\n");
    stopEngine();
    return 1;
  }
  int status = 0;
  if (cpuSeconds > 0) {
    status = cpuRun(cpuSeconds);
  } else {
    int n = static_cast<int>(rest.size());
    benchmark::Initialize(&n, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
  }
  stopEngine();
  return status;
}
