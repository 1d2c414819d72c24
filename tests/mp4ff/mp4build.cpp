#include "mp4build.h"

#include <cstddef>

namespace mp4build {

void put32(Bytes &b, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8)
    b.push_back(uint8_t(v >> s));
}
void put16(Bytes &b, uint16_t v) {
  b.push_back(uint8_t(v >> 8));
  b.push_back(uint8_t(v));
}
void append(Bytes &b, const Bytes &more) { b.insert(b.end(), more.begin(), more.end()); }

Bytes box(const char *type, const Bytes &payload) {
  Bytes b;
  put32(b, uint32_t(payload.size() + 8));
  b.insert(b.end(), type, type + 4);
  append(b, payload);
  return b;
}
Bytes fullBox(const char *type, const Bytes &payload) {
  Bytes p(4, 0);
  append(p, payload);
  return box(type, p);
}
Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const Bytes &p : parts)
    append(b, p);
  return b;
}

Bytes esds(const Bytes &config) {
  Bytes dsi = {0x05, uint8_t(config.size())};
  append(dsi, config);
  Bytes dcd = {0x04, uint8_t(13 + dsi.size()), 0x40, 0x15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  append(dcd, dsi);
  Bytes es = {0x03, uint8_t(3 + dcd.size()), 0, 1, 0};
  append(es, dcd);
  return fullBox("esds", es);
}

Bytes mp4aEntry(const Bytes &config) {
  Bytes p(6, 0);
  put16(p, 1);               // data reference index
  p.resize(p.size() + 8, 0); // version, revision, vendor
  put16(p, 2);               // channels
  put16(p, 16);              // sample size
  put32(p, 0);               // compression id, packet size
  put32(p, 44100u << 16);
  append(p, esds(config));
  return box("mp4a", p);
}

Bytes buildFile(const Layout &l, std::vector<uint64_t> *offsets, const Bytes &extraMoov,
                const Bytes &config) {
  Bytes ftyp = box("ftyp", Bytes{'M', '4', 'A', ' ', 0, 0, 0, 0, 'i', 's', 'o', 'm'});
  Bytes media;
  for (std::size_t i = 0; i < l.sizes.size(); ++i)
    media.insert(media.end(), l.sizes[i], uint8_t(i + 1));
  uint64_t mediaStart = ftyp.size() + 8;
  std::vector<uint64_t> sampleOffsets;
  uint64_t at = mediaStart;
  for (uint32_t size : l.sizes) {
    sampleOffsets.push_back(at);
    at += size;
  }
  Bytes stco;
  put32(stco, uint32_t(l.chunkSamples.size()));
  std::size_t sample = 0;
  for (uint32_t n : l.chunkSamples) {
    put32(stco, uint32_t(sample < sampleOffsets.size() ? sampleOffsets[sample] : at));
    sample += n;
  }
  Bytes stsc;
  put32(stsc, uint32_t(l.runs.size()));
  for (auto [first, per] : l.runs) {
    put32(stsc, first);
    put32(stsc, per);
    put32(stsc, 1);
  }
  Bytes stsz;
  put32(stsz, 0);
  put32(stsz, uint32_t(l.sizes.size()));
  for (uint32_t s : l.sizes)
    put32(stsz, s);
  Bytes stts;
  put32(stts, 1);
  put32(stts, uint32_t(l.sizes.size()));
  put32(stts, 1024);
  Bytes stsd;
  put32(stsd, 1);
  append(stsd, mp4aEntry(config));
  Bytes mdhd(8, 0);
  put32(mdhd, l.timeScale);
  put32(mdhd, l.duration);
  put32(mdhd, 0);
  Bytes hdlr(4, 0);
  hdlr.insert(hdlr.end(), {'s', 'o', 'u', 'n'});
  hdlr.resize(hdlr.size() + 13, 0);
  Bytes stbl =
      box("stbl", concat({fullBox("stsd", stsd), fullBox("stts", stts), fullBox("stsc", stsc),
                          fullBox("stsz", stsz), fullBox("stco", stco)}));
  Bytes trak =
      box("trak",
          box("mdia", concat({fullBox("mdhd", mdhd), fullBox("hdlr", hdlr), box("minf", stbl)})));
  Bytes moov = box("moov", concat({trak, extraMoov}));
  if (offsets)
    *offsets = sampleOffsets;
  return concat({ftyp, box("mdat", media), moov});
}

Layout threeChunks() {
  Layout l;
  l.sizes = {5, 7, 3, 9, 4, 6, 8, 2};
  l.runs = {{1, 3}, {3, 2}}; // chunks 1-2 hold three samples, chunk 3 holds two
  l.chunkSamples = {3, 3, 2};
  l.duration = 8 * 1024;
  return l;
}

} // namespace mp4build
