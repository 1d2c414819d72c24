// The track boxes: media header, sample description with the AAC configuration, and the sample
// tables that place every sample in the file.
#include "internal.h"

namespace mp4ff_detail {

namespace {

// MPEG-4 descriptor length: up to four bytes of seven bits each.
bool descriptorLength(Cursor &c, uint32_t &length) {
  length = 0;
  for (int i = 0; i < 4; ++i) {
    uint8_t b = c.u8();
    if (!c.ok())
      return false;
    length = (length << 7) | (b & 0x7f);
    if (!(b & 0x80))
      return true;
  }
  return true;
}

// Walks the descriptors of c up to the first one with the given tag: 1 with its body and length,
// 0 when there is none, -1 when a length runs past what holds it.
int findDescriptor(Cursor &c, uint8_t wanted, Cursor &body, uint32_t &length) {
  while (c.remaining() >= 2) {
    uint8_t tag = c.u8();
    if (!descriptorLength(c, length) || length > c.remaining())
      return -1;
    Cursor next = c.sub(length);
    if (tag == wanted) {
      body = next;
      return 1;
    }
  }
  return 0;
}

// DecoderConfigDescriptor body: the fixed fields, then the DecoderSpecificInfo we want.
bool parseDecoderConfig(Cursor c, Track &t) {
  if (!c.skip(13))
    return false;
  Cursor body;
  uint32_t length;
  int found = findDescriptor(c, 0x05, body, length);
  if (found <= 0)
    return found == 0;
  t.config.assign(body.here(), body.here() + length);
  t.hasConfig = length > 0;
  return true;
}

bool parseEsds(Cursor c, Track &t) {
  if (!c.skip(4)) // version and flags
    return false;
  uint8_t tag = c.u8();
  uint32_t length;
  if (!descriptorLength(c, length) || length > c.remaining())
    return false;
  Cursor es = c.sub(length);
  if (tag == 0x04) // some writers leave out the ES descriptor around it
    return parseDecoderConfig(es, t);
  if (tag != 0x03)
    return false;
  es.skip(2); // ES_ID
  uint8_t flags = es.u8();
  if (flags & 0x80)
    es.skip(2);
  if (flags & 0x40)
    es.skip(es.u8());
  if (flags & 0x20)
    es.skip(2);
  if (!es.ok())
    return false;
  Cursor body;
  uint32_t innerLength;
  int found = findDescriptor(es, 0x04, body, innerLength);
  if (found <= 0)
    return found == 0;
  return parseDecoderConfig(body, t);
}

// Children of a sample entry: the esds we want, possibly inside a QuickTime 'wave' box.
bool parseEntryChildren(Cursor c, Track &t, int depth) {
  if (depth > kMaxDepth)
    return false;
  uint32_t type;
  Cursor payload;
  while (c.remaining() >= 8) {
    if (!nextBox(c, type, payload))
      return false;
    if (type == fourcc("esds")) {
      if (!parseEsds(payload, t))
        return false;
    } else if (type == fourcc("wave")) {
      if (!parseEntryChildren(payload, t, depth + 1))
        return false;
    }
  }
  return true;
}

bool parseStsd(Cursor c, Track &t) {
  c.skip(4);
  uint32_t count = c.u32();
  if (!c.ok() || count == 0)
    return c.ok();
  uint32_t type;
  Cursor entry;
  if (!nextBox(c, type, entry)) // only the first entry describes what we decode
    return false;
  if (type == fourcc("mp4a") || type == fourcc("enca")) {
    entry.skip(8); // reserved, data reference index
    uint16_t version = entry.u16();
    entry.skip(6);
    t.channels = entry.u16();
    entry.skip(6);
    t.sampleRate = entry.u32() >> 16;
    if (version == 1)
      entry.skip(16);
    else if (version == 2)
      entry.skip(36);
    if (!entry.ok())
      return false;
    return parseEntryChildren(entry, t, 0);
  }
  if (type == fourcc("mp4v") || type == fourcc("encv")) {
    if (!entry.skip(78))
      return false;
    return parseEntryChildren(entry, t, 0);
  }
  if (type == fourcc("mp4s")) {
    if (!entry.skip(8))
      return false;
    return parseEntryChildren(entry, t, 0);
  }
  return true; // other codecs (avc1, ...) carry no esds: no decoder configuration
}

bool parseStts(Cursor c, Track &t) {
  c.skip(4);
  uint32_t count = c.u32();
  if (!c.ok() || uint64_t(count) * 8 > c.remaining())
    return false;
  uint64_t total = 0;
  for (uint32_t i = 0; i < count; ++i) {
    uint64_t n = c.u32();
    total += n * c.u32();
  }
  t.sttsDuration = total;
  return c.ok();
}

bool parseStsz(Cursor c, Track &t, uint64_t fileSize, bool metaOnly) {
  c.skip(4);
  t.constantSize = c.u32();
  t.stszCount = c.u32();
  if (!c.ok())
    return false;
  if (t.constantSize) {
    // Every sample lies in the file, so more of them than the file could hold is a lie.
    if (uint64_t(t.stszCount) * t.constantSize > fileSize)
      return false;
  } else {
    if (uint64_t(t.stszCount) * 4 > c.remaining())
      return false;
    if (!metaOnly) {
      t.sizes.resize(t.stszCount);
      for (uint32_t i = 0; i < t.stszCount; ++i)
        t.sizes[i] = c.u32();
    }
  }
  t.haveStsz = true;
  return c.ok();
}

bool parseStsc(Cursor c, Track &t) {
  c.skip(4);
  uint32_t count = c.u32();
  if (!c.ok() || uint64_t(count) * 12 > c.remaining())
    return false;
  t.runs.resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    t.runs[i].firstChunk = c.u32();
    t.runs[i].samplesPerChunk = c.u32();
    c.skip(4); // sample description index
  }
  t.haveStsc = true;
  return c.ok();
}

bool parseChunkOffsets(Cursor c, Track &t, bool wide) {
  c.skip(4);
  uint32_t count = c.u32();
  uint64_t width = wide ? 8 : 4;
  if (!c.ok() || uint64_t(count) * width > c.remaining())
    return false;
  t.chunkOffsets.resize(count);
  for (uint32_t i = 0; i < count; ++i)
    t.chunkOffsets[i] = wide ? c.u64() : c.u32();
  t.haveChunks = true;
  return c.ok();
}

bool parseStbl(Cursor c, Track &t, const mp4ff &f) {
  uint32_t type;
  Cursor payload;
  while (c.remaining() >= 8) {
    if (!nextBox(c, type, payload))
      return false;
    bool good = true;
    if (type == fourcc("stsd"))
      good = parseStsd(payload, t);
    else if (type == fourcc("stts"))
      good = parseStts(payload, t);
    else if (type == fourcc("stsz"))
      good = parseStsz(payload, t, f.fileSize, f.metaOnly);
    else if (!f.metaOnly && type == fourcc("stsc"))
      good = parseStsc(payload, t);
    else if (!f.metaOnly && type == fourcc("stco"))
      good = parseChunkOffsets(payload, t, false);
    else if (!f.metaOnly && type == fourcc("co64"))
      good = parseChunkOffsets(payload, t, true);
    if (!good)
      return false;
  }
  return true;
}

bool parseMdhd(Cursor c, Track &t) {
  uint8_t version = c.u8();
  c.skip(3);
  if (version == 1) {
    c.skip(16);
    t.timeScale = c.u32();
    t.duration = c.u64();
  } else {
    c.skip(8);
    t.timeScale = c.u32();
    t.duration = c.u32();
    if (t.duration == 0xffffffffu) // "unknown"
      t.duration = 0;
  }
  return c.ok();
}

// The edit list: the first edit that shows media (an empty edit, media time -1, only delays).
void parseElst(Cursor c, Track &t) {
  uint8_t version = c.u8();
  c.skip(3);
  uint32_t count = c.u32();
  for (uint32_t i = 0; i < count && c.ok() && t.editStart < 0; ++i) {
    uint64_t duration = version == 1 ? c.u64() : c.u32();
    int64_t start = version == 1 ? int64_t(c.u64()) : int64_t(int32_t(c.u32()));
    c.skip(4); // media rate
    if (c.ok() && start >= 0) {
      t.editStart = start;
      t.editDuration = duration;
    }
  }
}

// Walks mdia / minf / stbl and the boxes we read on the way.

} // namespace

bool parseTrackBoxes(Cursor c, Track &t, const mp4ff &f, int depth) {
  if (depth > kMaxDepth)
    return false;
  uint32_t type;
  Cursor payload;
  while (c.remaining() >= 8) {
    if (!nextBox(c, type, payload))
      return false;
    bool good = true;
    if (type == fourcc("mdia") || type == fourcc("minf") || type == fourcc("edts"))
      good = parseTrackBoxes(payload, t, f, depth + 1);
    else if (type == fourcc("elst"))
      parseElst(payload, t); // a damaged edit list costs the trimming only
    else if (type == fourcc("stbl"))
      good = parseStbl(payload, t, f);
    else if (type == fourcc("mdhd"))
      good = parseMdhd(payload, t);
    else if (type == fourcc("hdlr")) {
      payload.skip(8);
      t.handler = payload.u32();
      good = payload.ok();
    }
    if (!good)
      return false;
  }
  return true;
}

// Places every sample in the file from the chunk runs, the chunk offsets and the sizes. Only as
// many samples as all three tables agree on are usable; the loops are bounded by the table
// lengths, never by counts read from the file.
void placeSamples(Track &t) {
  if (!t.haveStsz || !t.haveStsc || !t.haveChunks)
    return;
  const uint32_t chunkCount = uint32_t(t.chunkOffsets.size());
  t.sampleOffsets.resize(t.stszCount);
  uint32_t sample = 0;
  uint32_t previousFirst = 0;
  for (size_t r = 0; r < t.runs.size() && sample < t.stszCount; ++r) {
    uint32_t first = t.runs[r].firstChunk;
    if (first <= previousFirst || first > chunkCount) // must start at 1 and ascend
      break;
    previousFirst = first;
    uint32_t last = chunkCount;
    if (r + 1 < t.runs.size() && t.runs[r + 1].firstChunk > first)
      last = std::min(chunkCount, t.runs[r + 1].firstChunk - 1);
    for (uint32_t chunk = first; chunk <= last && sample < t.stszCount; ++chunk) {
      uint64_t offset = t.chunkOffsets[chunk - 1];
      for (uint32_t s = 0; s < t.runs[r].samplesPerChunk && sample < t.stszCount; ++s) {
        t.sampleOffsets[sample] = offset;
        offset += t.sampleSize(sample);
        ++sample;
      }
    }
  }
  t.usableSamples = sample;
  t.sampleOffsets.resize(sample);
}

// --- tags ---
} // namespace mp4ff_detail
