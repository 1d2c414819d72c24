// MP4 container reader. The file is reached only through the caller's read/seek callbacks; the
// index box (moov) is read into memory once and parsed there with a cursor that can never step
// outside the box it was given, so a damaged size field can at worst make us refuse the file.
#include "mp4ff.h"

#include "internal.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

using namespace mp4ff_detail;

namespace {

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
    } else if (type == fourcc("mvhd")) {
      uint8_t version = payload.u8();
      payload.skip(version == 1 ? 3 + 16 : 3 + 8);
      f.movieTimeScale = payload.u32();
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

int mp4ff_get_gapless(const mp4ff_t *f, int track, uint64_t *skip, uint64_t *length) {
  if (skip)
    *skip = 0;
  if (length)
    *length = 0;
  const Track *t = trackAt(f, track);
  if (!t || !skip || !length)
    return 0;
  if (t->editStart >= 0 && (t->editStart > 0 || t->editDuration > 0)) {
    *skip = uint64_t(t->editStart);
    // The edit's length is in the movie's time scale; the media's may differ.
    if (t->editDuration > 0 && f->movieTimeScale > 0 && t->timeScale > 0 &&
        t->editDuration < (uint64_t(1) << 40))
      *length = t->editDuration * t->timeScale / f->movieTimeScale;
    return 1;
  }
  // iTunes: " 00000000 DELAY PADDING LENGTH ..." in hexadecimal, in samples.
  auto it = f->freeform.find("iTunSMPB");
  if (it == f->freeform.end())
    return 0;
  unsigned long long fields[4] = {0, 0, 0, 0};
  if (std::sscanf(it->second.c_str(), "%llx %llx %llx %llx", &fields[0], &fields[1], &fields[2],
                  &fields[3]) != 4 ||
      fields[1] > (1u << 20))
    return 0;
  *skip = fields[1];
  *length = fields[3];
  return 2;
}

} // extern "C"
