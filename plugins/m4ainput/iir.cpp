// Ten-band IIR equalizer in 32-bit fixed point (Q28 coefficients): the target had no
// floating-point unit, so floating point is confined to init_iir, run when the settings change.
#include "m4ainput.h"

#include <cstring>
#include <mutex>

#include <xmms/configfile.h>

extern "C" {
int out[2];
int scaledpcm[2];
short *data;
int halflength;
}

namespace {

struct Coefficients {
  int32_t beta, alpha, gamma;
};

// Band centres 31, 62, 125, 250, 500, 1k, 2k, 4k, 8k, 16k Hz at 44.1 kHz.
const Coefficients iso_bands[10] = {
    {267692260, 371597, 536122402},   {266841330, 797062, 535255564},
    {265145182, 1645136, 533496021},  {261783927, 3325764, 529883071},
    {255297227, 6569114, 522404315},  {242802136, 12816659, 506057464},
    {219523755, 24455850, 468282367}, {179468390, 44483532, 377114024},
    {120423725, 74005865, 162453696}, {64964713, 101735371, -217022329},
};

// Band centres 60, 170, 310, 600, 1k, 3k, 6k, 12k, 14k, 16k Hz at 44.1 kHz.
const Coefficients classic_bands[10] = {
    {266882570, 776442, 535298466},   {263966111, 2234672, 532245407},
    {260269902, 4082776, 528189750},  {252769356, 7833049, 519301549},
    {242802136, 12816659, 506057464}, {198481413, 34977021, 424910744},
    {146827934, 60803760, 272548910}, {83277296, 92579079, -48700827},
    {71722302, 98356576, -139902499}, {64964713, 101735371, -217022329},
};

struct Settings {
  const Coefficients *table = iso_bands;
  int32_t preamp = 1 << 28; // Q28
  int32_t gains[10] = {};   // Q28
};

struct History {
  int32_t x[3], y[3];
};

// init_iir runs on the engine's thread while the decode thread filters. The new settings are
// handed over under a lock and picked up by iir_filter at the start of its next buffer, which
// also clears the history there: the filtering thread alone touches the history.
std::mutex pending_lock;
Settings pending;
std::atomic<unsigned> pending_version{0};

Settings active;
unsigned active_version = 0;
History history[10][2];
int ring_i = 0, ring_j = 2, ring_k = 1;

// Q28 product, rounded half up.
inline int64_t mul(int64_t a, int64_t b) {
  int64_t p = a * b;
  return (p >> 28) + ((p >> 27) & 1);
}

// Q28 from a float, kept inside what the filter's 32-bit history can carry (the engine's
// -20..+20 dB range stays far inside; out-of-range or NaN settings must not overflow).
int32_t to_q28(float value) {
  if (!(value > -7.99f))
    value = value != value ? 0.0f : -7.99f;
  if (value > 7.99f)
    value = 7.99f;
  return int32_t(value * 268435456.0f);
}

void pick_up_settings() {
  unsigned version = pending_version.load(std::memory_order_acquire);
  if (version == active_version)
    return;
  std::lock_guard<std::mutex> guard(pending_lock);
  active = pending;
  active_version = pending_version.load(std::memory_order_relaxed);
  memset(history, 0, sizeof history);
  ring_i = 0;
  ring_j = 2;
  ring_k = 1;
}

} // namespace

extern "C" {

void init_iir(int /*on*/, float preamp, float *bands) {
  Settings next;
  ConfigFile *cfg = xmms_cfg_open_default_file();
  int iso = 1;
  if (cfg) {
    xmms_cfg_read_boolean(cfg, "xmms", "equalizer_iso_spaced", &iso);
    xmms_cfg_free(cfg);
  }
  next.table = iso ? iso_bands : classic_bands;

  // The preamp stays a Q28 fraction of the same curve: the whole-number factor the curve was
  // once cut to silenced every negative setting and ignored +1 to +8 dB. 0 dB is exactly 1.0.
  double p = preamp;
  float factor = float(1.0 + 0.0932471 * p + 0.00279033 * p * p);
  next.preamp = to_q28(factor < 0 ? 0.0f : factor);

  for (int b = 0; b < 10; ++b) {
    double v = bands ? bands[b] : 0.0;
    float gain = float(0.03 * v + 0.000999999 * v * v);
    next.gains[b] = to_q28(gain);
  }

  std::lock_guard<std::mutex> guard(pending_lock);
  pending = next;
  pending_version.fetch_add(1, std::memory_order_release);
}

void iir_filter(short *pcm, int length) {
  data = pcm;
  halflength = length / 2;
  if (length < 2 || !pcm)
    return;
  pick_up_settings();
  const Coefficients *table = active.table;
  const int pairs = halflength / 2; // a trailing odd sample is left as it is
  for (int n = 0; n < pairs; ++n) {
    for (int c = 0; c < 2; ++c) {
      short &sample = pcm[2 * n + c];
      int32_t x = int32_t(mul(active.preamp, int32_t(sample) * 2048));
      scaledpcm[c] = x;
      // Wide accumulator: ten boosted bands can sum past 32 bits, which must clip, not wrap.
      int64_t acc = 0;
      for (int b = 0; b < 10; ++b) {
        History &h = history[b][c];
        h.x[ring_i] = x;
        h.y[ring_i] = int32_t(mul(table[b].alpha, int64_t(h.x[ring_i]) - h.x[ring_k]) +
                              mul(table[b].gamma, h.y[ring_j]) - mul(table[b].beta, h.y[ring_k]));
        acc += mul(active.gains[b], h.y[ring_i]);
      }
      acc += x >> 2;
      int64_t value = acc >> 12;
      out[c] = int(value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : value);
      sample = short(value >= 32768 ? 32767 : value < -32768 ? -32768 : value);
    }
    ring_i = ring_i + 1 == 3 ? 0 : ring_i + 1;
    ring_j = ring_j + 1 == 3 ? 0 : ring_j + 1;
    ring_k = ring_k + 1 == 3 ? 0 : ring_k + 1;
  }
}

} // extern "C"
