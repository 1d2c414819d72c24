// The decode loop the Ogg Vorbis and Opus plug-ins share: blocks decoded as float and turned
// into 16-bit samples once, sample-exact seeks, holes in the stream skipped with one line, and
// at the end a look at whether the stream was whole.
#pragma once

#include "playback.h"

#include <cstdint>
#include <string>

namespace velora::input {

constexpr int kOggMaxChannels = 8;

class OggSource {
public:
  virtual ~OggSource() = default;
  // Rate and channels of what the last read() gave (more than two are mixed down by the
  // source); a chained stream may change them from one section to the next.
  virtual int rate() const = 0;
  virtual int channels() const = 0;
  // Frames in the stream, -1 unknown.
  virtual int64_t totalFrames() = 0;
  // True when the stream stands at `frame`; *landed gets where.
  virtual bool seek(int64_t frame, int64_t *landed) = 0;
  // Up to maxFrames interleaved 16-bit frames into out (room for maxFrames x kOggMaxChannels
  // values): the count, 0 at the end, or a negative decoder code.
  virtual long read(int16_t *out, int maxFrames) = 0;
  // A code of read() after which decoding goes on (a gap in the stream).
  virtual bool isHole(long code) const = 0;
  virtual const char *errorText(long code) const = 0;
  // Called when the stream played to its end at `position` frames: says once what was lost.
  virtual void checkEnd(Playback &pb, const std::string &file, int64_t position) = 0;
};

// Plays src through pb until the stream ends, a stop, or an error. The output is already open
// at the source's rate and channel count.
void playOgg(Playback &pb, const std::string &file, OggSource &src);

// Float samples (full scale +-1) to 16 bits, rounded to nearest and clipped.
void floatTo16(const float *in, int16_t *out, size_t n);

} // namespace velora::input
