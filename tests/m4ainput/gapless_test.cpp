// Gapless AAC in MP4 from the iTunes tag: files without an edit list whose encoder delay and
// padding are stated only by an "iTunSMPB" freeform item (as iTunes and many encoders write
// them), played in a row through the real engine into the continuous disk writer.
#include "audiocheck.h"
#include "testenv.h"

#include <mp4ff.h>

#include <gtest/gtest.h>
#include <xmms/xmmsctrl.h>

#include <cstdio>
#include <cstring>
#include <optional>

using velora::test::EngineProcess;
using velora::test::fileExists;
using velora::test::readFile;
using velora::test::TempHome;
using velora::test::waitUntil;
using velora::test::writeFile;

namespace {

constexpr int kRate = 44100;
constexpr int kCut = 23000;         // where the second track begins: inside a codec frame
constexpr int kSweepFrames = 44100; // one second
constexpr int kAacDelay = 1024;     // the priming FFmpeg's AAC encoder puts before the audio

uint32_t be32(const std::string &b, size_t at) {
  return uint32_t(uint8_t(b[at])) << 24 | uint32_t(uint8_t(b[at + 1])) << 16 |
         uint32_t(uint8_t(b[at + 2])) << 8 | uint32_t(uint8_t(b[at + 3]));
}

void putBe32(std::string &b, size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k)
    b[at + size_t(k)] = char(v >> (24 - 8 * k));
}

std::string box(const char *type, const std::string &payload) {
  std::string b(4, '\0');
  putBe32(b, 0, uint32_t(8 + payload.size()));
  return b + type + payload;
}

// The first box of `type` among the boxes in [from, to): its offset.
std::optional<size_t> findBox(const std::string &b, size_t from, size_t to, const char *type) {
  while (from + 8 <= to) {
    uint32_t size = be32(b, from);
    if (size < 8 || from + size > to)
      return std::nullopt;
    if (b.compare(from + 4, 4, type) == 0)
      return from;
    from += size;
  }
  return std::nullopt;
}

// Adds an "iTunSMPB" item to moov/udta/meta/ilst of a file whose moov box comes last (FFmpeg
// writes it so), growing each enclosing box: no chunk offset moves.
bool addITunSMPB(const std::string &path, uint32_t delay, uint32_t padding, uint64_t length) {
  std::string b = readFile(path);
  auto moov = findBox(b, 0, b.size(), "moov");
  if (!moov || *moov + be32(b, *moov) != b.size())
    return false;
  auto udta = findBox(b, *moov + 8, b.size(), "udta");
  if (!udta)
    return false;
  auto meta = findBox(b, *udta + 8, *udta + be32(b, *udta), "meta");
  if (!meta)
    return false;
  auto ilst = findBox(b, *meta + 12, *meta + be32(b, *meta), "ilst"); // meta: a full box
  if (!ilst)
    return false;
  char text[160];
  std::snprintf(text, sizeof text,
                " 00000000 %08X %08X %016llX 00000000 00000000 00000000 00000000 00000000 "
                "00000000 00000000 00000000",
                delay, padding, static_cast<unsigned long long>(length));
  const std::string zero4(4, '\0');
  const std::string item =
      box("----", box("mean", zero4 + "com.apple.iTunes") + box("name", zero4 + "iTunSMPB") +
                      box("data", std::string("\0\0\0\1", 4) + zero4 + text));
  const size_t end = *ilst + be32(b, *ilst);
  b.insert(end, item);
  for (size_t at : {*ilst, *meta, *udta, *moov})
    putBe32(b, at, be32(b, at) + uint32_t(item.size()));
  writeFile(path, b);
  return true;
}

// What mp4ff makes of a file's gapless information: 0 none, 1 edit list, 2 iTunes tag.
int gaplessKind(const std::string &path, uint64_t &skip, uint64_t &length) {
  FILE *f = std::fopen(path.c_str(), "rb");
  if (!f)
    return -1;
  mp4ff_callback_t cb = {};
  cb.read = [](void *data, void *buffer, uint32_t n) -> uint32_t {
    return uint32_t(std::fread(buffer, 1, n, static_cast<FILE *>(data)));
  };
  cb.seek = [](void *data, uint64_t pos) -> uint32_t {
    return std::fseek(static_cast<FILE *>(data), long(pos), SEEK_SET) == 0 ? 0 : uint32_t(-1);
  };
  cb.user_data = f;
  int kind = -1;
  if (mp4ff_t *mp4 = mp4ff_open_read(&cb)) {
    kind = mp4ff_get_gapless(mp4, 0, &skip, &length);
    mp4ff_close(mp4);
  }
  std::fclose(f);
  return kind;
}

// Plays the playlist into the continuous disk writer; the recording.
audiocheck::Wav playInARow(const TempHome &home, const std::vector<std::string> &songs,
                           const std::string &extraConfig = "") {
  std::string out = home.path("session.wav");
  std::remove(out.c_str());
  writeFile(home.path(".xmms/config"),
            "[xmms]\noutput_plugin=libdiskwriter.so\nshuffle=FALSE\nrepeat=FALSE\n"
            "equalizer_active=FALSE\n[disk_writer]\ncontinuous=TRUE\nfile=" +
                out + "\n" + extraConfig);
  std::string m3u;
  for (const std::string &s : songs)
    m3u += s + "\n";
  writeFile(home.path(".xmms/xmms.m3u"), m3u);
  EngineProcess engine;
  if (!engine.start())
    return {};
  xmms_remote_play(0);
  waitUntil([] { return xmms_remote_is_playing(0) != 0; }, 5000);
  waitUntil([] { return xmms_remote_is_playing(0) == 0; }, 30000);
  engine.stop();
  return audiocheck::readWav(out);
}

// The first channel of a recording (FAAD2 gives mono AAC as two equal channels).
std::vector<int16_t> firstChannel(const audiocheck::Wav &w) {
  std::vector<int16_t> out;
  for (size_t i = 0; w.channels > 0 && i < w.samples.size(); i += size_t(w.channels))
    out.push_back(w.samples[i]);
  return out;
}

// The shift of `heard` against `source` over source frames [from, to) that matches best, within
// maxLag frames either way.
int bestLag(const std::vector<int16_t> &heard, const std::vector<int16_t> &source, int from, int to,
            int maxLag) {
  int best = 0;
  double bestError = -1;
  for (int lag = -maxLag; lag <= maxLag; ++lag) {
    if (from + lag < 0 || size_t(to + lag) > heard.size())
      continue;
    double e = 0;
    for (int i = from; i < to; ++i) {
      double d = double(heard[size_t(i + lag)]) - double(source[size_t(i)]);
      e += d * d;
    }
    if (bestError < 0 || e < bestError) {
      bestError = e;
      best = lag;
    }
  }
  return best;
}

int largestStep(const std::vector<int16_t> &s, size_t from, size_t to) {
  int step = 0;
  for (size_t i = std::max<size_t>(from, 1); i < std::min(to, s.size()); ++i)
    step = std::max(step, std::abs(int(s[i]) - int(s[i - 1])));
  return step;
}

} // namespace

TEST(M4aGapless, ITunesTagTrimsDelayAndPaddingToTheExactLength) {
  const std::string stage = velora::test::stageDir();
  if (!fileExists(stage + "/lib/xmms/Output/libdiskwriter.so"))
    GTEST_SKIP() << "the disk writer is not built";
  ASSERT_TRUE(fileExists(stage + "/lib/xmms/Input/libm4ainput.so"));
  TempHome home;

  // One second of a rising sweep, cut in two inside a codec frame, each part AAC in MP4 with
  // no edit list.
  const std::string sweep = home.path("sweep.wav");
  ASSERT_TRUE(audiocheck::run({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi",
                               "-i", "aevalsrc=0.5*sin(2*PI*(200*t+900*t*t)):s=44100:d=1", "-ac",
                               "1", "-c:a", "pcm_s16le", sweep}));
  const std::vector<int16_t> source = audiocheck::readWav(sweep).samples;
  ASSERT_EQ(source.size(), size_t(kSweepFrames));
  const int lengths[2] = {kCut, kSweepFrames - kCut};
  std::vector<std::string> parts;
  for (int n = 0; n < 2; ++n) {
    std::string part = home.path("part" + std::to_string(n + 1) + ".m4a");
    std::string trim = "atrim=start_sample=" + std::to_string(n ? kCut : 0) +
                       ":end_sample=" + std::to_string(n ? kSweepFrames : kCut) +
                       ",asetpts=N/SR/TB";
    ASSERT_TRUE(audiocheck::run({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", sweep,
                                 "-af", trim, "-map_metadata", "-1", "-c:a", "aac", "-b:a", "128k",
                                 "-use_editlist", "0", part}));
    uint64_t skip = 0, length = 0;
    ASSERT_EQ(gaplessKind(part, skip, length), 0) << "the encoder wrote gapless information";
    parts.push_back(part);
  }

  // Untagged, every decoded frame plays but the first, which the decoder holds back (the
  // encoder's priming, 1024 frames): each part starts in place and ends with its padding, a
  // hole before the next part.
  audiocheck::Wav recorded = playInARow(home, parts);
  ASSERT_EQ(recorded.rate, kRate);
  const std::vector<int16_t> whole = firstChannel(recorded);
  uint32_t padding[2];
  for (int n = 0; n < 2; ++n) {
    int frames = (lengths[n] + kAacDelay + 1023) / 1024 * 1024;
    padding[n] = uint32_t(frames - kAacDelay - lengths[n]);
  }
  EXPECT_EQ(whole.size(), size_t(kSweepFrames) + padding[0] + padding[1]);
  EXPECT_EQ(bestLag(whole, source, 1024, kCut - 1024, 64), 0);
  EXPECT_EQ(bestLag(whole, source, kCut + 1024, kSweepFrames - 1024, 1100), int(padding[0]));

  // The tags as iTunes writes them: delay, padding and length of each part.
  for (int n = 0; n < 2; ++n) {
    ASSERT_TRUE(addITunSMPB(parts[size_t(n)], kAacDelay, padding[n], uint64_t(lengths[n])));
    uint64_t skip = 0, length = 0;
    ASSERT_EQ(gaplessKind(parts[size_t(n)], skip, length), 2);
    EXPECT_EQ(skip, uint64_t(kAacDelay));
    EXPECT_EQ(length, uint64_t(lengths[n]));
  }

  // Tagged: the recording is the uncut sweep, sample for sample in length, each part where the
  // source has it, and no step at the join larger than the sweep's own.
  const std::vector<int16_t> joined = firstChannel(playInARow(home, parts));
  EXPECT_EQ(joined.size(), size_t(kSweepFrames));
  EXPECT_EQ(bestLag(joined, source, 1024, kCut - 1024, 64), 0) << "first part";
  EXPECT_EQ(bestLag(joined, source, kCut + 1024, kSweepFrames - 1024, 64), 0) << "second part";
  const int inside = std::max(largestStep(joined, 64, kCut - 64),
                              largestStep(joined, kCut + 64, kSweepFrames - 64));
  EXPECT_LE(largestStep(joined, kCut - 64, kCut + 64), inside + inside / 10);

  // The plug-in's gapless switch turns the trimming off: every decoded frame again.
  audiocheck::Wav untrimmed = playInARow(home, parts, "[m4ainput]\ngapless=FALSE\n");
  EXPECT_EQ(firstChannel(untrimmed).size(), whole.size());
}
