// What a recording sounds like, measured: levels, the frequency of a tone, WAV files as the disk
// writer leaves them, and test songs made by ffmpeg.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace audiocheck {

// One channel of interleaved 16-bit frames, as floats of full scale 1.0.
std::vector<float> channel(const std::vector<int16_t> &frames, int channels, int which);
// Level in dB of full scale (RMS); -200 for silence.
double rmsDb(const std::vector<float> &samples);
// The frequency between lo and hi (Hz) where the spectrum of samples peaks, to 0.1 Hz.
double peakFrequency(const std::vector<float> &samples, int rate, double lo, double hi);

struct Wav {
  int channels = 0, rate = 0, bits = 0;
  std::vector<int16_t> samples; // 16-bit files only
  double seconds() const {
    return channels && rate ? static_cast<double>(samples.size()) / channels / rate : 0;
  }
};
// Reads a 16-bit PCM WAV file by walking its chunks; an empty Wav for anything else.
Wav readWav(const std::string &path);

// A tone of `seconds` at `hz` made by ffmpeg (44.1 kHz stereo, 1/8 of full scale unless the
// extra arguments say otherwise), extra arguments before the output name. False when ffmpeg
// fails or is missing.
bool ffmpegTone(const std::string &path, double seconds, double hz,
                const std::vector<std::string> &extra, const std::string &filter = "");
// Runs a program with an argument vector, output to /dev/null; true on exit status 0.
bool run(const std::vector<std::string> &argv);

} // namespace audiocheck
