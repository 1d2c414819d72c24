// Ten-band IIR equalizer in 32-bit fixed point (Q28 coefficients): the target had no
// floating-point unit, so floating point is confined to init_iir, run when the settings change.
#include "m4ainput.h"

#include <cmath>
#include <cstring>
#include <mutex>

#if defined(__x86_64__) && !defined(M4A_IIR_SCALAR_ONLY)
#include <immintrin.h>
#define M4A_IIR_AVX2 1
#endif

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

// The bands' sum and the scaled input are added at 2^9 times the PCM scale: with the input taken
// as sample << 11 and a quarter of it added, a flat setting gives back exactly the sample.
constexpr int kOutShift = 9;

// Channels filtered each with their own history; more are left as they are.
constexpr int kMaxChannels = 8;

struct Settings {
  bool iso = true;
  int32_t preamp = 1 << 28; // Q28
  int32_t gains[10] = {};   // Q28
  bool anyGain = false;
};

// What the filter runs with: the settings, plus the coefficients for the stream's rate.
struct Active : Settings {
  Coefficients table[10];
  int rate = 44100, channels = 2;
};

// The last two inputs and outputs of one band's section on one channel. (The three-slot ring
// of the original design holds the same values; named slots let them live in registers.)
struct Section {
  int32_t x1, x2, y1, y2;
};

// init_iir runs on the engine's thread while the decode thread filters. The new settings are
// handed over under a lock and picked up by iir_filter at the start of its next buffer, which
// also clears the history there: the filtering thread alone touches the history.
std::mutex pending_lock;
Settings pending;
std::atomic<unsigned> pending_version{0};

// The stream the decode thread announced: rate and channel count (the filter's own thread).
std::atomic<int> stream_rate{44100};
std::atomic<int> stream_channels{2};

Active active;
unsigned active_version = 0;
bool active_ready = false;
Section history[10][kMaxChannels];

// Q28 product, rounded half up: (p >> 28) plus bit 27 of p, which is the same as adding half
// before the shift.
inline int64_t mul(int64_t a, int64_t b) { return (a * b + (int64_t(1) << 27)) >> 28; }

// Q28 from a float, kept inside what the filter's 32-bit history can carry (the engine's
// -20..+20 dB range stays far inside; out-of-range or NaN settings must not overflow).
int32_t to_q28(float value) {
  if (!(value > -7.99f))
    value = value != value ? 0.0f : -7.99f;
  if (value > 7.99f)
    value = 7.99f;
  return int32_t(value * 268435456.0f);
}

#ifdef M4A_IIR_AVX2
// The same sections, ten bands side by side in three 4-lane vectors (two lanes of padding with
// zero coefficients). _mm256_mul_epi32 multiplies the signed low 32 bits of each 64-bit lane,
// which is exactly the 32 x 32 -> 64 product of the fixed-point design. AVX2 has no 64-bit
// arithmetic shift, so:
// - a section output only needs its low 32 bits (it is stored as a 32-bit value, wrapping as
//   the scalar code does), and those are the same after a logical shift;
// - a weighted output needs its true value for the sum; it is biased by 2^62 (|product| < 2^62)
//   to be positive, shifted logically, and the bias (2^34 per lane) taken off the sum.
struct alignas(32) VectorState {
  __m256i y1[2][3], y2[2][3];
  int64_t x1[2], x2[2];
};
VectorState vstate;
bool use_vector = [] {
  __builtin_cpu_init(); // this may run from a library constructor, before libgcc's own
  return __builtin_cpu_supports("avx2") != 0;
}();

void clear_vector_state() { memset(&vstate, 0, sizeof vstate); }

// Only bands with a gain take lanes (a band at 0 adds nothing, and the history is cleared before
// a change of gains could make it count), so V vectors carry up to 4 V bands.
// Filters the whole buffer in one pass (scaling, sections, sum, clipping), writing the PCM in
// place and the exported last values.
template <int V>
__attribute__((target("avx2"))) void run_lanes(const int64_t *a, const int64_t *g,
                                               const int64_t *be, const int64_t *w, int32_t preamp,
                                               short *pcm, int frames) {
  __m256i alpha[V], gamma[V], beta[V], gain[V];
  for (int v = 0; v < V; ++v) {
    alpha[v] = _mm256_load_si256(reinterpret_cast<const __m256i *>(a + 4 * v));
    gamma[v] = _mm256_load_si256(reinterpret_cast<const __m256i *>(g + 4 * v));
    beta[v] = _mm256_load_si256(reinterpret_cast<const __m256i *>(be + 4 * v));
    gain[v] = _mm256_load_si256(reinterpret_cast<const __m256i *>(w + 4 * v));
  }
  const __m256i half = _mm256_set1_epi64x(int64_t(1) << 27);
  const __m256i biased = _mm256_set1_epi64x((int64_t(1) << 62) + (int64_t(1) << 27));
  const int64_t bias_total = 4 * V * (int64_t(1) << 34);
  // Both channels in one pass: two independent recursions hide each other's latency.
  __m256i y1[2][V], y2[2][V];
  for (int c = 0; c < 2; ++c)
    for (int v = 0; v < V; ++v) {
      y1[c][v] = vstate.y1[c][v];
      y2[c][v] = vstate.y2[c][v];
    }
  int64_t x1[2] = {vstate.x1[0], vstate.x1[1]}, x2[2] = {vstate.x2[0], vstate.x2[1]};
  int64_t last_sum[2] = {0, 0};
  for (int n = 0; n < frames; ++n) {
    for (int c = 0; c < 2; ++c) {
      short &sample = pcm[2 * n + c];
      int64_t xn = int32_t(mul(preamp, int32_t(sample) * 2048));
      __m256i dx = _mm256_set1_epi64x(xn - x2[c]);
      __m256i sum = _mm256_setzero_si256();
      for (int v = 0; v < V; ++v) {
        __m256i t1 = _mm256_srli_epi64(_mm256_add_epi64(_mm256_mul_epi32(alpha[v], dx), half), 28);
        __m256i t2 =
            _mm256_srli_epi64(_mm256_add_epi64(_mm256_mul_epi32(gamma[v], y1[c][v]), half), 28);
        __m256i t3 =
            _mm256_srli_epi64(_mm256_add_epi64(_mm256_mul_epi32(beta[v], y2[c][v]), half), 28);
        __m256i y = _mm256_sub_epi64(_mm256_add_epi64(t1, t2), t3);
        y2[c][v] = y1[c][v];
        y1[c][v] = y;
        sum = _mm256_add_epi64(
            sum, _mm256_srli_epi64(_mm256_add_epi64(_mm256_mul_epi32(gain[v], y), biased), 28));
      }
      __m128i pair = _mm_add_epi64(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
      int64_t acc = _mm_cvtsi128_si64(pair) + _mm_extract_epi64(pair, 1) - bias_total + (xn >> 2);
      int64_t value = acc >> kOutShift;
      sample = short(value >= 32768 ? 32767 : value < -32768 ? -32768 : value);
      last_sum[c] = value;
      x2[c] = x1[c];
      x1[c] = xn;
    }
  }
  if (frames > 0)
    for (int c = 0; c < 2; ++c) {
      scaledpcm[c] = int(x1[c]);
      out[c] = int(last_sum[c] > INT32_MAX   ? INT32_MAX
                   : last_sum[c] < INT32_MIN ? INT32_MIN
                                             : last_sum[c]);
    }
  for (int c = 0; c < 2; ++c) {
    for (int v = 0; v < V; ++v) {
      vstate.y1[c][v] = y1[c][v];
      vstate.y2[c][v] = y2[c][v];
    }
    vstate.x1[c] = x1[c];
    vstate.x2[c] = x2[c];
  }
}
__attribute__((target("avx2"))) void run_vector(const Coefficients *table, const int32_t *gains,
                                                int32_t preamp, short *pcm, int frames) {
  alignas(32) int64_t a[12] = {}, g[12] = {}, be[12] = {}, w[12] = {};
  int lanes = 0;
  for (int b = 0; b < 10; ++b) {
    if (gains[b] == 0)
      continue;
    a[lanes] = table[b].alpha;
    g[lanes] = table[b].gamma;
    be[lanes] = table[b].beta;
    w[lanes] = gains[b];
    ++lanes;
  }
  if (lanes <= 4)
    run_lanes<1>(a, g, be, w, preamp, pcm, frames);
  else if (lanes <= 8)
    run_lanes<2>(a, g, be, w, preamp, pcm, frames);
  else
    run_lanes<3>(a, g, be, w, preamp, pcm, frames);
}
#else
constexpr bool use_vector = false;
void clear_vector_state() {}
void run_vector(const Coefficients *, const int32_t *, int32_t, short *, int) {}
#endif

// The tables are designed for 44.1 kHz. At a higher rate the same band-pass sections (centre
// and 3 dB width kept in hertz) get their coefficients anew: in this form beta is
// (1 - tan(w/2)) / (1 + tan(w/2)) for the width w, alpha is (1 - beta) / 2 and gamma is
// (1 + beta) cos(centre), all doubled in the table. Lower rates keep the designed table, whose
// top bands would lie past their Nyquist limit.
void design_table(const Coefficients *designed, int rate, Coefficients *table) {
  constexpr double q28 = 268435456.0, designed_rate = 44100.0;
  for (int b = 0; b < 10; ++b) {
    table[b] = designed[b];
    if (rate <= 44100)
      continue;
    double beta = designed[b].beta / q28, gamma = designed[b].gamma / q28;
    double centre = std::acos(gamma / (1.0 + beta)) * designed_rate; // rad * Hz
    double width = 2.0 * std::atan((1.0 - beta) / (1.0 + beta)) * designed_rate;
    double t = std::tan(width / rate / 2.0);
    double nb = (1.0 - t) / (1.0 + t);
    table[b].beta = int32_t(std::lround(nb * q28));
    table[b].alpha = int32_t(std::lround((1.0 - nb) / 2.0 * q28));
    table[b].gamma = int32_t(std::lround((1.0 + nb) * std::cos(centre / rate) * q28));
  }
}

void pick_up_settings() {
  unsigned version = pending_version.load(std::memory_order_acquire);
  int rate = stream_rate.load(std::memory_order_relaxed);
  int channels = stream_channels.load(std::memory_order_relaxed);
  if (version == active_version && active_ready && rate == active.rate &&
      channels == active.channels)
    return;
  {
    std::lock_guard<std::mutex> guard(pending_lock);
    static_cast<Settings &>(active) = pending;
    active_version = pending_version.load(std::memory_order_relaxed);
  }
  active.rate = rate;
  active.channels = channels;
  design_table(active.iso ? iso_bands : classic_bands, rate, active.table);
  active_ready = true;
  memset(history, 0, sizeof history);
  clear_vector_state();
}

// Frames filtered per pass: the scaled inputs and the band sums of one pass stay in L1.
constexpr int kBlockFrames = 256;

// One band's section over a block, both channels side by side (two independent recursions
// keep the multiplier busy). Adds the weighted outputs to the sums.
void run_band(const Coefficients &k, int32_t gain, Section &left, Section &right, const int32_t *x,
              int64_t *acc, int frames) {
  Section l = left, r = right;
  for (int n = 0; n < frames; ++n) {
    int32_t xl = x[2 * n], xr = x[2 * n + 1];
    int32_t yl = int32_t(mul(k.alpha, int64_t(xl) - l.x2) + mul(k.gamma, l.y1) - mul(k.beta, l.y2));
    int32_t yr = int32_t(mul(k.alpha, int64_t(xr) - r.x2) + mul(k.gamma, r.y1) - mul(k.beta, r.y2));
    l.x2 = l.x1;
    l.x1 = xl;
    l.y2 = l.y1;
    l.y1 = yl;
    r.x2 = r.x1;
    r.x1 = xr;
    r.y2 = r.y1;
    r.y1 = yr;
    acc[2 * n] += mul(gain, yl);
    acc[2 * n + 1] += mul(gain, yr);
  }
  left = l;
  right = r;
}

// One band's section over a block for one channel of `stride` interleaved ones.
void run_band_channel(const Coefficients &k, int32_t gain, Section &state, const int32_t *x,
                      int64_t *acc, int frames, int stride) {
  Section h = state;
  for (int n = 0; n < frames; ++n) {
    int32_t xn = x[n * stride];
    int32_t y = int32_t(mul(k.alpha, int64_t(xn) - h.x2) + mul(k.gamma, h.y1) - mul(k.beta, h.y2));
    h.x2 = h.x1;
    h.x1 = xn;
    h.y2 = h.y1;
    h.y1 = y;
    acc[n * stride] += mul(gain, y);
  }
  state = h;
}

inline short clip16(int64_t value) {
  return short(value >= 32768 ? 32767 : value < -32768 ? -32768 : value);
}

} // namespace

extern "C" {

void iir_set_stream(int rate, int channels) {
  stream_rate = rate > 0 ? rate : 44100;
  stream_channels = channels > 0 ? channels : 2;
}

void init_iir(int /*on*/, float preamp, float *bands) {
  Settings next;
  ConfigFile *cfg = xmms_cfg_open_default_file();
  int iso = 1;
  if (cfg) {
    xmms_cfg_read_boolean(cfg, "xmms", "equalizer_iso_spaced", &iso);
    xmms_cfg_free(cfg);
  }
  next.iso = iso != 0;

  // The preamp stays a Q28 fraction of the same curve: the whole-number factor the curve was
  // once cut to silenced every negative setting and ignored +1 to +8 dB. 0 dB is exactly 1.0.
  double p = preamp;
  float factor = float(1.0 + 0.0932471 * p + 0.00279033 * p * p);
  next.preamp = to_q28(factor < 0 ? 0.0f : factor);

  for (int b = 0; b < 10; ++b) {
    double v = bands ? bands[b] : 0.0;
    float gain = float(0.03 * v + 0.000999999 * v * v);
    next.gains[b] = to_q28(gain);
    next.anyGain = next.anyGain || next.gains[b] != 0;
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
  const int nch = active.channels;
  const int filtered = nch < kMaxChannels ? nch : kMaxChannels;
  const int frames = halflength / nch; // a trailing partial frame is left as it is
  if (frames <= 0)
    return;
  if (active.anyGain && use_vector && nch == 2) {
    run_vector(table, active.gains, active.preamp, pcm, frames);
    return;
  }
  if (!active.anyGain && active.preamp == (1 << 28)) {
    // Flat everywhere: the filter gives back every sample exactly, so the buffer is left as it
    // is and only the exported last values are brought up to date.
    int last = nch * (frames - 1);
    for (int c = 0; c < 2 && c < filtered; ++c) {
      scaledpcm[c] = int32_t(pcm[last + c]) * 2048;
      out[c] = pcm[last + c];
    }
    return;
  }
  if (!active.anyGain) {
    // All bands flat: only the scaled input is heard (the sections add nothing, and their
    // history is cleared before any gain could make it count).
    for (int n = 0; n < nch * frames; ++n) {
      int c = n % nch;
      if (c >= filtered)
        continue;
      int32_t x = int32_t(mul(active.preamp, int32_t(pcm[n]) * 2048));
      int32_t value = (x >> 2) >> kOutShift;
      pcm[n] = clip16(value);
      if (c < 2 && n >= nch * (frames - 1)) {
        scaledpcm[c] = x;
        out[c] = value;
      }
    }
    return;
  }
  // Blocks of whole frames whose scaled inputs and band sums stay in L1.
  constexpr int kBlockSamples = 2 * kBlockFrames;
  int32_t x[kBlockSamples];
  // Wide sums: ten boosted bands can add up past 32 bits, which must clip, not wrap.
  int64_t acc[kBlockSamples];
  const int block_frames = kBlockSamples / nch;
  for (int first = 0; first < frames; first += block_frames) {
    const int count = frames - first < block_frames ? frames - first : block_frames;
    short *block = pcm + nch * first;
    for (int n = 0; n < nch * count; ++n) {
      x[n] = int32_t(mul(active.preamp, int32_t(block[n]) * 2048));
      acc[n] = x[n] >> 2;
    }
    // A band whose gain is 0 adds nothing, and its history is cleared before any change of
    // gain could make it count, so it need not run at all.
    for (int b = 0; b < 10; ++b) {
      if (active.gains[b] == 0)
        continue;
      if (nch == 2)
        run_band(table[b], active.gains[b], history[b][0], history[b][1], x, acc, count);
      else
        for (int c = 0; c < filtered; ++c)
          run_band_channel(table[b], active.gains[b], history[b][c], x + c, acc + c, count, nch);
    }
    for (int n = 0; n < nch * count; ++n)
      if (n % nch < filtered)
        block[n] = clip16(acc[n] >> kOutShift);
    int last = nch * (count - 1);
    for (int c = 0; c < 2 && c < nch; ++c) {
      scaledpcm[c] = x[last + c];
      int64_t value = acc[last + c] >> kOutShift;
      out[c] = int(value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : value);
    }
  }
}

} // extern "C"
