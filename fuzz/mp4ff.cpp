// The MP4 reader on arbitrary bytes: both open modes, every track query, the first and last
// samples, and every tag.
#include <mp4ff.h>

#include "memfile.h"

#include <cstdlib>
#include <cstring>

namespace {

struct Source {
  const uint8_t *data;
  size_t size;
  uint64_t pos;
};

uint32_t readMem(void *user, void *buffer, uint32_t length) {
  auto *s = static_cast<Source *>(user);
  if (s->pos >= s->size)
    return 0;
  size_t n = std::min<uint64_t>(length, s->size - s->pos);
  std::memcpy(buffer, s->data + s->pos, n);
  s->pos += n;
  return static_cast<uint32_t>(n);
}

uint32_t seekMem(void *user, uint64_t position) {
  static_cast<Source *>(user)->pos = position; // past the end is allowed, as for a file
  return 0;
}

void readTags(const mp4ff_t *f) {
  int (*const getters[])(const mp4ff_t *, char **) = {
      mp4ff_meta_get_title, mp4ff_meta_get_artist, mp4ff_meta_get_album,  mp4ff_meta_get_track,
      mp4ff_meta_get_date,  mp4ff_meta_get_genre,  mp4ff_meta_get_comment};
  for (auto get : getters) {
    char *value = nullptr;
    int found = get(f, &value);
    FUZZ_CHECK(found ? value != nullptr : value == nullptr);
    if (value)
      (void)strlen(value);
    free(value);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  for (int metaOnly = 0; metaOnly < 2; ++metaOnly) {
    Source src{data, size, 0};
    mp4ff_callback_t cb = {readMem, nullptr, seekMem, nullptr, &src};
    mp4ff_t *f = metaOnly ? mp4ff_open_read_metaonly(&cb) : mp4ff_open_read(&cb);
    if (!f)
      continue;
    int tracks = mp4ff_total_tracks(f);
    FUZZ_CHECK(tracks >= 0);
    for (int t = -1; t <= tracks && t < 8; ++t) {
      unsigned char *config = nullptr;
      unsigned int configSize = 0;
      if (mp4ff_get_decoder_config(f, t, &config, &configSize) == 0) {
        FUZZ_CHECK(config != nullptr || configSize == 0);
        if (configSize)
          (void)config[configSize - 1];
      } else {
        FUZZ_CHECK(config == nullptr && configSize == 0);
      }
      free(config);
      (void)mp4ff_get_track_duration(f, t);
      (void)mp4ff_time_scale(f, t);
      (void)mp4ff_get_sample_rate(f, t);
      (void)mp4ff_get_channel_count(f, t);
      int samples = mp4ff_num_samples(f, t);
      FUZZ_CHECK(samples >= 0);
      const int probes[] = {-1, 0, 1, 2, samples / 2, samples - 2, samples - 1, samples};
      for (int s : probes) {
        unsigned char *buffer = nullptr;
        unsigned int bytes = 0;
        int got = mp4ff_read_sample(f, t, s, &buffer, &bytes);
        if (metaOnly || s < 0 || s >= samples)
          FUZZ_CHECK(got == 0);
        if (got > 0) {
          FUZZ_CHECK(buffer != nullptr && bytes == static_cast<unsigned>(got));
          (void)buffer[bytes - 1];
        } else {
          FUZZ_CHECK(buffer == nullptr);
        }
        free(buffer);
      }
    }
    readTags(f);
    mp4ff_close(f);
  }
  return 0;
}
