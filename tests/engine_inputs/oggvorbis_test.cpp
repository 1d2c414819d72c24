// Ogg Vorbis through the FFmpeg plug-in, side by side with the Vorbis plug-in (libvorbisfile,
// an independent decoder): songs whose samples all lie on one Ogg page and songs of many pages
// come out sample for sample alike, seeks land on the same sample, a cut file is told, and a
// chain of streams in one file is left to the Vorbis plug-in, which times chains right.
#include "harness.h"
#include "media.h"
#include "oggpages.h"
#include "testenv.h"

#include <xmms/xmmsctrl.h>

#include <gtest/gtest.h>

#include <climits>

using namespace inputs_test;
using velora::test::EngineProcess;
using velora::test::fileExists;
using velora::test::fixture;
using velora::test::readFile;
using velora::test::TempHome;
using velora::test::waitUntil;
using velora::test::writeFile;

namespace {

// The chirp of the input fixtures, mono: every moment of it is distinct.
std::vector<std::string> chirp(double seconds) {
  return {"-f", "lavfi", "-i",
          "aevalsrc=0.6*sin(2*PI*(200*t+300*t*t)):s=44100:d=" + std::to_string(seconds)};
}

// A Vorbis file of the chirp; pageSeconds long pages (FFmpeg's Ogg writer closes a page every
// second by default) put a short song on one page.
std::string makeVorbis(const TempHome &home, const std::string &name, double seconds,
                       double pageSeconds = 1.0) {
  std::string out = home.path(name);
  std::vector<std::string> args = chirp(seconds);
  args.insert(args.end(),
              {"-metadata", "title=Sweep", "-metadata", "artist=Maker", "-c:a", "libvorbis", "-q:a",
               "3", "-page_duration", std::to_string(static_cast<long>(pageSeconds * 1e6))});
  return ffmpegMakes(args, out) ? out : std::string();
}

struct Heard {
  std::vector<int16_t> pcm;
  int length = 0;
  std::string title, diagnostics;
};

Heard play(Plugin &p, const std::string &file) {
  Recorder::instance().reset();
  Heard h;
  EXPECT_TRUE(p.playToEnd(file, 20000, &h.diagnostics)) << file;
  Recording r = Recorder::instance().snapshot();
  EXPECT_EQ(r.channels, 1);
  h.pcm = r.all;
  h.length = r.length;
  h.title = r.title;
  return h;
}

// Plays file and seeks to 1 s while the output holds half a second: what came after the seek.
std::vector<int16_t> afterSeek(Plugin &p, const std::string &file) {
  Recorder &rec = Recorder::instance();
  rec.reset();
  rec.setLimitBytes(44100);
  StdoutCapture capture;
  p->play_file(const_cast<char *>(file.c_str()));
  EXPECT_TRUE(waitUntil([&] { return rec.bytesSinceFlush() >= 44100; }, 10000));
  p->seek(1);
  rec.setLimitBytes(LLONG_MAX);
  EXPECT_TRUE(waitUntil([&] { return p->get_time() == -1; }, 10000));
  p->stop();
  EXPECT_EQ(capture.finish(), "");
  return rec.snapshot().sinceFlush;
}

bool haveFfmpeg() {
  TempHome probe;
  return ffmpegMakes({"-f", "lavfi", "-i", "sine=d=0.1"}, probe.path("probe.wav"));
}

TEST(VorbisThroughFfmpeg, OnePageAndManyPageSongsMatchLibvorbisSampleForSampleAndInSeeks) {
  if (!haveFfmpeg())
    GTEST_SKIP() << "no ffmpeg command to make the media with";
  Plugin ffmpeg("ffmpeginput"), vorbis("vorbisinput");
  ASSERT_TRUE(ffmpeg.loaded()) << ffmpeg.error();
  ASSERT_TRUE(vorbis.loaded()) << vorbis.error();
  TempHome home;
  struct Song {
    std::string file;
    bool onePage;
  };
  const std::vector<Song> songs = {
      {fixture("inputs/untagged.ogg"), true},
      {fixture("gapless/part1.ogg"), true},
      {fixture("gapless/part3.ogg"), true},
      {makeVorbis(home, "onepage.ogg", 2.5, 4.0), true},
      {makeVorbis(home, "pages.ogg", 3.3), false},
  };
  for (const Song &s : songs) {
    SCOPED_TRACE(s.file);
    ASSERT_FALSE(s.file.empty()) << "ffmpeg could not make the file";
    // Both layouts are really here: the one-page songs are the ones FFmpeg's reader mistimes.
    velora::input::OggStart start = velora::input::oggStart(s.file.c_str());
    EXPECT_TRUE(start.ogg);
    EXPECT_EQ(start.audioOnOnePage, s.onePage);
    EXPECT_EQ(ffmpeg->is_our_file(const_cast<char *>(s.file.c_str())), 1);

    Heard want = play(vorbis, s.file), got = play(ffmpeg, s.file);
    ASSERT_GT(want.pcm.size(), 10000u);
    EXPECT_EQ(got.pcm.size(), want.pcm.size()) << "no sample lost or added at either end";
    EXPECT_LE(maxDiff(got.pcm, want.pcm), 3) << "every sample in its place";
    EXPECT_NEAR(got.length, want.length, 1);
    EXPECT_EQ(got.title, want.title);
    EXPECT_EQ(got.diagnostics, "");
    char *title = nullptr;
    int length = 0;
    ffmpeg->get_song_info(const_cast<char *>(s.file.c_str()), &title, &length);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title, want.title);
    std::free(title);
    EXPECT_NEAR(length, want.length, 1);

    if (want.pcm.size() < 2 * 44100)
      continue; // too short to seek to 1 s with half a second played
    std::vector<int16_t> seeked = afterSeek(ffmpeg, s.file);
    EXPECT_EQ(seeked.size(), want.pcm.size() - 44100) << "the rest of the song from 1 s on";
    EXPECT_LE(maxDiff(seeked, want.pcm, 0, 44100), 3) << "the seek landed on the sample";
  }
}

TEST(VorbisThroughFfmpeg, CutFileIsToldAndChainedFileIsLeftToTheVorbisPlugin) {
  if (!haveFfmpeg())
    GTEST_SKIP() << "no ffmpeg command to make the media with";
  Plugin ffmpeg("ffmpeginput"), vorbis("vorbisinput");
  ASSERT_TRUE(ffmpeg.loaded()) << ffmpeg.error();
  ASSERT_TRUE(vorbis.loaded()) << vorbis.error();
  TempHome home;
  const std::string whole = makeVorbis(home, "whole.ogg", 3.3);
  ASSERT_FALSE(whole.empty());

  // Cut in the middle of its last page: what is there plays, and the user is told.
  const std::string bytes = readFile(whole);
  const std::string cut = home.path("cut.ogg");
  writeFile(cut, bytes.substr(0, bytes.size() - 300));
  Heard h = play(ffmpeg, cut);
  EXPECT_GT(h.pcm.size(), 2u * 44100) << "what is there plays";
  EXPECT_NE(h.diagnostics.find("truncated"), std::string::npos) << h.diagnostics;
  EXPECT_EQ(lineCount(h.diagnostics), 1);

  // Two songs chained in one file, the second shorter: FFmpeg would time the whole file by
  // the second alone.
  const std::string second = makeVorbis(home, "second.ogg", 1.2);
  ASSERT_FALSE(second.empty());
  const std::string chain = home.path("chain.ogg");
  writeFile(chain, bytes + readFile(second));
  EXPECT_EQ(ffmpeg->is_our_file(const_cast<char *>(chain.c_str())), 0);
  EXPECT_EQ(vorbis->is_our_file(const_cast<char *>(chain.c_str())), 1);
  Heard chained = play(vorbis, chain);
  EXPECT_EQ(chained.pcm.size(), play(vorbis, whole).pcm.size() + play(vorbis, second).pcm.size());
  // A file of one stream stays the FFmpeg plug-in's, whatever streams it was made from.
  EXPECT_EQ(ffmpeg->is_our_file(const_cast<char *>(whole.c_str())), 1);
}

// Every field of the engine's title format, read by a real engine from the tags of an Ogg
// Vorbis file: the FFmpeg plug-in gives the playlist what the Vorbis plug-in gave.
TEST(VorbisThroughFfmpeg, TitleFormatShowsEveryTagAsTheVorbisPluginDid) {
  if (!fileExists(velora::test::stageDir() + "/bin/xmms"))
    GTEST_SKIP() << "the engine is not built";
  if (!haveFfmpeg())
    GTEST_SKIP() << "no ffmpeg command to make the media with";
  TempHome home;
  std::string file = home.path("tagged.ogg");
  std::vector<std::string> args = chirp(1.5);
  for (const char *tag : {"title=Sweep", "artist=Maker", "album=Bench Songs", "track=7/12",
                          "date=2004-05-01", "genre=Test", "description=Made at test time"})
    args.insert(args.end(), {"-metadata", tag});
  args.insert(args.end(), {"-c:a", "libvorbis"});
  ASSERT_TRUE(ffmpegMakes(args, file));
  writeFile(home.path(".xmms/xmms.m3u"), file + "\n");
  auto titleWith = [&](const std::string &disabled) {
    writeFile(home.path(".xmms/config"), "[xmms]\noutput_plugin=libnullout.so\n"
                                         "gentitle_format=%p|%a|%t|%n|%y|%d|%g|%c|%f|%e\n"
                                         "disabled_iplugins=" +
                                             disabled + "\n");
    EngineProcess engine;
    EXPECT_TRUE(engine.start());
    std::string title;
    waitUntil(
        [&] {
          char *t = xmms_remote_get_playlist_title(0, 0);
          title = t ? t : "";
          std::free(t);
          return !title.empty() && title != "tagged.ogg";
        },
        10000);
    const int ms = xmms_remote_get_playlist_time(0, 0);
    EXPECT_EQ(engine.stop(), 0);
    return title + " " + std::to_string(ms);
  };
  const std::string viaFfmpeg = titleWith("libvorbisinput.so");
  EXPECT_EQ(viaFfmpeg,
            "Maker|Bench Songs|Sweep|7|2004|2004-05-01|Test|Made at test time|tagged.ogg|ogg 1500");
  EXPECT_EQ(titleWith("libffmpeginput.so"), viaFfmpeg);
}

} // namespace
