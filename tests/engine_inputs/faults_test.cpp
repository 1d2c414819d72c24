// Bad input for the MP3, Ogg Vorbis, FLAC and Opus plug-ins: truncated, damaged, misnamed and
// hostile files end with one diagnostic line and get_time -1, never a crash or a hang.
#include "harness.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

using namespace inputs_test;
using velora::test::fixture;
using velora::test::readFile;
using velora::test::TempHome;
using velora::test::writeFile;

namespace {

std::string inputFixture(const std::string &name) { return fixture("inputs/" + name); }

struct Format {
  const char *plugin;
  const char *file;
  const char *ext;
};

const Format kFormats[] = {{"mpg123input", "chirp.mp3", ".mp3"},
                           {"vorbisinput", "chirp.ogg", ".ogg"},
                           {"flacinput", "chirp.flac", ".flac"},
                           {"opusinput", "chirp.opus", ".opus"}};

void PrintTo(const Format &f, std::ostream *os) { *os << f.file; }

class InputFaults : public ::testing::TestWithParam<Format> {
protected:
  void SetUp() override { Recorder::instance().reset(); }
  // Plays file and checks the common promise for bad files: the song ends by itself, with
  // exactly one diagnostic line naming the file, and the output is closed if it was opened.
  void expectOneDiagnostic(Plugin &p, const std::string &file, const char *what) {
    SCOPED_TRACE(what);
    Recorder::instance().reset();
    std::string diag;
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(p.playToEnd(file, 10000, &diag)) << "the song never ended";
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(lineCount(diag), 1) << diag;
    EXPECT_NE(diag.find(file), std::string::npos) << diag;
    EXPECT_EQ(p->get_time(), -1);
    Recording r = Recorder::instance().snapshot();
    EXPECT_EQ(r.opens, r.closes);
  }
  TempHome home;
};

TEST_P(InputFaults, TruncatedDamagedAndGarbageFilesEndWithOneLine) {
  const Format &f = GetParam();
  Plugin p(f.plugin);
  ASSERT_TRUE(p.loaded()) << p.error();
  std::string good = readFile(inputFixture(f.file));
  ASSERT_GT(good.size(), 4096u);

  std::string cut = home.path(std::string("cut") + f.ext);
  writeFile(cut, good.substr(0, good.size() * 8 / 10));
  expectOneDiagnostic(p, cut, "truncated");
  // What was there was played.
  EXPECT_GT(Recorder::instance().snapshot().all.size(), 44100u);

  std::string damaged = good;
  std::memset(&damaged[damaged.size() * 4 / 10], 0, 1500);
  std::string hole = home.path(std::string("hole") + f.ext);
  writeFile(hole, damaged);
  expectOneDiagnostic(p, hole, "damaged in the middle");

  std::string text;
  while (text.size() < 65536)
    text += "This is not audio at all, only a text file with a music name. ";
  std::string garbage = home.path(std::string("garbage") + f.ext);
  writeFile(garbage, text);
  expectOneDiagnostic(p, garbage, "not audio");
  EXPECT_EQ(Recorder::instance().snapshot().all.size(), 0u);

  std::string empty = home.path(std::string("empty") + f.ext);
  writeFile(empty, "");
  expectOneDiagnostic(p, empty, "empty file");

  expectOneDiagnostic(p, home.path(std::string("missing") + f.ext), "missing file");

  // Playlist look-ups of such files give nothing rather than failing.
  for (const std::string &bad : {garbage, empty, home.path("missing.any")}) {
    char *title = reinterpret_cast<char *>(1);
    int length = 0;
    p->get_song_info(const_cast<char *>(bad.c_str()), &title, &length);
    EXPECT_EQ(title, nullptr) << bad;
    EXPECT_EQ(length, -1) << bad;
  }
}

TEST_P(InputFaults, StopAndSeekNeverHang) {
  const Format &f = GetParam();
  Plugin p(f.plugin);
  ASSERT_TRUE(p.loaded()) << p.error();
  // Harmless before anything plays.
  EXPECT_EQ(p->get_time(), -1);
  p->seek(1);
  p->stop();

  Recorder &rec = Recorder::instance();
  rec.setLimitBytes(44100); // the output fills up after a quarter second
  std::string file = inputFixture(f.file);
  p->play_file(const_cast<char *>(file.c_str()));
  ASSERT_TRUE(velora::test::waitUntil([&] { return rec.bytesSinceFlush() >= 44100; }));
  // While the thread waits for room, stop ends it promptly and the output is closed once.
  auto start = std::chrono::steady_clock::now();
  p->stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_EQ(p->get_time(), -1);
  Recording r = rec.snapshot();
  EXPECT_EQ(r.opens, 1);
  EXPECT_EQ(r.closes, 1);

  // A seek past the end ends the song instead of waiting.
  rec.reset();
  rec.setLimitBytes(44100);
  p->play_file(const_cast<char *>(file.c_str()));
  ASSERT_TRUE(velora::test::waitUntil([&] { return rec.bytesSinceFlush() >= 44100; }));
  p->seek(60);
  rec.setLimitBytes(LLONG_MAX);
  EXPECT_TRUE(velora::test::waitUntil([&] { return p->get_time() == -1; }));
  p->stop();

  // An output that takes only a few bytes at a time still gets the whole song.
  rec.reset();
  rec.setRoom(100);
  ASSERT_TRUE(p.playToEnd(file));
  EXPECT_EQ(rec.snapshot().all.size(), readRaw(inputFixture(std::string(f.file) + ".raw")).size());

  // Playing again without a stop in between collects the old thread.
  rec.reset();
  p->play_file(const_cast<char *>(file.c_str()));
  p->play_file(const_cast<char *>(file.c_str()));
  EXPECT_TRUE(velora::test::waitUntil([&] { return p->get_time() == -1; }, 10000));
  p->stop();
  r = rec.snapshot();
  EXPECT_EQ(r.opens, r.closes);
}

INSTANTIATE_TEST_SUITE_P(Formats, InputFaults, ::testing::ValuesIn(kFormats),
                         [](const ::testing::TestParamInfo<Format> &info) {
                           return std::string(info.param.ext + 1);
                         });

// Which plug-in claims which file: by extension in any case, and by content for misnamed files.
TEST(InputRecognition, ExtensionsAndContent) {
  TempHome home;
  Plugin mp3("mpg123input"), ogg("vorbisinput"), flac("flacinput");
  ASSERT_TRUE(mp3.loaded() && ogg.loaded() && flac.loaded());
  auto claims = [](Plugin &p, const std::string &name) {
    return p->is_our_file(const_cast<char *>(name.c_str()));
  };
  // Names alone (the files do not exist).
  for (const char *n : {"/x/a.mp3", "/x/B.MP3", "/x/c.Mp2", "/x/d.mp1"})
    EXPECT_EQ(claims(mp3, n), 1) << n;
  for (const char *n : {"/x/a.mp3.bak", "/x/mp3", "/x/a.mp3x", "/x.mp3/song"})
    EXPECT_EQ(claims(mp3, n), 0) << n;
  EXPECT_EQ(claims(ogg, "/x/a.OGG"), 1);
  EXPECT_EQ(claims(ogg, "/x/a.ogg.part"), 0);
  EXPECT_EQ(claims(flac, "/x/a.FLAC"), 1);
  EXPECT_EQ(claims(flac, "/x/a.fla"), 1);
  EXPECT_EQ(claims(flac, "/x/a.wav"), 0);
  EXPECT_EQ(mp3->is_our_file(nullptr), 0);

  // Misnamed files are recognised by their first bytes, and only by the right plug-in.
  std::string m = copyOf(inputFixture("chirp.mp3"), home.path("song-mp3.bin"));
  std::string o = copyOf(inputFixture("chirp.ogg"), home.path("song-ogg.bin"));
  std::string f = copyOf(inputFixture("chirp.flac"), home.path("song-flac.bin"));
  std::string v1 = copyOf(inputFixture("oldtag.mp3"), home.path("old"));
  EXPECT_EQ(claims(mp3, m), 1);
  EXPECT_EQ(claims(mp3, v1), 1);
  EXPECT_EQ(claims(mp3, o), 0);
  EXPECT_EQ(claims(mp3, f), 0);
  EXPECT_EQ(claims(ogg, o), 1);
  EXPECT_EQ(claims(ogg, m), 0);
  EXPECT_EQ(claims(ogg, f), 0);
  EXPECT_EQ(claims(flac, f), 1);
  EXPECT_EQ(claims(flac, m), 0);
  EXPECT_EQ(claims(flac, o), 0);
  // An .ogg file whose stream is not Vorbis is left to others.
  std::string notVorbis = home.path("flac-in-disguise.ogg");
  std::string bytes = readFile(inputFixture("chirp.ogg"));
  bytes.replace(bytes.find("\x01vorbis"), 7, "\x01opusxx");
  writeFile(notVorbis, bytes);
  EXPECT_EQ(claims(ogg, notVorbis), 0);
  // A WAV file is nobody's here.
  std::string wav = home.path("tone.bin");
  std::string riff = "RIFF\x24\x10\x00\x00WAVEfmt ";
  riff.resize(8192, '\xff');
  writeFile(wav, riff);
  EXPECT_EQ(claims(mp3, wav), 0);
  EXPECT_EQ(claims(ogg, wav), 0);
  EXPECT_EQ(claims(flac, wav), 0);

  // A misnamed file plays like the original.
  Recorder::instance().reset();
  std::string diag;
  ASSERT_TRUE(flac.playToEnd(f, 10000, &diag));
  EXPECT_EQ(diag, "");
  EXPECT_EQ(Recorder::instance().snapshot().all, readRaw(inputFixture("chirp.flac.raw")));
}

TEST(InputTags, TitlesFromEveryTagKindAndHostileTags) {
  TempHome home;
  Plugin mp3("mpg123input"), ogg("vorbisinput"), flac("flacinput");
  ASSERT_TRUE(mp3.loaded() && ogg.loaded() && flac.loaded());
  auto info = [](Plugin &p, const std::string &file, int *length = nullptr) {
    char *title = nullptr;
    int len = -2;
    p->get_song_info(const_cast<char *>(file.c_str()), &title, &len);
    if (length)
      *length = len;
    std::string t = title ? title : "(null)";
    std::free(title);
    return t;
  };
  int length = 0;
  // ID3v1 only, mono 22050 Hz.
  EXPECT_EQ(info(mp3, inputFixture("oldtag.mp3"), &length), "V1 Artist - Old Tag");
  EXPECT_NEAR(length, 1000, 1);
  // No tags: the file name.
  EXPECT_EQ(info(ogg, inputFixture("untagged.ogg"), &length), "untagged.ogg");
  EXPECT_NEAR(length, 1000, 1);

  // ID3v1 fields filled to the last byte, without terminators, in Latin-1.
  std::string v1 = readFile(inputFixture("oldtag.mp3"));
  ASSERT_EQ(v1.compare(v1.size() - 128, 3, "TAG"), 0);
  std::string tag = "TAG" + std::string(29, 'T') + "\xe9" + std::string(30, 'A') +
                    std::string(30, 'L') + "2001" + std::string(30, 'C') + "\x0c";
  ASSERT_EQ(tag.size(), 128u);
  std::string fullV1 = home.path("full-v1.mp3");
  writeFile(fullV1, v1.substr(0, v1.size() - 128) + tag);
  EXPECT_EQ(info(mp3, fullV1), std::string(30, 'A') + " - " + std::string(29, 'T') + "\xc3\xa9");

  // An ID3v2 header that claims far more bytes than the file has.
  std::string huge =
      std::string("ID3\x04\x00\x00\x7f\x7f\x7f\x7f", 10) + readFile(inputFixture("chirp.mp3"));
  std::string hugeFile = home.path("huge-id3.mp3");
  writeFile(hugeFile, huge);
  (void)info(mp3, hugeFile);
  EXPECT_EQ(mp3->is_our_file(const_cast<char *>(home.path("huge-id3").c_str())), 0);
  writeFile(home.path("huge-id3"), huge);
  EXPECT_EQ(mp3->is_our_file(const_cast<char *>(home.path("huge-id3").c_str())), 0);
  Recorder::instance().reset();
  std::string diag;
  EXPECT_TRUE(mp3.playToEnd(hugeFile, 10000, &diag));
  EXPECT_LE(lineCount(diag), 1);

  // A FLAC comment whose length runs far past its block.
  std::string fl = readFile(inputFixture("chirp.flac"));
  size_t at = 4;
  bool patched = false;
  while (at + 4 <= fl.size()) {
    unsigned char type = static_cast<unsigned char>(fl[at]) & 0x7f;
    size_t len = (size_t(static_cast<unsigned char>(fl[at + 1])) << 16) |
                 (size_t(static_cast<unsigned char>(fl[at + 2])) << 8) |
                 static_cast<unsigned char>(fl[at + 3]);
    if (type == 4) {
      size_t body = at + 4;
      uint32_t vendor;
      std::memcpy(&vendor, &fl[body], 4);
      size_t first = body + 4 + vendor + 4; // first entry's length field
      fl[first] = fl[first + 1] = fl[first + 2] = '\xff';
      fl[first + 3] = '\x7f';
      patched = true;
      break;
    }
    if (static_cast<unsigned char>(fl[at]) & 0x80)
      break;
    at += 4 + len;
  }
  ASSERT_TRUE(patched);
  std::string hostile = home.path("hostile.flac");
  writeFile(hostile, fl);
  std::string t = info(flac, hostile);
  EXPECT_LE(t.size(), 2100u);
  Recorder::instance().reset();
  EXPECT_TRUE(flac.playToEnd(hostile, 10000, &diag));
  EXPECT_LE(lineCount(diag), 1);
}

} // namespace

namespace {

// 5.1 files come out as stereo: the first half second (front left only) on the left, the
// second (centre only) equally on both sides.
TEST(InputSurround, FiveOneMixesDownToStereoInTheRightPlaces) {
  TempHome home;
  for (auto [plugin, file] :
       {std::pair{"vorbisinput", "surround.ogg"}, std::pair{"flacinput", "surround.flac"}}) {
    SCOPED_TRACE(file);
    Plugin p(plugin);
    ASSERT_TRUE(p.loaded()) << p.error();
    Recorder::instance().reset();
    std::string diag;
    ASSERT_TRUE(p.playToEnd(inputFixture(file), 10000, &diag));
    EXPECT_EQ(diag, "");
    Recording r = Recorder::instance().snapshot();
    EXPECT_EQ(r.channels, 2);
    EXPECT_EQ(r.infoChannels, 2);
    ASSERT_EQ(r.all.size(), 2u * 44100u);
    std::vector<int16_t> left, right;
    for (size_t i = 0; i < r.all.size(); i += 2) {
      left.push_back(r.all[i]);
      right.push_back(r.all[i + 1]);
    }
    // Away from the switch-over in the middle.
    const size_t q = 44100 / 4;
    double firstL = rms(left.data() + 1000, q), firstR = rms(right.data() + 1000, q);
    double secondL = rms(left.data() + 2 * q + 1000, q),
           secondR = rms(right.data() + 2 * q + 1000, q);
    EXPECT_GT(firstL, 2000);
    EXPECT_LT(firstR, firstL / 20) << "front left stays left";
    EXPECT_GT(secondL, 1000);
    EXPECT_NEAR(secondL / secondR, 1.0, 0.05) << "centre is in the middle";
    EXPECT_NEAR(secondL / firstL, 0.7071, 0.05) << "centre at -3 dB";
  }
}

} // namespace
