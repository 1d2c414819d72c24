// Builds MP4 containers by hand, byte by byte, so the reader's tests know every offset.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

namespace mp4build {

using Bytes = std::vector<uint8_t>;

void put32(Bytes &b, uint32_t v);
void put16(Bytes &b, uint16_t v);
void append(Bytes &b, const Bytes &more);
Bytes box(const char *type, const Bytes &payload);
Bytes fullBox(const char *type, const Bytes &payload);
Bytes concat(std::initializer_list<Bytes> parts);

// AAC-LC, 44.1 kHz, stereo.
inline const Bytes kAacConfig = {0x12, 0x10};

Bytes esds(const Bytes &config);
Bytes mp4aEntry(const Bytes &config);

struct Layout {
  std::vector<uint32_t> sizes;
  std::vector<std::pair<uint32_t, uint32_t>> runs; // first chunk, samples per chunk
  std::vector<uint32_t> chunkSamples;              // samples in each chunk, for the offsets
  uint32_t timeScale = 44100;
  uint32_t duration = 0;
};

// ftyp, mdat with sample i filled with byte (i + 1), then moov. Returns the file and the
// offset of every sample.
Bytes buildFile(const Layout &l, std::vector<uint64_t> *offsets = nullptr,
                const Bytes &extraMoov = {}, const Bytes &config = kAacConfig);

// Eight samples in three chunks over two chunk runs.
Layout threeChunks();

} // namespace mp4build
