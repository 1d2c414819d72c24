// What the engine's disk writer wrote, song by song, and test media made with ffmpeg.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace inputs_test {

struct Wav {
  int channels = 0, rate = 0, bits = 0;
  std::vector<int16_t> samples;
  double seconds() const { return rate && channels ? double(samples.size()) / channels / rate : 0; }
};

Wav parseWav(const std::string &bytes);

// The disk writer replaces its file at the end of every song. This watcher keeps each version
// it sees (an open descriptor keeps a replaced file readable), so the songs can be checked in
// the order they were written.
class FileVersions {
public:
  explicit FileVersions(std::string path);
  ~FileVersions();
  std::vector<Wav> versions();

private:
  void run();
  std::string path_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<Wav> versions_;
  std::thread thread_;
};

// Runs ffmpeg (quiet, overwriting) with these arguments; true when it succeeded and made out.
bool ffmpegMakes(const std::vector<std::string> &args, const std::string &out);

// The engine configuration that plays to the disk writer's file out, in order, once.
std::string diskWriterConfig(const std::string &out);

} // namespace inputs_test
