// What the parts of the MP4 reader share: the bounded cursor over bytes in memory, box headers,
// the parsed tracks and the reader's state. Internal to platform/mp4ff.
#pragma once

#include "mp4ff.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace mp4ff_detail {

// Limits that keep a hostile file from making us allocate much more than it could describe.
constexpr uint64_t kMaxIndexBytes = 64u << 20; // the whole moov box
constexpr uint32_t kMaxSampleBytes = 16u << 20;
constexpr int kMaxDepth = 16;

constexpr uint32_t fourcc(const char (&s)[5]) {
  return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) |
         (uint32_t(uint8_t(s[2])) << 8) | uint32_t(uint8_t(s[3]));
}

// A bounded view on bytes already in memory. Every read checks the remaining length first; a
// failed read marks the cursor bad and yields zeros, and callers test ok() where it matters.
class Cursor {
public:
  Cursor() = default;
  Cursor(const uint8_t *p, size_t n) : p_(p), n_(n) {}

  size_t remaining() const { return ok_ ? n_ - pos_ : 0; }
  bool ok() const { return ok_; }
  const uint8_t *here() const { return p_ + pos_; }

  bool skip(uint64_t count) {
    if (!ok_ || count > n_ - pos_)
      return fail();
    pos_ += size_t(count);
    return true;
  }
  uint8_t u8() { return uint8_t(take(1)); }
  uint16_t u16() { return uint16_t(take(2)); }
  uint32_t u24() { return uint32_t(take(3)); }
  uint32_t u32() { return uint32_t(take(4)); }
  uint64_t u64() { return take(8); }
  // A sub-cursor over the next `count` bytes; this cursor moves past them.
  Cursor sub(uint64_t count) {
    if (!ok_ || count > n_ - pos_) {
      fail();
      Cursor bad;
      bad.ok_ = false;
      return bad;
    }
    Cursor c(p_ + pos_, size_t(count));
    pos_ += size_t(count);
    return c;
  }

private:
  bool fail() {
    ok_ = false;
    return false;
  }
  uint64_t take(size_t count) {
    if (!ok_ || count > n_ - pos_) {
      fail();
      return 0;
    }
    uint64_t v = 0;
    for (size_t i = 0; i < count; ++i)
      v = (v << 8) | p_[pos_ + i];
    pos_ += count;
    return v;
  }

  const uint8_t *p_ = nullptr;
  size_t n_ = 0;
  size_t pos_ = 0;
  bool ok_ = true;
};

// Reads the next child box header inside `parent`: its type and a cursor over its payload.
// Refuses sizes smaller than the header or larger than what the parent still holds; a size of 0
// (to the end) is accepted as "the rest of the parent".
bool nextBox(Cursor &parent, uint32_t &type, Cursor &payload);

struct ChunkRun {
  uint32_t firstChunk;
  uint32_t samplesPerChunk;
};

struct Track {
  uint32_t handler = 0;
  uint32_t timeScale = 0;
  uint64_t duration = 0;
  uint64_t sttsDuration = 0;
  uint32_t sampleRate = 0;
  uint32_t channels = 0;
  bool hasConfig = false;
  std::vector<uint8_t> config;

  bool haveStsz = false;
  uint32_t stszCount = 0;
  uint32_t constantSize = 0;
  std::vector<uint32_t> sizes;
  std::vector<ChunkRun> runs;
  std::vector<uint64_t> chunkOffsets;
  bool haveStsc = false, haveChunks = false;

  std::vector<uint64_t> sampleOffsets; // filled only by a full open
  uint32_t usableSamples = 0;

  // The first edit that shows media (edts/elst): where in the media it starts (media time
  // scale, -1 for none) and how long it lasts (movie time scale, 0 for "to the end").
  int64_t editStart = -1;
  uint64_t editDuration = 0;

  uint32_t sampleSize(uint32_t i) const { return constantSize ? constantSize : sizes[i]; }
};

} // namespace mp4ff_detail

struct mp4ff {
  mp4ff_callback_t *cb = nullptr;
  uint64_t fileSize = 0;
  bool metaOnly = false;
  std::vector<mp4ff_detail::Track> tracks;
  std::map<uint32_t, std::string> tags;
  std::map<std::string, std::string> freeform; // "----" items by name ("iTunSMPB")
  uint32_t movieTimeScale = 0;                 // mvhd: the unit of edit durations
};

namespace mp4ff_detail {

bool readAt(mp4ff_callback_t *cb, uint64_t offset, void *buffer, uint32_t length);
// The size of the file behind the callbacks.
uint64_t probeFileSize(mp4ff_callback_t *cb);

// One trak box into t (tracks.cpp).
bool parseTrackBoxes(Cursor c, Track &t, const mp4ff &f, int depth);
void placeSamples(Track &t);

// Tags (tags.cpp).
void parseUdta(Cursor c, mp4ff &f);
void parseMeta(Cursor c, mp4ff &f);
int getTag(const mp4ff_t *f, uint32_t tag, char **value);
// iTunes tag names start with the copyright sign (0xA9) in their first byte.
constexpr uint32_t itunesTag(const char (&rest)[4]) {
  return (0xa9u << 24) | (uint32_t(uint8_t(rest[0])) << 16) | (uint32_t(uint8_t(rest[1])) << 8) |
         uint32_t(uint8_t(rest[2]));
}
constexpr uint32_t kTagTitle = itunesTag("nam"), kTagArtist = itunesTag("ART"),
                   kTagAlbum = itunesTag("alb"), kTagDate = itunesTag("day"),
                   kTagGenre = itunesTag("gen"), kTagComment = itunesTag("cmt"),
                   kTagTrack = fourcc("trkn"), kTagGenreNumber = fourcc("gnre");

} // namespace mp4ff_detail
