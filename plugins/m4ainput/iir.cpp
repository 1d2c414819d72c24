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
bool use_vector = [] {
  __builtin_cpu_init(); // this may run from a library constructor, before libgcc's own
  return __builtin_cpu_supports("avx2") != 0;
}();

// Bands in pairs, with both channels of both side by side in one vector: lanes [left a, right a,
// left b, right b] (an odd band out is paired with one of zero coefficients and gain, which stays
// at 0 and adds nothing). The serial recursion then carries two channels of two bands at once,
// and little stays in it: r(alpha * (x[n] - x[n-2])) and r(beta * y[n-2]) are known a sample
// ahead and are folded into the addend of gamma * y[n-1] as multiples of 2^28 (the rounding and
// the shift of a product are the same as clearing its low 28 bits after adding half), so the
// chain through y[n-1] is one multiply, one add and one shift. _mm256_mul_epi32 multiplies the
// signed low 32 bits of each lane, which is the 32 x 32 -> 64 product of the fixed-point design.
// AVX2 has no 64-bit arithmetic shift, so:
// - a section output only needs its low 32 bits (it is stored as a 32-bit value, wrapping as the
//   scalar code does), and those are the same after a logical shift;
// - a value that needs its true size carries a known positive bias: a scaled input is kept as
//   X = xs + 2^34 (differences are the true ones), a weighted output as r(gain * y) + 2^34
//   (|product| < 2^62), a sum starts at xs / 4 + 2^32, and the biases are taken off before the
//   final shift.
constexpr int kMaxPairs = 5;
constexpr int kPairBlock = 256; // frames per pass: the pass's arrays stay in L1
struct alignas(32) PairState {
  __m256i y1[kMaxPairs], y2[kMaxPairs];
  __m256i x; // X of the last two frames: [left n-2, right n-2, left n-1, right n-1]
};
PairState pstate;

__attribute__((target("avx2"))) void clear_vector_state() {
  memset(&pstate, 0, sizeof pstate);
  pstate.x = _mm256_set1_epi64x(int64_t(1) << 34); // inputs of 0
}

__attribute__((target("avx2"))) inline __m256i rq28(__m256i a, __m256i b, __m256i add) {
  return _mm256_srli_epi64(_mm256_add_epi64(_mm256_mul_epi32(a, b), add), 28);
}

template <int P>
__attribute__((target("avx2"))) void run_pairs(const int64_t *a, const int64_t *g,
                                               const int64_t *be, const int64_t *w, int32_t preamp,
                                               short *pcm, int frames) {
  __m256i alpha[P], gamma[P], beta[P], gain[P], y1[P], y2[P];
  for (int p = 0; p < P; ++p) {
    alpha[p] = _mm256_load_si256(reinterpret_cast<const __m256i *>(a + 4 * p));
    gamma[p] = _mm256_load_si256(reinterpret_cast<const __m256i *>(g + 4 * p));
    beta[p] = _mm256_load_si256(reinterpret_cast<const __m256i *>(be + 4 * p));
    gain[p] = _mm256_load_si256(reinterpret_cast<const __m256i *>(w + 4 * p));
    y1[p] = pstate.y1[p];
    y2[p] = pstate.y2[p];
  }
  const __m256i half = _mm256_set1_epi64x(int64_t(1) << 27);
  const __m256i biased = _mm256_set1_epi64x((int64_t(1) << 62) + (int64_t(1) << 27));
  const __m256i pre = _mm256_set1_epi64x(preamp);
  const bool unity = preamp == 1 << 28; // the scaled input is then exactly sample << 11
  const __m256i bias34 = _mm256_set1_epi64x(int64_t(1) << 34);
  const __m256i whole = _mm256_set1_epi64x(~((int64_t(1) << 28) - 1));
  // Takes the sum's bias off and puts 2^50 on, so that it stays positive: after the shift by 9
  // the low 32 bits are the true value, which fits in them (|sum| < 10 * 2^34 + 2^27).
  const __m256i unbias4 =
      _mm256_set1_epi64x((int64_t(1) << 50) - (int64_t(1) << 32) - 2 * P * (int64_t(1) << 34));
  const __m256i evens = _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6);
  __m256i xlast = pstate.x;
  alignas(32) int64_t dx[2 * kPairBlock + 8];
  alignas(32) int64_t acc[2 * kPairBlock + 8];
  alignas(16) short chunk[2 * kPairBlock + 8];
  __m256i ws[kPairBlock + 4];
  for (int first = 0; first < frames; first += kPairBlock) {
    const int count = frames - first < kPairBlock ? frames - first : kPairBlock;
    short *block = pcm + 2 * first;
    const int vectors = (count + 1) / 2; // of two frames; an odd last frame is padded with 0
    // The passes read two frames and write four at a time: a block of another length goes
    // through a padded copy.
    short *io = block;
    if (count % 4) {
      io = chunk;
      memcpy(chunk, block, size_t(count) * 4);
      memset(chunk + 2 * count, 0, 12);
    }
    // Scaled inputs and their differences two frames apart.
    __m256i xbefore = xlast;
    for (int v = 0; v < vectors; ++v) {
      __m256i s =
          _mm256_cvtepi16_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(io + 4 * v)));
      s = _mm256_slli_epi64(s, 11);
      __m256i x = unity ? _mm256_add_epi64(s, bias34) : rq28(pre, s, biased);
      _mm256_store_si256(reinterpret_cast<__m256i *>(dx + 4 * v), _mm256_sub_epi64(x, xlast));
      _mm256_store_si256(reinterpret_cast<__m256i *>(acc + 4 * v), x);
      xbefore = xlast;
      xlast = x;
    }
    if (count % 2) // the last real frames: the upper half before the padded vector, its lower
      xlast = _mm256_permute2x128_si256(xbefore, xlast, 0x21);
    // The sections, frame by frame; each frame's weighted outputs summed over the pairs.
    for (int n = 0; n < count; ++n) {
      __m256i d = _mm256_broadcastsi128_si256(
          _mm_load_si128(reinterpret_cast<const __m128i *>(dx + 2 * n)));
      __m256i sum = _mm256_setzero_si256();
#pragma GCC unroll 5
      for (int p = 0; p < P; ++p) {
        __m256i u = _mm256_or_si256(
            _mm256_and_si256(_mm256_add_epi64(_mm256_mul_epi32(alpha[p], d), half), whole), half);
        __m256i b =
            _mm256_and_si256(_mm256_add_epi64(_mm256_mul_epi32(beta[p], y2[p]), half), whole);
        __m256i k = _mm256_sub_epi64(u, b);
        __asm__("" : "+x"(k)); // added last: the chain through y[n-1] stays mul, add, shift
        __m256i y = _mm256_srli_epi64(_mm256_add_epi64(_mm256_mul_epi32(gamma[p], y1[p]), k), 28);
        y2[p] = y1[p];
        y1[p] = y;
        sum = P == 1 ? rq28(gain[p], y, biased) : _mm256_add_epi64(sum, rq28(gain[p], y, biased));
      }
      _mm256_store_si256(ws + n, sum);
    }
    // The pass below reads whole pairs of vectors: what lies past the end is only filled.
    for (int n = count; n < 2 * vectors + 2; ++n)
      ws[n] = _mm256_setzero_si256();
    _mm256_store_si256(reinterpret_cast<__m256i *>(acc + 4 * vectors), _mm256_setzero_si256());
    // Two frames' sums, the scaled input's quarter, back to 16 bits clipped by the saturating
    // pack: four frames at a time.
    for (int v = 0; v < vectors; v += 2) {
      __m256i r[2];
      for (int h = 0; h < 2; ++h) {
        __m256i w0 = _mm256_load_si256(ws + 2 * (v + h)),
                w1 = _mm256_load_si256(ws + 2 * (v + h) + 1);
        __m256i t = _mm256_add_epi64(_mm256_blend_epi32(w0, w1, 0xf0),
                                     _mm256_permute2x128_si256(w0, w1, 0x21));
        __m256i x = _mm256_load_si256(reinterpret_cast<const __m256i *>(acc + 4 * (v + h)));
        t = _mm256_add_epi64(_mm256_add_epi64(t, _mm256_srli_epi64(x, 2)), unbias4);
        r[h] = _mm256_permutevar8x32_epi32(_mm256_srli_epi64(t, 9), evens);
      }
      _mm_storeu_si128(reinterpret_cast<__m128i *>(io + 4 * v),
                       _mm_packs_epi32(_mm256_castsi256_si128(r[0]), _mm256_castsi256_si128(r[1])));
      if (v + 2 >= vectors) {
        alignas(16) int32_t last[8];
        _mm_store_si128(reinterpret_cast<__m128i *>(last), _mm256_castsi256_si128(r[0]));
        _mm_store_si128(reinterpret_cast<__m128i *>(last + 4), _mm256_castsi256_si128(r[1]));
        int at = 2 * (count - 1) - 4 * v;
        out[0] = last[at];
        out[1] = last[at + 1];
      }
    }
    if (io == chunk)
      memcpy(block, chunk, size_t(count) * 4);
  }
  alignas(32) int64_t x[4];
  _mm256_store_si256(reinterpret_cast<__m256i *>(x), xlast);
  for (int c = 0; c < 2; ++c)
    scaledpcm[c] = int(x[2 + c] - (int64_t(1) << 34));
  for (int p = 0; p < P; ++p) {
    pstate.y1[p] = y1[p];
    pstate.y2[p] = y2[p];
  }
  pstate.x = xlast;
}

__attribute__((target("avx2"))) void run_vector(const Coefficients *table, const int32_t *gains,
                                                int32_t preamp, short *pcm, int frames) {
  alignas(32) int64_t a[4 * kMaxPairs] = {}, g[4 * kMaxPairs] = {}, be[4 * kMaxPairs] = {},
                            w[4 * kMaxPairs] = {};
  int bands = 0;
  for (int b = 0; b < 10; ++b) {
    if (gains[b] == 0)
      continue;
    for (int c = 0; c < 2; ++c) {
      a[2 * bands + c] = table[b].alpha;
      g[2 * bands + c] = table[b].gamma;
      be[2 * bands + c] = table[b].beta;
      w[2 * bands + c] = gains[b];
    }
    ++bands;
  }
  switch ((bands + 1) / 2) {
  case 1:
    return run_pairs<1>(a, g, be, w, preamp, pcm, frames);
  case 2:
    return run_pairs<2>(a, g, be, w, preamp, pcm, frames);
  case 3:
    return run_pairs<3>(a, g, be, w, preamp, pcm, frames);
  case 4:
    return run_pairs<4>(a, g, be, w, preamp, pcm, frames);
  default:
    return run_pairs<5>(a, g, be, w, preamp, pcm, frames);
  }
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
