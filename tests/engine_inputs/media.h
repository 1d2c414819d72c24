// What the engine's disk writer wrote, and test media made with ffmpeg.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace inputs_test {

struct Wav {
  int channels = 0, rate = 0, bits = 0;
  std::vector<int16_t> samples;
  double seconds() const { return rate && channels ? double(samples.size()) / channels / rate : 0; }
};

Wav parseWav(const std::string &bytes);

// Runs ffmpeg (quiet, overwriting) with these arguments; true when it succeeded and made out.
bool ffmpegMakes(const std::vector<std::string> &args, const std::string &out);

// The engine configuration that plays to the disk writer's file out, in order, once; a
// "continuous=TRUE" line after it makes one session of the whole list.
std::string diskWriterConfig(const std::string &out);

} // namespace inputs_test
