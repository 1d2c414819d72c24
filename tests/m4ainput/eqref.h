// An independent, deliberately plain model of the equalizer arithmetic: Q28 coefficients, the
// rounded Q28 product, ten band-pass sections per channel sharing one ring position, a Q28
// preamp factor from the same polynomial, the sum taken at the scale where a flat setting gives
// the sample back, and clipping to 16 bits.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace m4a {

struct EqReference {
  static constexpr int64_t iso[10][3] = {
      {267692260, 371597, 536122402},   {266841330, 797062, 535255564},
      {265145182, 1645136, 533496021},  {261783927, 3325764, 529883071},
      {255297227, 6569114, 522404315},  {242802136, 12816659, 506057464},
      {219523755, 24455850, 468282367}, {179468390, 44483532, 377114024},
      {120423725, 74005865, 162453696}, {64964713, 101735371, -217022329}};
  static constexpr int64_t classic[10][3] = {
      {266882570, 776442, 535298466},   {263966111, 2234672, 532245407},
      {260269902, 4082776, 528189750},  {252769356, 7833049, 519301549},
      {242802136, 12816659, 506057464}, {198481413, 34977021, 424910744},
      {146827934, 60803760, 272548910}, {83277296, 92579079, -48700827},
      {71722302, 98356576, -139902499}, {64964713, 101735371, -217022329}};

  const int64_t (*table)[3] = iso;
  int64_t preamp = 0;
  int64_t gain[10] = {};
  int64_t x[10][2][3] = {}, y[10][2][3] = {};
  int i = 0, j = 2, k = 1;
  int lastOut[2] = {}, lastScaled[2] = {};

  static int64_t mul(int64_t a, int64_t b) {
    int64_t p = a * b;
    return (p >> 28) + ((p & (int64_t(1) << 27)) ? 1 : 0);
  }

  EqReference(float preampDb, const float *bands, bool isoSpaced = true) {
    table = isoSpaced ? iso : classic;
    double p = preampDb;
    float f = float(1.0 + 0.0932471 * p + 0.00279033 * p * p);
    preamp = int64_t(f * 268435456.0f);
    for (int b = 0; b < 10; ++b) {
      double v = bands[b];
      float g = float(0.03 * v + 0.000999999 * v * v);
      gain[b] = int64_t(g * 268435456.0f);
    }
  }

  void run(int16_t *pcm, int lengthBytes) {
    int half = lengthBytes / 2;
    if (lengthBytes < 2)
      return;
    for (int n = 0; n + 1 < half; n += 2) {
      for (int c = 0; c < 2; ++c) {
        int64_t in = int64_t(int32_t(pcm[n + c]) * 2048);
        int64_t xs = int32_t(mul(preamp, in));
        lastScaled[c] = int(xs);
        int64_t acc = 0;
        for (int b = 0; b < 10; ++b) {
          x[b][c][i] = xs;
          y[b][c][i] = int32_t(mul(table[b][1], x[b][c][i] - x[b][c][k]) +
                               mul(table[b][2], y[b][c][j]) - mul(table[b][0], y[b][c][k]));
          acc += mul(gain[b], y[b][c][i]);
        }
        acc += xs >> 2;
        int64_t v = acc >> 9; // (sample << 11) / 4 >> 9 is the sample itself

        lastOut[c] = int(v);
        pcm[n + c] = int16_t(v > 32767 ? 32767 : v < -32768 ? -32768 : v);
      }
      i = (i + 1) % 3;
      j = (j + 1) % 3;
      k = (k + 1) % 3;
    }
  }
};

// Runs the filter under test and the model side by side over several settings (including
// bands left at 0, which a filter may skip) and several buffers in a row, comparing every
// sample and the exported last values.
inline void expectBitExact(void (*init)(int, float, float *), void (*filter)(short *, int),
                           const int *out, const int *scaled) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> db(-20.0f, 20.0f);
  struct Setting {
    float preamp;
    int activeBands; // the first n bands of a shuffled order get a value, the rest stay 0
  } settings[] = {{0.0f, 10},  {20.0f, 0}, {20.0f, 10}, {-6.5f, 10}, {3.0f, 3},
                  {-20.0f, 6}, {7.0f, 8},  {0.0f, 1},   {12.0f, 4},  {-3.0f, 5}};
  for (const Setting &s : settings) {
    SCOPED_TRACE(testing::Message() << "preamp " << s.preamp << ", bands " << s.activeBands);
    float bands[10] = {};
    int order[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::shuffle(order, order + 10, rng);
    for (int n = 0; n < s.activeBands; ++n)
      bands[order[n]] = db(rng);
    init(1, s.preamp, bands);
    EqReference ref(s.preamp, bands);
    for (int round = 0; round < 4; ++round) {
      std::mt19937 noise(unsigned(round + 10));
      int amplitude = round == 3 ? 32767 : 12000;
      std::uniform_int_distribution<int> d(-amplitude - 1, amplitude);
      // Lengths that are not a whole number of blocks or frames.
      std::vector<int16_t> in(size_t(2048 + 601 * round + (round == 2 ? 1 : 0)));
      for (auto &v : in)
        v = int16_t(d(noise));
      std::vector<int16_t> got = in, want = in;
      filter(got.data(), int(got.size() * 2));
      ref.run(want.data(), int(want.size() * 2));
      ASSERT_EQ(got, want) << "round " << round;
      EXPECT_EQ(out[0], ref.lastOut[0]);
      EXPECT_EQ(out[1], ref.lastOut[1]);
      EXPECT_EQ(scaled[0], ref.lastScaled[0]);
      EXPECT_EQ(scaled[1], ref.lastScaled[1]);
    }
  }
}

} // namespace m4a
