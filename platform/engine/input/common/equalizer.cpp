#include "equalizer.h"

#include <xmms/configfile.h>

#include <algorithm>
#include <cmath>
#include <complex>

namespace velora::input {

namespace {

const double kIsoCentres[kEqBands] = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
const double kOldCentres[kEqBands] = {60, 170, 310, 600, 1000, 3000, 6000, 12000, 14000, 16000};

// Roughly one octave wide: neighbouring bands overlap a little, as on a graphic equalizer.
constexpr double kBandQ = 1.41;
// Below this a band or the preamp counts as flat.
constexpr double kFlatDb = 0.01;

float clampDb(float v) {
  if (!std::isfinite(v))
    return 0;
  return std::clamp(v, -20.0f, 20.0f);
}

// Band gains are corrected so that the response at each centre is what its slider says.
constexpr int kCompensationRounds = 16;
constexpr double kCompensationStep = 0.6; // below 1: the closely spaced old bands converge
constexpr double kCompensationLimitDb = 24.0;
constexpr double kCompensatedDb = 0.05;

struct Peaking {
  double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
};

// Peaking section (bilinear transform of an analogue resonator).
Peaking peaking(double db, double f0, int rate) {
  double A = std::pow(10.0, db / 40.0);
  double w0 = 2.0 * M_PI * f0 / rate;
  double alpha = std::sin(w0) / (2.0 * kBandQ);
  double cw = std::cos(w0);
  double a0 = 1.0 + alpha / A;
  return {(1.0 + alpha * A) / a0, -2.0 * cw / a0, (1.0 - alpha * A) / a0, -2.0 * cw / a0,
          (1.0 - alpha / A) / a0};
}

double responseDb(const Peaking &p, double f, int rate) {
  const std::complex<double> z = std::polar(1.0, -2.0 * M_PI * f / rate);
  const std::complex<double> h = (p.b0 + p.b1 * z + p.b2 * z * z) / (1.0 + p.a1 * z + p.a2 * z * z);
  return 20.0 * std::log10(std::max(std::abs(h), 1e-12));
}

// Neighbouring bands overlap, so sliders all at -12 dB would give about -18 dB (and -26 dB
// where the old spacing crowds three bands together): each band's gain is corrected, a step
// at a time, until the response at every centre is its slider's value. The best round is
// kept, so settings no correction can reach (neighbours at opposite ends) are never made worse.
void compensate(const double target[kEqBands], const bool acts[kEqBands],
                const double centre[kEqBands], int rate, double gain[kEqBands]) {
  double g[kEqBands], bestError = 1e9;
  std::copy(target, target + kEqBands, g);
  std::copy(target, target + kEqBands, gain);
  for (int round = 0; round <= kCompensationRounds; ++round) {
    Peaking sections[kEqBands];
    for (int b = 0; b < kEqBands; ++b)
      if (acts[b] && std::fabs(g[b]) >= kFlatDb)
        sections[b] = peaking(g[b], centre[b], rate);
    double error = 0, miss[kEqBands] = {};
    for (int i = 0; i < kEqBands; ++i) {
      if (!acts[i])
        continue;
      double r = 0;
      for (int b = 0; b < kEqBands; ++b)
        if (acts[b] && std::fabs(g[b]) >= kFlatDb)
          r += responseDb(sections[b], centre[i], rate);
      miss[i] = target[i] - r;
      error = std::max(error, std::fabs(miss[i]));
    }
    if (error < bestError) {
      bestError = error;
      std::copy(g, g + kEqBands, gain);
    }
    if (error < kCompensatedDb)
      break;
    for (int b = 0; b < kEqBands; ++b)
      if (acts[b])
        g[b] = std::clamp(g[b] + kCompensationStep * miss[b], -kCompensationLimitDb,
                          kCompensationLimitDb);
  }
}

bool readIsoSpaced() {
  ConfigFile *cfg = xmms_cfg_open_default_file();
  int iso = 1;
  if (cfg) {
    xmms_cfg_read_boolean(cfg, "xmms", "equalizer_iso_spaced", &iso);
    xmms_cfg_free(cfg);
  }
  return iso != 0;
}

} // namespace

double eqBandCentre(int band, bool isoSpaced) {
  if (band < 0 || band >= kEqBands)
    return 0;
  return isoSpaced ? kIsoCentres[band] : kOldCentres[band];
}

void EqControl::set(int on, float preamp, const float *bands) {
  EqSettings s;
  s.on = on != 0;
  s.preamp = clampDb(preamp);
  for (int b = 0; b < kEqBands; ++b)
    s.bands[b] = bands ? clampDb(bands[b]) : 0;
  s.isoSpaced = readIsoSpaced();
  set(s);
}

void EqControl::set(const EqSettings &settings) {
  std::lock_guard lock(mutex_);
  settings_ = settings;
  generation_.fetch_add(1, std::memory_order_release);
}

bool EqControl::fetch(unsigned &seen, EqSettings &out) const {
  unsigned now = generation_.load(std::memory_order_acquire);
  if (now == seen)
    return false;
  std::lock_guard lock(mutex_);
  out = settings_;
  seen = generation_.load(std::memory_order_relaxed);
  return true;
}

void EqFilter::configure(const EqSettings &settings, int rate, int channels) {
  channels_ = std::clamp(channels, 1, 2);
  active_ = false;
  gain_ = 1.0;
  if (!settings.on || rate <= 0) {
    reset();
    for (auto &s : sections_)
      s = Section{};
    return;
  }
  if (std::fabs(settings.preamp) >= kFlatDb) {
    gain_ = std::pow(10.0, settings.preamp / 20.0);
    active_ = true;
  }
  double target[kEqBands], centre[kEqBands], gain[kEqBands];
  bool acts[kEqBands];
  for (int b = 0; b < kEqBands; ++b) {
    centre[b] = eqBandCentre(b, settings.isoSpaced);
    // A band at or above the stream's Nyquist frequency has nothing to act on.
    acts[b] = centre[b] < 0.45 * rate;
    target[b] = acts[b] ? settings.bands[b] : 0;
  }
  compensate(target, acts, centre, rate, gain);
  for (int b = 0; b < kEqBands; ++b) {
    Section &s = sections_[b];
    if (!acts[b] || std::fabs(gain[b]) < kFlatDb) {
      s = Section{};
      state_[b][0][0] = state_[b][0][1] = state_[b][1][0] = state_[b][1][1] = 0;
      continue;
    }
    const Peaking p = peaking(gain[b], centre[b], rate);
    s.b0 = p.b0;
    s.b1 = p.b1;
    s.b2 = p.b2;
    s.a1 = p.a1;
    s.a2 = p.a2;
    if (!s.used) {
      state_[b][0][0] = state_[b][0][1] = state_[b][1][0] = state_[b][1][1] = 0;
      s.used = true;
    }
    active_ = true;
  }
}

void EqFilter::reset() {
  for (auto &band : state_)
    for (auto &ch : band)
      ch[0] = ch[1] = 0;
}

void EqFilter::process(int16_t *pcm, size_t frames) {
  if (!active_ || !pcm)
    return;
  // Only the bands that act run, each with its coefficients read once per block.
  int used[kEqBands], count = 0;
  for (int b = 0; b < kEqBands; ++b)
    if (sections_[b].used)
      used[count++] = b;
  for (size_t f = 0; f < frames; ++f) {
    for (int c = 0; c < channels_; ++c) {
      int16_t &sample = pcm[f * channels_ + c];
      double x = sample * gain_;
      for (int i = 0; i < count; ++i) {
        const Section &s = sections_[used[i]];
        double *z = state_[used[i]][c];
        // Transposed direct form II: two state values per channel and band.
        double y = s.b0 * x + z[0];
        z[0] = s.b1 * x - s.a1 * y + z[1];
        z[1] = s.b2 * x - s.a2 * y;
        x = y;
      }
      double r = std::nearbyint(x);
      sample = static_cast<int16_t>(std::clamp(r, -32768.0, 32767.0));
    }
  }
  // Flush denormals out of the history after silence, which would otherwise slow the filter.
  for (auto &band : state_)
    for (auto &ch : band)
      for (double &z : ch)
        if (std::fabs(z) < 1e-20)
          z = 0;
}

} // namespace velora::input
