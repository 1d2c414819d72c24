// MP4 container reader. The file is reached only through the caller's read/seek callbacks; the
// index box (moov) is read into memory once and parsed there with a cursor that can never step
// outside the box it was given, so a damaged size field can at worst make us refuse the file.
#include "mp4ff.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <vector>

namespace {

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
bool nextBox(Cursor &parent, uint32_t &type, Cursor &payload) {
  if (parent.remaining() < 8)
    return false;
  uint64_t size = parent.u32();
  type = parent.u32();
  uint64_t header = 8;
  if (size == 1) {
    if (parent.remaining() < 8)
      return false;
    size = parent.u64();
    header = 16;
  } else if (size == 0) {
    size = parent.remaining() + header;
  }
  if (size < header || size - header > parent.remaining())
    return false;
  payload = parent.sub(size - header);
  return payload.ok();
}

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

  uint32_t sampleSize(uint32_t i) const { return constantSize ? constantSize : sizes[i]; }
};

} // namespace

struct mp4ff {
  mp4ff_callback_t *cb = nullptr;
  uint64_t fileSize = 0;
  bool metaOnly = false;
  std::vector<Track> tracks;
  std::map<uint32_t, std::string> tags;
};

namespace {

bool readAt(mp4ff_callback_t *cb, uint64_t offset, void *buffer, uint32_t length) {
  cb->seek(cb->user_data, offset);
  return cb->read(cb->user_data, buffer, length) == length;
}

bool readable(mp4ff_callback_t *cb, uint64_t offset) {
  uint8_t byte;
  return readAt(cb, offset, &byte, 1);
}

// The callbacks have no size query, so find the end of the file by probing single bytes:
// doubling until a read fails, then halving the gap. About 2 x log2(size) small reads.
uint64_t probeFileSize(mp4ff_callback_t *cb) {
  if (!readable(cb, 0))
    return 0;
  uint64_t lo = 1, hi = 4096; // lo: known readable count; hi: a count that may not be
  while (readable(cb, hi - 1)) {
    lo = hi;
    if (hi >= (uint64_t(1) << 48))
      return hi;
    hi *= 2;
  }
  while (hi - lo > 1) { // invariant: byte lo-1 readable, byte hi-1 not
    uint64_t mid = lo + (hi - lo) / 2;
    if (readable(cb, mid - 1))
      lo = mid;
    else
      hi = mid;
  }
  return lo;
}

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

// Walks mdia / minf / stbl and the boxes we read on the way.
bool parseTrackBoxes(Cursor c, Track &t, const mp4ff &f, int depth) {
  if (depth > kMaxDepth)
    return false;
  uint32_t type;
  Cursor payload;
  while (c.remaining() >= 8) {
    if (!nextBox(c, type, payload))
      return false;
    bool good = true;
    if (type == fourcc("mdia") || type == fourcc("minf"))
      good = parseTrackBoxes(payload, t, f, depth + 1);
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

const char *const kGenres[] = {"Blues",
                               "Classic Rock",
                               "Country",
                               "Dance",
                               "Disco",
                               "Funk",
                               "Grunge",
                               "Hip-Hop",
                               "Jazz",
                               "Metal",
                               "New Age",
                               "Oldies",
                               "Other",
                               "Pop",
                               "R&B",
                               "Rap",
                               "Reggae",
                               "Rock",
                               "Techno",
                               "Industrial",
                               "Alternative",
                               "Ska",
                               "Death Metal",
                               "Pranks",
                               "Soundtrack",
                               "Euro-Techno",
                               "Ambient",
                               "Trip-Hop",
                               "Vocal",
                               "Jazz+Funk",
                               "Fusion",
                               "Trance",
                               "Classical",
                               "Instrumental",
                               "Acid",
                               "House",
                               "Game",
                               "Sound Clip",
                               "Gospel",
                               "Noise",
                               "AlternRock",
                               "Bass",
                               "Soul",
                               "Punk",
                               "Space",
                               "Meditative",
                               "Instrumental Pop",
                               "Instrumental Rock",
                               "Ethnic",
                               "Gothic",
                               "Darkwave",
                               "Techno-Industrial",
                               "Electronic",
                               "Pop-Folk",
                               "Eurodance",
                               "Dream",
                               "Southern Rock",
                               "Comedy",
                               "Cult",
                               "Gangsta",
                               "Top 40",
                               "Christian Rap",
                               "Pop/Funk",
                               "Jungle",
                               "Native American",
                               "Cabaret",
                               "New Wave",
                               "Psychadelic",
                               "Rave",
                               "Showtunes",
                               "Trailer",
                               "Lo-Fi",
                               "Tribal",
                               "Acid Punk",
                               "Acid Jazz",
                               "Polka",
                               "Retro",
                               "Musical",
                               "Rock & Roll",
                               "Hard Rock",
                               "Folk",
                               "Folk-Rock",
                               "National Folk",
                               "Swing",
                               "Fast Fusion",
                               "Bebob",
                               "Latin",
                               "Revival",
                               "Celtic",
                               "Bluegrass",
                               "Avantgarde",
                               "Gothic Rock",
                               "Progressive Rock",
                               "Psychedelic Rock",
                               "Symphonic Rock",
                               "Slow Rock",
                               "Big Band",
                               "Chorus",
                               "Easy Listening",
                               "Acoustic",
                               "Humour",
                               "Speech",
                               "Chanson",
                               "Opera",
                               "Chamber Music",
                               "Sonata",
                               "Symphony",
                               "Booty Bass",
                               "Primus",
                               "Porn Groove",
                               "Satire",
                               "Slow Jam",
                               "Club",
                               "Tango",
                               "Samba",
                               "Folklore",
                               "Ballad",
                               "Power Ballad",
                               "Rhythmic Soul",
                               "Freestyle",
                               "Duet",
                               "Punk Rock",
                               "Drum Solo",
                               "A capella",
                               "Euro-House",
                               "Dance Hall"};

// iTunes tag names start with the copyright sign (0xA9) in their first byte.
constexpr uint32_t itunesTag(const char (&rest)[4]) {
  return (0xa9u << 24) | (uint32_t(uint8_t(rest[0])) << 16) | (uint32_t(uint8_t(rest[1])) << 8) |
         uint32_t(uint8_t(rest[2]));
}
constexpr uint32_t kTagTitle = itunesTag("nam"), kTagArtist = itunesTag("ART"),
                   kTagAlbum = itunesTag("alb"), kTagDate = itunesTag("day"),
                   kTagGenre = itunesTag("gen"), kTagComment = itunesTag("cmt"),
                   kTagTrack = fourcc("trkn"), kTagGenreNumber = fourcc("gnre");

void parseIlstItem(uint32_t itemType, Cursor item, mp4ff &f) {
  uint32_t type;
  Cursor payload;
  while (item.remaining() >= 8) {
    if (!nextBox(item, type, payload))
      return;
    if (type != fourcc("data"))
      continue;
    payload.skip(8); // type indicator, locale
    if (!payload.ok())
      return;
    const char *text = reinterpret_cast<const char *>(payload.here());
    size_t length = payload.remaining();
    if (itemType == kTagTrack) {
      payload.skip(2);
      uint16_t number = payload.u16(), total = payload.u16();
      if (!payload.ok() || number == 0)
        return;
      std::string value = std::to_string(number);
      if (total) {
        value += '/';
        value += std::to_string(total);
      }
      f.tags[kTagTrack] = value;
    } else if (itemType == kTagGenreNumber) {
      uint16_t number = payload.u16();
      if (payload.ok() && number >= 1 && number <= sizeof kGenres / sizeof kGenres[0] &&
          !f.tags.count(kTagGenre))
        f.tags[kTagGenre] = kGenres[number - 1];
    } else {
      f.tags[itemType] = std::string(text, strnlen(text, length));
    }
    return;
  }
}

void parseMeta(Cursor c, mp4ff &f) {
  // ISO writers make meta a full box (4 bytes of version and flags); QuickTime ones do not.
  if (c.remaining() >= 8 && memcmp(c.here() + 4, "hdlr", 4) != 0)
    c.skip(4);
  uint32_t type;
  Cursor payload;
  while (c.remaining() >= 8) {
    if (!nextBox(c, type, payload))
      return;
    if (type != fourcc("ilst"))
      continue;
    uint32_t itemType;
    Cursor item;
    while (payload.remaining() >= 8 && nextBox(payload, itemType, item))
      parseIlstItem(itemType, item, f);
  }
}

void parseUdta(Cursor c, mp4ff &f) {
  uint32_t type;
  Cursor payload;
  while (c.remaining() >= 8) {
    if (!nextBox(c, type, payload))
      return;
    if (type == fourcc("meta"))
      parseMeta(payload, f);
  }
}

bool parseMoov(Cursor c, mp4ff &f) {
  uint32_t type;
  Cursor payload;
  while (c.remaining() >= 8) {
    if (!nextBox(c, type, payload))
      return false;
    if (type == fourcc("trak")) {
      Track t;
      if (!parseTrackBoxes(payload, t, f, 0))
        return false;
      if (!f.metaOnly)
        placeSamples(t);
      else
        t.usableSamples = t.stszCount;
      f.tracks.push_back(std::move(t));
    } else if (type == fourcc("udta")) {
      parseUdta(payload, f); // damaged tags cost the tags, not the music
    } else if (type == fourcc("meta")) {
      parseMeta(payload, f);
    }
  }
  return true;
}

// Finds the moov box among the top-level boxes and parses it from memory.
bool parseFile(mp4ff &f) {
  f.fileSize = probeFileSize(f.cb);
  uint64_t offset = 0;
  while (offset + 8 <= f.fileSize) {
    uint8_t header[16];
    if (!readAt(f.cb, offset, header, 8))
      return false;
    uint64_t size = (uint64_t(header[0]) << 24) | (uint64_t(header[1]) << 16) |
                    (uint64_t(header[2]) << 8) | header[3];
    uint32_t type = (uint32_t(header[4]) << 24) | (uint32_t(header[5]) << 16) |
                    (uint32_t(header[6]) << 8) | header[7];
    uint64_t headerSize = 8;
    if (size == 1) {
      if (!readAt(f.cb, offset + 8, header + 8, 8))
        return false;
      size = 0;
      for (int i = 8; i < 16; ++i)
        size = (size << 8) | header[i];
      headerSize = 16;
    } else if (size == 0) {
      size = f.fileSize - offset;
    }
    if (size < headerSize)
      return false;
    bool fits = size <= f.fileSize - offset;
    if (type == fourcc("moov")) {
      if (!fits || size - headerSize > kMaxIndexBytes)
        return false;
      std::vector<uint8_t> index(size_t(size - headerSize));
      if (!index.empty() &&
          !readAt(f.cb, offset + headerSize, index.data(), uint32_t(index.size())))
        return false;
      return parseMoov(Cursor(index.data(), index.size()), f);
    }
    if (!fits) // a cut-off last box (usually the media data): nothing after it
      return false;
    offset += size;
  }
  return false;
}

mp4ff_t *openCommon(mp4ff_callback_t *cb, bool metaOnly) {
  if (!cb || !cb->read || !cb->seek)
    return nullptr;
  mp4ff *f = new (std::nothrow) mp4ff;
  if (!f)
    return nullptr;
  f->cb = cb;
  f->metaOnly = metaOnly;
  bool good = false;
  try {
    good = parseFile(*f);
  } catch (const std::bad_alloc &) {
    good = false;
  }
  if (!good) {
    delete f;
    return nullptr;
  }
  return f;
}

const Track *trackAt(const mp4ff_t *f, int track) {
  if (!f || track < 0 || size_t(track) >= f->tracks.size())
    return nullptr;
  return &f->tracks[size_t(track)];
}

int getTag(const mp4ff_t *f, uint32_t tag, char **value) {
  if (!value)
    return 0;
  *value = nullptr;
  if (!f)
    return 0;
  auto it = f->tags.find(tag);
  if (it == f->tags.end())
    return 0;
  *value = strdup(it->second.c_str());
  return *value ? 1 : 0;
}

} // namespace

extern "C" {

mp4ff_t *mp4ff_open_read(mp4ff_callback_t *f) { return openCommon(f, false); }
mp4ff_t *mp4ff_open_read_metaonly(mp4ff_callback_t *f) { return openCommon(f, true); }
void mp4ff_close(mp4ff_t *f) { delete f; }

int32_t mp4ff_total_tracks(const mp4ff_t *f) { return f ? int32_t(f->tracks.size()) : 0; }

int32_t mp4ff_get_decoder_config(const mp4ff_t *f, int track, unsigned char **buffer,
                                 unsigned int *size) {
  if (buffer)
    *buffer = nullptr;
  if (size)
    *size = 0;
  const Track *t = trackAt(f, track);
  if (!t || !t->hasConfig || !buffer || !size)
    return -1;
  auto *copy = static_cast<unsigned char *>(malloc(t->config.size()));
  if (!copy)
    return -1;
  memcpy(copy, t->config.data(), t->config.size());
  *buffer = copy;
  *size = unsigned(t->config.size());
  return 0;
}

int32_t mp4ff_num_samples(const mp4ff_t *f, int track) {
  const Track *t = trackAt(f, track);
  return t ? int32_t(t->usableSamples) : 0;
}

int32_t mp4ff_read_sample(mp4ff_t *f, int track, int sample, unsigned char **buffer,
                          unsigned int *bytes) {
  if (buffer)
    *buffer = nullptr;
  if (bytes)
    *bytes = 0;
  const Track *t = trackAt(f, track);
  if (!t || !buffer || !bytes || sample < 0 || uint32_t(sample) >= t->sampleOffsets.size())
    return 0;
  uint64_t offset = t->sampleOffsets[size_t(sample)];
  uint32_t size = t->sampleSize(uint32_t(sample));
  if (size == 0 || size > kMaxSampleBytes || offset > f->fileSize || size > f->fileSize - offset)
    return 0;
  auto *data = static_cast<unsigned char *>(malloc(size));
  if (!data)
    return 0;
  if (!readAt(f->cb, offset, data, size)) {
    free(data);
    return 0;
  }
  *buffer = data;
  *bytes = size;
  return int32_t(size);
}

int64_t mp4ff_get_track_duration(const mp4ff_t *f, int track) {
  const Track *t = trackAt(f, track);
  if (!t)
    return -1;
  uint64_t d = t->duration ? t->duration : t->sttsDuration;
  return d > uint64_t(INT64_MAX) ? INT64_MAX : int64_t(d);
}

int32_t mp4ff_time_scale(const mp4ff_t *f, int track) {
  const Track *t = trackAt(f, track);
  return t ? int32_t(t->timeScale) : -1;
}

uint32_t mp4ff_get_sample_rate(const mp4ff_t *f, int track) {
  const Track *t = trackAt(f, track);
  return t ? t->sampleRate : 0;
}

uint32_t mp4ff_get_channel_count(const mp4ff_t *f, int track) {
  const Track *t = trackAt(f, track);
  return t ? t->channels : 0;
}

int mp4ff_meta_get_title(const mp4ff_t *f, char **value) { return getTag(f, kTagTitle, value); }
int mp4ff_meta_get_artist(const mp4ff_t *f, char **value) { return getTag(f, kTagArtist, value); }
int mp4ff_meta_get_album(const mp4ff_t *f, char **value) { return getTag(f, kTagAlbum, value); }
int mp4ff_meta_get_track(const mp4ff_t *f, char **value) { return getTag(f, kTagTrack, value); }
int mp4ff_meta_get_date(const mp4ff_t *f, char **value) { return getTag(f, kTagDate, value); }
int mp4ff_meta_get_genre(const mp4ff_t *f, char **value) { return getTag(f, kTagGenre, value); }
int mp4ff_meta_get_comment(const mp4ff_t *f, char **value) { return getTag(f, kTagComment, value); }

} // extern "C"
