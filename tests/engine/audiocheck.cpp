#include "audiocheck.h"

#include "testenv.h"

#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace audiocheck {

std::vector<float> channel(const std::vector<int16_t> &frames, int channels, int which) {
  std::vector<float> out;
  out.reserve(frames.size() / static_cast<size_t>(channels));
  for (size_t i = static_cast<size_t>(which); i < frames.size(); i += static_cast<size_t>(channels))
    out.push_back(frames[i] / 32768.0f);
  return out;
}

double rmsDb(const std::vector<float> &samples) {
  double sum = 0;
  for (float v : samples)
    sum += static_cast<double>(v) * v;
  if (samples.empty() || sum <= 0)
    return -200;
  return 10 * std::log10(sum / static_cast<double>(samples.size()));
}

namespace {
// Power at one frequency of already windowed samples (Goertzel).
double powerAt(const std::vector<double> &s, int rate, double hz) {
  const double coeff = 2 * std::cos(2 * M_PI * hz / rate);
  double s1 = 0, s2 = 0;
  for (double x : s) {
    double v = x + coeff * s1 - s2;
    s2 = s1;
    s1 = v;
  }
  return s1 * s1 + s2 * s2 - coeff * s1 * s2;
}
} // namespace

double peakFrequency(const std::vector<float> &samples, int rate, double lo, double hi) {
  const size_t n = samples.size();
  std::vector<double> w(n);
  for (size_t i = 0; i < n; ++i)
    w[i] = samples[i] * (0.5 - 0.5 * std::cos(2 * M_PI * static_cast<double>(i) / n));
  // Coarse steps, then ever finer ones around the best.
  double best = lo, bestPower = powerAt(w, rate, lo);
  auto look = [&](double f) {
    double p = powerAt(w, rate, f);
    if (p > bestPower) {
      bestPower = p;
      best = f;
    }
  };
  for (double f = lo; f <= hi; f += 1.0)
    look(f);
  for (double step : {0.25, 0.05}) {
    double centre = best;
    for (int k = -4; k <= 4; ++k)
      look(centre + k * step);
  }
  return best;
}

Wav readWav(const std::string &path) {
  Wav w;
  std::string b = velora::test::readFile(path);
  auto le = [&](size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
      v = v << 8 | static_cast<uint8_t>(b[at + static_cast<size_t>(i)]);
    return v;
  };
  if (b.size() < 12 || b.compare(0, 4, "RIFF") || b.compare(8, 4, "WAVE"))
    return w;
  for (size_t at = 12; at + 8 <= b.size();) {
    std::string id = b.substr(at, 4);
    size_t size = le(at + 4, 4);
    if (id == "fmt " && at + 24 <= b.size()) {
      w.channels = static_cast<int>(le(at + 10, 2));
      w.rate = static_cast<int>(le(at + 12, 4));
      w.bits = static_cast<int>(le(at + 22, 2));
    } else if (id == "data") {
      size = std::min(size, b.size() - at - 8);
      if (w.bits == 16) {
        w.samples.resize(size / 2);
        std::memcpy(w.samples.data(), b.data() + at + 8, w.samples.size() * 2);
      }
      break;
    }
    at += 8 + size + (size & 1);
  }
  return w;
}

bool run(const std::vector<std::string> &argv) {
  pid_t pid = fork();
  if (pid < 0)
    return false;
  if (pid == 0) {
    int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, 1);
      dup2(null, 2);
    }
    std::vector<char *> args;
    for (const std::string &a : argv)
      args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool ffmpegTone(const std::string &path, double seconds, double hz,
                const std::vector<std::string> &extra, const std::string &filter) {
  std::vector<std::string> argv = {"ffmpeg",
                                   "-nostdin",
                                   "-loglevel",
                                   "error",
                                   "-y",
                                   "-f",
                                   "lavfi",
                                   "-i",
                                   "sine=frequency=" + std::to_string(hz) +
                                       ":sample_rate=44100:duration=" + std::to_string(seconds)};
  if (!filter.empty()) {
    argv.push_back("-af");
    argv.push_back(filter);
  }
  argv.push_back("-ac");
  argv.push_back("2");
  argv.insert(argv.end(), extra.begin(), extra.end());
  argv.push_back(path);
  return run(argv);
}

} // namespace audiocheck
