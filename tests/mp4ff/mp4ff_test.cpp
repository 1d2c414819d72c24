// The MP4 reader against files made by ffmpeg, against hand-built containers whose every byte we
// know, and against thousands of damaged copies (run under the sanitizers, a read outside a
// buffer fails the test).
#include <mp4ff.h>

#include "mp4build.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#ifdef HAVE_FAAD
#include <neaacdec.h>
#endif

using velora::test::fixture;
using velora::test::readFile;
using namespace mp4build;

namespace {

// A file in memory behind the reader's callbacks.
struct MemoryFile {
  Bytes bytes;
  uint64_t pos = 0;
  mp4ff_callback_t cb{};

  explicit MemoryFile(Bytes b) : bytes(std::move(b)) {
    cb.read = [](void *user, void *buffer, uint32_t length) -> uint32_t {
      auto *self = static_cast<MemoryFile *>(user);
      if (self->pos >= self->bytes.size())
        return 0;
      uint64_t n = std::min<uint64_t>(length, self->bytes.size() - self->pos);
      memcpy(buffer, self->bytes.data() + self->pos, n);
      self->pos += n;
      return uint32_t(n);
    };
    cb.seek = [](void *user, uint64_t position) -> uint32_t {
      static_cast<MemoryFile *>(user)->pos = position;
      return 0;
    };
    cb.user_data = this;
  }
  MemoryFile(const MemoryFile &) = delete;
};

Bytes loadFixture(const std::string &name) {
  std::string s = readFile(fixture("m4a/" + name));
  return Bytes(s.begin(), s.end());
}

std::string tag(mp4ff_t *f, int (*get)(const mp4ff_t *, char **)) {
  char *value = nullptr;
  int found = get(f, &value);
  std::string s = found && value ? value : "<none>";
  free(value);
  return s;
}

// Runs every query a player makes; sanitizers watch the reads.
void exercise(mp4ff_t *f) {
  int tracks = mp4ff_total_tracks(f);
  for (int t = -1; t <= tracks; ++t) {
    unsigned char *blob = nullptr;
    unsigned int size = 0;
    if (mp4ff_get_decoder_config(f, t, &blob, &size) == 0) {
      volatile unsigned sum = 0;
      for (unsigned i = 0; i < size; ++i)
        sum = sum + blob[i];
    }
    free(blob);
    mp4ff_get_track_duration(f, t);
    mp4ff_time_scale(f, t);
    int n = mp4ff_num_samples(f, t);
    for (int s = -1; s <= n && s < 5000; ++s) {
      unsigned char *data = nullptr;
      unsigned int bytes = 0;
      int got = mp4ff_read_sample(f, t, s, &data, &bytes);
      if (got > 0) {
        EXPECT_EQ(unsigned(got), bytes);
        volatile unsigned sum = 0;
        for (unsigned i = 0; i < bytes; ++i)
          sum = sum + data[i];
      } else {
        EXPECT_EQ(data, nullptr);
      }
      free(data);
    }
  }
  for (auto get :
       {mp4ff_meta_get_title, mp4ff_meta_get_artist, mp4ff_meta_get_album, mp4ff_meta_get_track,
        mp4ff_meta_get_date, mp4ff_meta_get_genre, mp4ff_meta_get_comment})
    tag(f, get);
}

// Frames of an ADTS stream: header length 7 (9 with a CRC).
std::vector<Bytes> adtsPayloads(const Bytes &adts) {
  std::vector<Bytes> frames;
  size_t at = 0;
  while (at + 7 <= adts.size()) {
    size_t length = ((adts[at + 3] & 3u) << 11) | (size_t(adts[at + 4]) << 3) | (adts[at + 5] >> 5);
    size_t header = (adts[at + 1] & 1) ? 7 : 9;
    if (length < header || at + length > adts.size())
      break;
    frames.emplace_back(adts.begin() + long(at + header), adts.begin() + long(at + length));
    at += length;
  }
  return frames;
}

// The mdhd box found by a plain byte search (no box walking), for an independent check.
void mdhdFields(const Bytes &file, size_t nth, uint32_t &scale, uint32_t &duration) {
  size_t from = 0;
  for (size_t k = 0;; ++k) {
    auto it = std::search(file.begin() + long(from), file.end(), "mdhd", "mdhd" + 4);
    ASSERT_NE(it, file.end());
    size_t at = size_t(it - file.begin());
    if (k == nth) {
      ASSERT_EQ(file[at + 4], 0) << "version 0 expected";
      auto rd = [&](size_t o) {
        return (uint32_t(file[o]) << 24) | (uint32_t(file[o + 1]) << 16) |
               (uint32_t(file[o + 2]) << 8) | file[o + 3];
      };
      scale = rd(at + 16);
      duration = rd(at + 20);
      return;
    }
    from = at + 4;
  }
}

} // namespace

TEST(Mp4ff, ReadsTheFfmpegFileLikeFfmpegDoes) {
  MemoryFile file(loadFixture("tagged.m4a"));
  mp4ff_t *f = mp4ff_open_read(&file.cb);
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(mp4ff_total_tracks(f), 1);

  unsigned char *blob = nullptr;
  unsigned int size = 0;
  ASSERT_EQ(mp4ff_get_decoder_config(f, 0, &blob, &size), 0);
  ASSERT_NE(blob, nullptr);
  ASSERT_GE(size, 2u);
  // AudioSpecificConfig: object type 2 (LC), frequency index 4 (44100), 2 channels.
  EXPECT_EQ(blob[0] >> 3, 2);
  EXPECT_EQ(((blob[0] & 7) << 1) | (blob[1] >> 7), 4);
  EXPECT_EQ((blob[1] >> 3) & 15, 2);
  free(blob);
  EXPECT_EQ(mp4ff_get_sample_rate(f, 0), 44100u);
  EXPECT_EQ(mp4ff_get_channel_count(f, 0), 2u);

  // Every sample is the payload of the matching frame of ffmpeg's ADTS copy.
  std::vector<Bytes> frames = adtsPayloads(loadFixture("tagged.adts"));
  ASSERT_GT(frames.size(), 50u);
  ASSERT_EQ(mp4ff_num_samples(f, 0), int(frames.size()));
  for (size_t i = 0; i < frames.size(); ++i) {
    unsigned char *data = nullptr;
    unsigned int bytes = 0;
    ASSERT_EQ(mp4ff_read_sample(f, 0, int(i), &data, &bytes), int(frames[i].size())) << i;
    EXPECT_EQ(Bytes(data, data + bytes), frames[i]) << "sample " << i;
    free(data);
  }
  unsigned char *data = nullptr;
  unsigned int bytes = 0;
  EXPECT_EQ(mp4ff_read_sample(f, 0, int(frames.size()), &data, &bytes), 0);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(mp4ff_read_sample(f, 1, 0, &data, &bytes), 0);

  uint32_t scale = 0, duration = 0;
  mdhdFields(file.bytes, 0, scale, duration);
  EXPECT_EQ(mp4ff_time_scale(f, 0), int32_t(scale));
  EXPECT_EQ(mp4ff_get_track_duration(f, 0), int64_t(duration));
  EXPECT_EQ(mp4ff_time_scale(f, 3), -1);

  EXPECT_EQ(tag(f, mp4ff_meta_get_title), "Tone Title");
  EXPECT_EQ(tag(f, mp4ff_meta_get_artist), "Tone Artist");
  EXPECT_EQ(tag(f, mp4ff_meta_get_album), "Tone Album");
  EXPECT_EQ(tag(f, mp4ff_meta_get_track), "3/12");
  EXPECT_EQ(tag(f, mp4ff_meta_get_date), "2004-05-01");
  EXPECT_EQ(tag(f, mp4ff_meta_get_genre), "Test Genre");
  EXPECT_EQ(tag(f, mp4ff_meta_get_comment), "made by make.sh");
  mp4ff_close(f);

  // The meta-only open has tracks, configuration and tags, but reads no samples.
  f = mp4ff_open_read_metaonly(&file.cb);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(mp4ff_total_tracks(f), 1);
  EXPECT_EQ(mp4ff_time_scale(f, 0), int32_t(scale));
  EXPECT_EQ(mp4ff_get_track_duration(f, 0), int64_t(duration));
  EXPECT_EQ(tag(f, mp4ff_meta_get_title), "Tone Title");
  EXPECT_EQ(mp4ff_get_decoder_config(f, 0, &blob, &size), 0);
  free(blob);
  EXPECT_EQ(mp4ff_read_sample(f, 0, 0, &data, &bytes), 0);
  mp4ff_close(f);

  // Index in front of the media ("faststart") reads the same.
  MemoryFile cut(loadFixture("truncated.m4a"));
  f = mp4ff_open_read(&cut.cb);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(mp4ff_num_samples(f, 0), int(frames.size()));
  ASSERT_EQ(mp4ff_read_sample(f, 0, 0, &data, &bytes), int(frames[0].size()));
  EXPECT_EQ(Bytes(data, data + bytes), frames[0]);
  free(data);
  // ... but its media data was cut: the last samples are not in the file.
  EXPECT_EQ(mp4ff_read_sample(f, 0, int(frames.size()) - 1, &data, &bytes), 0);
  mp4ff_close(f);
}

TEST(Mp4ff, VideoTracksAndConstantSampleSizes) {
  {
    MemoryFile file(loadFixture("h264first.mp4"));
    mp4ff_t *f = mp4ff_open_read(&file.cb);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(mp4ff_total_tracks(f), 2);
    unsigned char *blob = nullptr;
    unsigned int size = 0;
    EXPECT_EQ(mp4ff_get_decoder_config(f, 0, &blob, &size), -1); // avc1: no esds
    EXPECT_EQ(blob, nullptr);
    EXPECT_EQ(mp4ff_get_decoder_config(f, 1, &blob, &size), 0);
    EXPECT_NE(blob, nullptr);
    free(blob);
    EXPECT_EQ(mp4ff_num_samples(f, 0), 12); // 1.2 s at 10 frames per second
    mp4ff_close(f);
  }
  {
    MemoryFile file(loadFixture("mpeg4first.mp4"));
    mp4ff_t *f = mp4ff_open_read(&file.cb);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(mp4ff_total_tracks(f), 2);
    unsigned char *blob = nullptr;
    unsigned int size = 0;
    ASSERT_EQ(mp4ff_get_decoder_config(f, 0, &blob, &size), 0); // MPEG-4 video: esds too
    ASSERT_GE(size, 4u);
    EXPECT_EQ(Bytes(blob, blob + 4), (Bytes{0, 0, 1, 0xb0})); // visual object sequence start
    free(blob);
    ASSERT_EQ(mp4ff_get_decoder_config(f, 1, &blob, &size), 0);
    EXPECT_EQ(blob[0] >> 3, 2);
    free(blob);
    mp4ff_close(f);
  }
  {
    // ffmpeg writes these silent frames with one constant size in stsz.
    Bytes bytes = loadFixture("silence1000.m4a");
    MemoryFile file(bytes);
    mp4ff_t *f = mp4ff_open_read(&file.cb);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(mp4ff_num_samples(f, 0), 1000);
    unsigned char *data = nullptr;
    unsigned int size = 0;
    ASSERT_GT(mp4ff_read_sample(f, 0, 999, &data, &size), 0);
    free(data);
    mp4ff_close(f);
  }
}

TEST(Mp4ff, PlacesSamplesThroughChunkRuns) {
  std::vector<uint64_t> offsets;
  Layout l = threeChunks();
  MemoryFile file(buildFile(l, &offsets));
  mp4ff_t *f = mp4ff_open_read(&file.cb);
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(mp4ff_num_samples(f, 0), 8);
  for (int i = 0; i < 8; ++i) {
    unsigned char *data = nullptr;
    unsigned int bytes = 0;
    ASSERT_EQ(mp4ff_read_sample(f, 0, i, &data, &bytes), int(l.sizes[size_t(i)]));
    EXPECT_EQ(Bytes(data, data + bytes), Bytes(l.sizes[size_t(i)], uint8_t(i + 1))) << i;
    free(data);
  }
  EXPECT_EQ(mp4ff_get_track_duration(f, 0), 8 * 1024);
  EXPECT_EQ(mp4ff_get_sample_rate(f, 0), 44100u);
  mp4ff_close(f);

  // A time scale above 2^31 comes back as the raw 32-bit field.
  l.timeScale = 0x80000010u;
  MemoryFile big(buildFile(l));
  f = mp4ff_open_read(&big.cb);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(uint32_t(mp4ff_time_scale(f, 0)), 0x80000010u);
  mp4ff_close(f);

  // Without a duration in mdhd, the time-to-sample table gives it.
  l = threeChunks();
  l.duration = 0;
  MemoryFile noDuration(buildFile(l));
  f = mp4ff_open_read(&noDuration.cb);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(mp4ff_get_track_duration(f, 0), 8 * 1024);
  mp4ff_close(f);
}

TEST(Mp4ff, RefusesWhatDoesNotFit) {
  auto opens = [](const Bytes &bytes) {
    MemoryFile file(bytes);
    mp4ff_t *f = mp4ff_open_read(&file.cb);
    bool ok = f != nullptr;
    if (f)
      exercise(f);
    mp4ff_close(f);
    return ok;
  };
  Bytes good = buildFile(threeChunks());
  ASSERT_TRUE(opens(good));
  EXPECT_FALSE(opens({}));
  EXPECT_FALSE(opens(Bytes(good.begin(), good.begin() + 40))); // no index at all
  EXPECT_FALSE(opens(box("ftyp", Bytes(8, 0))));

  // moov claiming more than the file holds.
  Bytes cut(good.begin(), good.end() - 1);
  EXPECT_FALSE(opens(cut));

  // A child box larger than its parent.
  auto findBox = [](Bytes &b, const char *type) {
    auto it = std::search(b.begin(), b.end(), type, type + 4);
    return size_t(it - b.begin()) - 4;
  };
  Bytes bad = good;
  size_t stsz = findBox(bad, "stsz");
  bad[stsz] = 0x40; // size 0x40xxxxxx
  EXPECT_FALSE(opens(bad));

  // Absurd sample counts: a table longer than its box, and a constant size times a count that
  // no file of this size could hold. Neither may be taken as an allocation size.
  bad = good;
  bad[stsz + 16] = 0x7f; // sample count 0x7f000008
  EXPECT_FALSE(opens(bad));
  Layout l = threeChunks();
  Bytes constant = buildFile(l);
  size_t at = findBox(constant, "stsz");
  constant[at + 15] = 0x10; // constant size 16
  constant[at + 16] = 0x40; // count 0x40000008
  EXPECT_FALSE(opens(constant));

  // A 64-bit box size that does not fit the file.
  Bytes wide = box("ftyp", Bytes(8, 0));
  put32(wide, 1);
  wide.insert(wide.end(), {'m', 'o', 'o', 'v'});
  put32(wide, 0x1);
  put32(wide, 0x10);
  EXPECT_FALSE(opens(wide));

  // A box smaller than its own header.
  Bytes tiny = good;
  size_t trak = findBox(tiny, "trak");
  tiny[trak] = tiny[trak + 1] = tiny[trak + 2] = 0;
  tiny[trak + 3] = 4;
  EXPECT_FALSE(opens(tiny));

  // Chunk runs that do not start at 1 or do not ascend place no samples past the bad run.
  l = threeChunks();
  l.runs = {{2, 3}, {1, 2}};
  MemoryFile file(buildFile(l));
  mp4ff_t *f = mp4ff_open_read(&file.cb);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(mp4ff_num_samples(f, 0), 6); // chunks 2 and 3 of the first run only
  exercise(f);
  mp4ff_close(f);

  // Chunk offsets pointing past the end of the file: the samples cannot be read.
  l = threeChunks();
  Bytes farOut = buildFile(l);
  size_t stco = findBox(farOut, "stco");
  farOut[stco + 16] = 0x7f;
  MemoryFile far(farOut);
  f = mp4ff_open_read(&far.cb);
  ASSERT_NE(f, nullptr);
  unsigned char *data = nullptr;
  unsigned int bytes = 0;
  EXPECT_EQ(mp4ff_read_sample(f, 0, 0, &data, &bytes), 0);
  EXPECT_EQ(data, nullptr);
  EXPECT_GT(mp4ff_read_sample(f, 0, 3, &data, &bytes), 0); // the next chunk is fine
  free(data);
  mp4ff_close(f);
}

TEST(Mp4ff, TagsOfEveryKind) {
  auto item = [](const char *type, uint32_t kind, const Bytes &value) {
    Bytes d;
    put32(d, kind);
    put32(d, 0);
    append(d, value);
    return box(type, box("data", d));
  };
  Bytes trkn = {0, 0, 0, 7, 0, 0, 0, 0};
  Bytes gnre = {0, 18}; // ID3 genre 17, "Rock"
  Bytes hdlr(8, 0);
  hdlr.insert(hdlr.end(), {'m', 'd', 'i', 'r'});
  hdlr.resize(hdlr.size() + 13, 0);
  Bytes ilst = box("ilst", concat({item("\xa9nam", 1, {'A', 'b', 'c'}), item("trkn", 0, trkn),
                                   item("gnre", 0, gnre)}));
  Bytes udta = box("udta", fullBox("meta", concat({box("hdlr", hdlr), ilst})));
  MemoryFile file(buildFile(threeChunks(), nullptr, udta));
  mp4ff_t *f = mp4ff_open_read_metaonly(&file.cb);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(tag(f, mp4ff_meta_get_title), "Abc");
  EXPECT_EQ(tag(f, mp4ff_meta_get_track), "7");
  EXPECT_EQ(tag(f, mp4ff_meta_get_genre), "Rock");
  EXPECT_EQ(tag(f, mp4ff_meta_get_artist), "<none>");
  mp4ff_close(f);

  // Damaged tags lose the tags, not the file.
  Bytes broken = box("udta", fullBox("meta", concat({box("hdlr", hdlr), Bytes{0, 0, 1, 0}})));
  MemoryFile damaged(buildFile(threeChunks(), nullptr, broken));
  f = mp4ff_open_read(&damaged.cb);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(tag(f, mp4ff_meta_get_title), "<none>");
  EXPECT_EQ(mp4ff_num_samples(f, 0), 8);
  mp4ff_close(f);
}

#ifdef HAVE_FAAD
// The configuration the reader hands out is one the decoder accepts.
TEST(Mp4ff, ConfigurationInitialisesTheDecoder) {
  MemoryFile file(loadFixture("tagged.m4a"));
  mp4ff_t *f = mp4ff_open_read(&file.cb);
  ASSERT_NE(f, nullptr);
  unsigned char *blob = nullptr;
  unsigned int size = 0;
  ASSERT_EQ(mp4ff_get_decoder_config(f, 0, &blob, &size), 0);
  NeAACDecHandle dec = NeAACDecOpen();
  unsigned long rate = 0;
  unsigned char channels = 0;
  EXPECT_GE(NeAACDecInit2(dec, blob, size, &rate, &channels), 0);
  EXPECT_EQ(rate, 44100u);
  EXPECT_EQ(channels, 2);
  NeAACDecClose(dec);
  free(blob);
  mp4ff_close(f);
}
#endif

// Thousands of damaged copies of real files: flipped bytes in the index, and cuts anywhere.
TEST(Mp4ff, SurvivesDamagedFiles) {
  std::mt19937 rng(12345);
  for (const char *name : {"tagged.m4a", "mpeg4first.mp4", "truncated.m4a"}) {
    Bytes original = loadFixture(name);
    auto moov = std::search(original.begin(), original.end(), "moov", "moov" + 4);
    ASSERT_NE(moov, original.end());
    size_t moovStart = size_t(moov - original.begin()) - 4;
    for (int round = 0; round < 2000; ++round) {
      Bytes bytes = original;
      int flips = 1 + int(rng() % 8);
      for (int k = 0; k < flips; ++k) {
        size_t at = moovStart + rng() % (bytes.size() - moovStart);
        bytes[at] = uint8_t(rng());
      }
      if (round % 5 == 0)
        bytes.resize(rng() % bytes.size());
      MemoryFile file(bytes);
      for (bool metaOnly : {false, true}) {
        mp4ff_t *f = metaOnly ? mp4ff_open_read_metaonly(&file.cb) : mp4ff_open_read(&file.cb);
        if (f)
          exercise(f);
        mp4ff_close(f);
      }
    }
  }
}

TEST(Mp4ff, NullArgumentsAreHarmless) {
  EXPECT_EQ(mp4ff_open_read(nullptr), nullptr);
  mp4ff_callback_t empty{};
  EXPECT_EQ(mp4ff_open_read(&empty), nullptr);
  mp4ff_close(nullptr);
  EXPECT_EQ(mp4ff_total_tracks(nullptr), 0);
  EXPECT_EQ(mp4ff_num_samples(nullptr, 0), 0);
  char *value = reinterpret_cast<char *>(1);
  EXPECT_EQ(mp4ff_meta_get_title(nullptr, &value), 0);
  EXPECT_EQ(value, nullptr);
}
