// The engine's ten-band equalizer as the decode threads apply it to their PCM.
//
// The engine hands over a preamp and ten band gains in decibels (-20..+20). Each band is a
// peaking filter centred on its frequency, so raising a band raises that part of the spectrum
// and nothing else. A band at 0 dB is left out of the chain, and with every value at 0 dB the
// filter is not run at all: switching the equalizer on at 0 dB leaves the samples untouched.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace velora::input {

constexpr int kEqBands = 10;

struct EqSettings {
  bool on = false;
  float preamp = 0;           // dB
  float bands[kEqBands] = {}; // dB
  bool isoSpaced = true;      // band centres 31 Hz..16 kHz in octaves, or the older set
};

// Centre frequency in Hz of band b for the chosen spacing.
double eqBandCentre(int band, bool isoSpaced);

// Written by the engine's thread (set_eq), read by the decode thread between blocks.
class EqControl {
public:
  // Values outside -20..+20 dB are clamped, a missing or non-finite value counts as 0 dB.
  // The band spacing is read from the engine's configuration ("equalizer_iso_spaced").
  void set(int on, float preamp, const float *bands);
  void set(const EqSettings &settings);
  // Copies the settings into out when they changed since `seen`; true when it did.
  bool fetch(unsigned &seen, EqSettings &out) const;

private:
  mutable std::mutex mutex_;
  EqSettings settings_;
  std::atomic<unsigned> generation_{1};
};

// One filter per playing stream, owned by the decode thread. Mono or interleaved stereo.
class EqFilter {
public:
  void configure(const EqSettings &settings, int rate, int channels);
  // False when the equalizer is off or every value is 0 dB: process() would change nothing.
  bool active() const { return active_; }
  void process(int16_t *pcm, size_t frames);
  // Forgets the filter history, for a jump in the stream.
  void reset();

private:
  struct Section {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    bool used = false;
  };
  Section sections_[kEqBands];
  double state_[kEqBands][2][2] = {}; // [band][channel][z1, z2]
  double gain_ = 1.0;
  int channels_ = 2;
  bool active_ = false;
};

} // namespace velora::input
