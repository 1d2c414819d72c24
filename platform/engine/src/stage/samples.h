// Conversions between the sample formats input plug-ins may hand over and the two the output
// stage works in: signed 16-bit native (volume) and float (effects).
#pragma once

#include <xmms/plugin.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace engine::stage {

int bytesPerSample(AFormat fmt);

// Replaces `out` with the samples of `bytes` (whole samples only) as signed 16-bit values.
void toS16(AFormat fmt, const void *data, size_t bytes, std::vector<int16_t> &out);
// Replaces `out` with `samples` in format fmt.
void fromS16(AFormat fmt, const int16_t *samples, size_t n, std::vector<uint8_t> &out);

void s16ToFloat(const int16_t *in, size_t n, std::vector<float> &out);
// Scales by gain, rounds and clips at full scale.
void floatToS16(const float *in, size_t n, float gain, std::vector<int16_t> &out);

// Linear gain in percent, rounded toward zero as integer arithmetic does; 100 leaves the samples
// untouched.
void applyVolume(int16_t *s, size_t n, int percent);

// Multiplies by a linear gain (at or above 0) in fixed point, rounding to the nearest value and
// clipping at full scale: within one step of the float path (s16ToFloat, floatToS16) at a
// fraction of its cost.
void applyGain(int16_t *s, size_t n, double gain);

} // namespace engine::stage
