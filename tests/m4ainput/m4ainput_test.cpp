// The MP4/AAC input plug-in, loaded from the stage folder as the engine loads it, playing to a
// recording output.
#include "harness.h"

#include "testenv.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <thread>

using namespace m4a;
using velora::test::fixture;
using velora::test::TempHome;
using velora::test::waitUntil;

namespace {

std::string media(const std::string &name) { return fixture("m4a/" + name); }

class M4aInput : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_NE(plugin().ip, nullptr);
    ip = plugin().ip;
    recorder().reset();
    // Every decoded frame, as the decoder gives them: the cases count frames and compare with a
    // direct decode. Trimming the encoder's delay and padding is tested through the engine.
    velora::test::writeFile(home.path(".xmms/config"), "[m4ainput]\ngapless=FALSE\n");
  }
  void TearDown() override {
    ip->stop();
    recorder().reset();
  }
  InputPlugin *ip = nullptr;
  TempHome home;
};

// The first sample at which two PCM streams differ, or -1.
long firstDifference(const Pcm &a, const Pcm &b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i)
    if (a[i] != b[i])
      return long(i);
  return a.size() == b.size() ? -1 : long(n);
}

// Length in ms as the decode thread reports it: single precision, frame length - 1.
int reportedLength(int samples, int rate, int frameLength) {
  float term = float(frameLength - 1.0);
  return int(float(samples) * term * float(1.0 / rate) * 1000.0f);
}

} // namespace

TEST_F(M4aInput, RecordAndNames) {
  EXPECT_STREQ(ip->description, "MP4 & MPEG2/4-AAC audio player - 1.2.x");
  EXPECT_EQ(ip->configure, nullptr);
  EXPECT_EQ(ip->scan_dir, nullptr);
  EXPECT_EQ(ip->get_volume, nullptr);
  EXPECT_EQ(ip->set_volume, nullptr);
  EXPECT_EQ(ip->get_vis_type, nullptr);
  for (auto slot : {ip->init, ip->about, ip->cleanup})
    EXPECT_NE(slot, nullptr);
  ip->about();
  ip->cleanup();

  auto mp4Names = plugin().sym<const char **>("mp4AudioNames");
  auto mpeg4Names = plugin().sym<const char **>("mpeg4AudioNames");
  ASSERT_NE(mp4Names, nullptr);
  ASSERT_NE(mpeg4Names, nullptr);
  EXPECT_STREQ(mp4Names[0], "MPEG-1 Audio Layers 1,2 or 3");
  EXPECT_STREQ(mp4Names[5], "MPEG-4 audio (MPEG-4 AAC)");
  EXPECT_EQ(mp4Names[6], nullptr);
  EXPECT_STREQ(mpeg4Names[0], "!!!!MPEG-4 Audio track Invalid !!!!!!!");
  EXPECT_STREQ(mpeg4Names[2], "MPEG-4 AAC Low Complexity profile");
  EXPECT_STREQ(mpeg4Names[12], "MPEG-4 Algorithmic Synthesis and Audio FX profile");
  for (const char *name : {"out", "data", "scaledpcm", "halflength", "init_iir", "iir_filter",
                           "getAACTrack", "getMP4title", "getAacInfo", "checkADTSForSeeking"})
    EXPECT_NE(dlsym(plugin().handle, name), nullptr) << name;
  // The reader inside the plug-in stays private.
  EXPECT_EQ(dlsym(plugin().handle, "mp4ff_open_read"), nullptr);
}

TEST_F(M4aInput, IsOurFile) {
  auto ours = [&](const char *name) { return ip->is_our_file(const_cast<char *>(name)); };
  EXPECT_EQ(ours("/music/a.m4a"), 1);
  EXPECT_EQ(ours("/music/a.M4A"), 1);
  EXPECT_EQ(ours("/music/a.Mp4"), 1);
  EXPECT_EQ(ours("/music/a.aac"), 1);
  EXPECT_EQ(ours("/music/a.mp4x"), 1); // only four characters are compared
  EXPECT_EQ(ours("/music/a.mp4.bak"), 0);
  EXPECT_EQ(ours("/music/noextension"), 0);
  EXPECT_EQ(ours("/music/a.mp3"), 0);
  EXPECT_EQ(ours("/music/a.m4"), 0);
  EXPECT_EQ(ours("/no/such/file.m4a"), 1); // the file is not opened
  EXPECT_EQ(ip->is_our_file(nullptr), 0);
}

TEST_F(M4aInput, ControlWithoutPlayback) {
  EXPECT_EQ(ip->get_time(), -1);
  auto start = std::chrono::steady_clock::now();
  ip->seek(5); // nothing plays: returns at once
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  ip->stop();
  ip->stop();
  ip->pause(1);
  ip->pause(0);
  auto pauses = recorder().eventsOf(Event::Pause);
  ASSERT_EQ(pauses.size(), 2u);
  EXPECT_EQ(pauses[0].a, 1);
  EXPECT_EQ(pauses[1].a, 0);
  EXPECT_EQ(recorder().closes, 0);
  ip->file_info_box(const_cast<char *>(media("tagged.m4a").c_str()));
  ip->file_info_box(const_cast<char *>("/no/such/file.m4a"));
}

TEST_F(M4aInput, Mp4PcmMatchesADirectDecode) {
  std::vector<size_t> frames;
  Pcm expected = referenceMp4(media("tagged.m4a"), 0, &frames);
  ASSERT_GT(expected.size(), 44100u);
  ASSERT_TRUE(playToEnd(media("tagged.m4a")));

  Pcm got = recorder().pcmCopy();
  EXPECT_EQ(got.size(), expected.size());
  EXPECT_EQ(firstDifference(got, expected), -1);

  auto opens = recorder().eventsOf(Event::Open);
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(opens[0].a, FMT_S16_NE);
  EXPECT_EQ(opens[0].b, 44100);
  EXPECT_EQ(opens[0].c, 2);
  auto flushes = recorder().eventsOf(Event::Flush);
  ASSERT_EQ(flushes.size(), 1u);
  EXPECT_EQ(flushes[0].a, 0);
  EXPECT_EQ(flushes[0].pcmAt, 0u);
  // One write per frame that gave PCM.
  EXPECT_EQ(recorder().eventsOf(Event::Write).size(), frames.size());
  EXPECT_GE(recorder().closes, 1);

  std::lock_guard<std::mutex> g(recorder().lock);
  ASSERT_EQ(recorder().infos.size(), 1u);
  const SetInfo &info = recorder().infos[0];
  EXPECT_EQ(info.title, "Tone Artist - Tone Title");
  Mp4File file(media("tagged.m4a"));
  ASSERT_NE(file.mp4, nullptr);
  EXPECT_EQ(info.length, reportedLength(mp4ff_num_samples(file.mp4, 0), 44100, 1024));
  EXPECT_EQ(info.rate, -1);
  EXPECT_EQ(info.freq, 44);
  EXPECT_EQ(info.channels, 2);
}

TEST_F(M4aInput, LengthAndSeekArithmetic) {
  // 1000 frames at 44.1 kHz without SBR: 1000 x 1023 / 44100 s.
  recorder().blockAfterWrites = 1;
  ip->play_file(const_cast<char *>(media("silence1000.m4a").c_str()));
  ASSERT_TRUE(waitUntil([] { return recorder().bufferFreeCalls > 2; }));
  {
    std::lock_guard<std::mutex> g(recorder().lock);
    ASSERT_EQ(recorder().infos.size(), 1u);
    EXPECT_EQ(recorder().infos[0].length, 23197);
  }
  // The thread waits for room (as behind a paused sound card); the seek is taken inside that
  // wait and the frame in hand dropped, so the seek returns while the output is still full.
  auto seek = std::async(std::launch::async, [&] { ip->seek(10); });
  ASSERT_EQ(seek.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  ASSERT_TRUE(waitUntil([] { return recorder().eventsOf(Event::Flush).size() == 2; }));
  recorder().blockAfterWrites = -1;
  ASSERT_TRUE(waitUntil([&] { return ip->get_time() == -1; }, 10000));
  ip->stop();

  auto flushes = recorder().eventsOf(Event::Flush);
  ASSERT_EQ(flushes.size(), 2u);
  EXPECT_EQ(flushes[1].a, 10000);
  // Sample index truncate(10 x 44100 / 1023) = 431: the 569 frames from there on were written
  // after the flush (2048 values each).
  Pcm all = recorder().pcmCopy();
  EXPECT_EQ(all.size() - flushes[1].pcmAt, size_t(1000 - 431) * 2048);
  // Frames are 1024 x 2 channels; one was written before the seek was taken.
  EXPECT_EQ(flushes[1].pcmAt, 1u * 2048);
}

TEST_F(M4aInput, SeekPastTheEndEndsWithAReadError) {
  StdoutCapture out;
  recorder().blockAfterWrites = 1;
  ip->play_file(const_cast<char *>(media("silence1000.m4a").c_str()));
  ASSERT_TRUE(waitUntil([] { return recorder().bufferFreeCalls > 1; }));
  auto seek = std::async(std::launch::async, [&] { ip->seek(30); });
  recorder().blockAfterWrites = -1;
  ASSERT_EQ(seek.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  ASSERT_TRUE(waitUntil([&] { return ip->get_time() == -1; }, 5000));
  ip->stop();
  EXPECT_NE(out.text().find("MP4: read error\n"), std::string::npos) << out.text();
  auto flushes = recorder().eventsOf(Event::Flush);
  ASSERT_EQ(flushes.size(), 2u);
  EXPECT_EQ(flushes[1].a, 30000);
}

TEST_F(M4aInput, SeekResumesWithTheRightFrames) {
  // Seek to 1 s: sample truncate(44100 / 1023) = 43. With the output full after one write, the
  // thread has decoded samples 0 to 2 when it takes the seek (sample 0 gives no PCM), so one
  // decoder fed 0, 1, 2, 43, 44, ... must give the same PCM after the flush.
  Mp4File file(media("tagged.m4a"));
  ASSERT_NE(file.mp4, nullptr);
  const int samples = mp4ff_num_samples(file.mp4, 0);
  ASSERT_GT(samples, 50);
  std::vector<int> order = {0, 1, 2};
  for (int i = 43; i < samples; ++i)
    order.push_back(i);
  std::vector<size_t> starts;
  Pcm reference = referenceMp4(media("tagged.m4a"), 0, &starts, &order);
  ASSERT_EQ(starts.size(), order.size() - 1);
  Pcm fromSeek(reference.begin() + long(starts[2]), reference.end());
  recorder().blockAfterWrites = 1;
  ip->play_file(const_cast<char *>(media("tagged.m4a").c_str()));
  ASSERT_TRUE(waitUntil([] { return recorder().bufferFreeCalls > 1; }));
  auto seek = std::async(std::launch::async, [&] { ip->seek(1); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  recorder().blockAfterWrites = -1;
  ASSERT_EQ(seek.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  ASSERT_TRUE(waitUntil([&] { return ip->get_time() == -1; }, 5000));
  ip->stop();
  auto flushes = recorder().eventsOf(Event::Flush);
  ASSERT_EQ(flushes.size(), 2u);
  EXPECT_EQ(flushes[1].a, 1000);
  Pcm all = recorder().pcmCopy();
  Pcm after(all.begin() + long(flushes[1].pcmAt), all.end());
  ASSERT_EQ(after.size(), size_t(samples - 43) * 2048);
  EXPECT_EQ(firstDifference(after, fromSeek), -1);
}

TEST_F(M4aInput, RawAacPcmMatchesADirectDecode) {
  Pcm expected = referenceAdts(media("raw.aac"));
  ASSERT_GT(expected.size(), 44100u);
  for (const char *name : {"raw.aac", "id3small.aac", "id3big.aac"}) {
    SCOPED_TRACE(name);
    recorder().reset();
    StdoutCapture out;
    ASSERT_TRUE(playToEnd(media(name)));
    Pcm got = recorder().pcmCopy();
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_EQ(firstDifference(got, expected), -1);
    auto opens = recorder().eventsOf(Event::Open);
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].b, 44100);
    EXPECT_EQ(opens[0].c, 2);
    std::lock_guard<std::mutex> g(recorder().lock);
    ASSERT_EQ(recorder().infos.size(), 1u);
    // No tags on this path: the default format gives nothing, so the base name is the title.
    EXPECT_EQ(recorder().infos[0].title, name);
    EXPECT_EQ(recorder().infos[0].length, -1);
    EXPECT_EQ(recorder().infos[0].freq, 44100);
    // A clean end of stream is not an error.
    EXPECT_EQ(out.text().find("error"), std::string::npos) << out.text();
    EXPECT_EQ(out.text().find("Warning"), std::string::npos) << out.text();
  }
}

TEST_F(M4aInput, ContentDecidesThePathNotTheName) {
  // MP4 bytes behind an .aac name play as MP4 (length known, frequency in kHz).
  Pcm expected = referenceMp4(media("tagged.m4a"), 0);
  ASSERT_TRUE(playToEnd(media("mp4named.aac")));
  EXPECT_EQ(firstDifference(recorder().pcmCopy(), expected), -1);
  {
    std::lock_guard<std::mutex> g(recorder().lock);
    ASSERT_EQ(recorder().infos.size(), 1u);
    EXPECT_GT(recorder().infos[0].length, 0);
    EXPECT_EQ(recorder().infos[0].freq, 44);
  }
  // ADTS bytes behind an .mp4 name play as raw AAC.
  TempHome other;
  std::string renamed = other.path("stream.mp4");
  velora::test::writeFile(renamed, velora::test::readFile(media("raw.aac")));
  recorder().reset();
  ASSERT_TRUE(playToEnd(renamed));
  EXPECT_EQ(firstDifference(recorder().pcmCopy(), referenceAdts(media("raw.aac"))), -1);
  std::lock_guard<std::mutex> g(recorder().lock);
  ASSERT_EQ(recorder().infos.size(), 1u);
  EXPECT_EQ(recorder().infos[0].length, -1);
}

TEST_F(M4aInput, AudioBehindAVideoTrackPlays) {
  auto getAACTrack = plugin().sym<int (*)(mp4ff_t *)>("getAACTrack");
  for (const char *name : {"h264first.mp4", "mpeg4first.mp4"}) {
    SCOPED_TRACE(name);
    {
      Mp4File file(media(name));
      ASSERT_NE(file.mp4, nullptr);
      StdoutCapture out;
      EXPECT_EQ(getAACTrack(file.mp4), 1);
      EXPECT_NE(out.text().find("total-tracks: 2\ntesting-track: 0\ntesting-track: 1\n"),
                std::string::npos)
          << out.text();
    }
    recorder().reset();
    Pcm expected = referenceMp4(media(name), 1);
    ASSERT_GT(expected.size(), 0u);
    ASSERT_TRUE(playToEnd(media(name)));
    EXPECT_EQ(firstDifference(recorder().pcmCopy(), expected), -1);
  }
  Mp4File plain(media("tagged.m4a"));
  EXPECT_EQ(getAACTrack(plain.mp4), 0);
}

TEST_F(M4aInput, SongInfo) {
  char *title = reinterpret_cast<char *>(1);
  int length = 0;
  ip->get_song_info(const_cast<char *>(media("tagged.m4a").c_str()), &title, &length);
  ASSERT_NE(title, nullptr);
  EXPECT_STREQ(title, "Tone Artist - Tone Title");
  free(title);
  Mp4File file(media("tagged.m4a"), true);
  ASSERT_NE(file.mp4, nullptr);
  double expected = double(mp4ff_get_track_duration(file.mp4, 0)) * 1000.0 *
                    (1.0 / double(mp4ff_time_scale(file.mp4, 0)));
  EXPECT_GT(expected, 1400.0);
  EXPECT_EQ(length, int(unsigned(expected)));

  for (const char *name : {"raw.aac", "truncated-moov.m4a", "truncated-head.m4a"}) {
    title = reinterpret_cast<char *>(1);
    length = 0;
    ip->get_song_info(const_cast<char *>(media(name).c_str()), &title, &length);
    EXPECT_EQ(title, nullptr) << name;
    EXPECT_EQ(length, -1) << name;
  }
  title = reinterpret_cast<char *>(1);
  ip->get_song_info(const_cast<char *>("/no/such/file.m4a"), &title, &length);
  EXPECT_EQ(title, nullptr);
  EXPECT_EQ(length, -1);
}

TEST_F(M4aInput, AdtsProbes) {
  auto getAacInfo = plugin().sym<int (*)(FILE *)>("getAacInfo");
  auto checkADTS = plugin().sym<void (*)(FILE *, int32_t **, int32_t *)>("checkADTSForSeeking");
  ASSERT_NE(getAacInfo, nullptr);
  ASSERT_NE(checkADTS, nullptr);

  std::string bytes = velora::test::readFile(media("frames100.aac"));
  // The offsets of frames 0, 43 and 86, walked here from the frame lengths.
  std::vector<int32_t> starts;
  for (size_t at = 0; at + 7 <= bytes.size();) {
    starts.push_back(int32_t(at));
    auto b = [&](size_t i) { return unsigned(uint8_t(bytes[at + i])); };
    at += ((b(3) & 3) << 11) | (b(4) << 3) | (b(5) >> 5);
  }
  ASSERT_EQ(starts.size(), 100u);

  FILE *f = fopen(media("frames100.aac").c_str(), "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(getAacInfo(f), 0); // ID bit clear: MPEG-4
  EXPECT_EQ(ftell(f), 0);
  int32_t *table = nullptr;
  int32_t count = -1;
  checkADTS(f, &table, &count);
  ASSERT_EQ(count, 3);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table[0], starts[0]);
  EXPECT_EQ(table[1], starts[43]);
  EXPECT_EQ(table[2], starts[86]);
  free(table);
  EXPECT_EQ(ftell(f), 0);
  // From the middle of the stream the position is kept too.
  fseek(f, starts[50], SEEK_SET);
  checkADTS(f, &table, &count);
  EXPECT_EQ(count, 2); // frames 50 and 93
  free(table);
  EXPECT_EQ(ftell(f), starts[50]);
  fclose(f);

  // MPEG-2 (ID bit set), a bad header, and a short file.
  TempHome scratch;
  std::string mpeg2 = bytes;
  mpeg2[1] = char(uint8_t(mpeg2[1]) | 0x08);
  velora::test::writeFile(scratch.path("mpeg2.aac"), mpeg2);
  velora::test::writeFile(scratch.path("bad.aac"), "not an adts stream");
  velora::test::writeFile(scratch.path("short.aac"), "\xff\xf1");
  // A frame whose length field is 0 would send the walk back onto itself.
  std::string zero = bytes.substr(0, size_t(starts[2]));
  zero += bytes.substr(size_t(starts[2]), 3) + std::string("\0\0\0\0\0\0\0", 5) +
          bytes.substr(size_t(starts[2] + 8));
  velora::test::writeFile(scratch.path("zero.aac"), zero);
  StdoutCapture out;
  f = fopen(scratch.path("mpeg2.aac").c_str(), "rb");
  EXPECT_EQ(getAacInfo(f), 1);
  fclose(f);
  f = fopen(scratch.path("bad.aac").c_str(), "rb");
  EXPECT_EQ(getAacInfo(f), -1);
  EXPECT_EQ(ftell(f), 0);
  checkADTS(f, &table, &count);
  EXPECT_EQ(count, 0);
  free(table);
  fclose(f);
  f = fopen(scratch.path("short.aac").c_str(), "rb");
  EXPECT_EQ(getAacInfo(f), -1);
  EXPECT_EQ(ftell(f), 0);
  fclose(f);
  f = fopen(scratch.path("zero.aac").c_str(), "rb");
  checkADTS(f, &table, &count);
  EXPECT_EQ(count, 1);
  free(table);
  fclose(f);
  std::string text = out.text();
  EXPECT_NE(text.find("Bad header\n"), std::string::npos);
  EXPECT_NE(text.find("error : Bad 1st header, file may be corrupt !\n"), std::string::npos);
}

TEST_F(M4aInput, StopDuringTheOutputWait) {
  for (const char *name : {"tagged.m4a", "raw.aac"}) {
    SCOPED_TRACE(name);
    recorder().reset();
    recorder().blockAfterWrites = 3;
    ip->play_file(const_cast<char *>(media(name).c_str()));
    ASSERT_TRUE(waitUntil([] { return recorder().bufferFreeCalls > 5; }));
    EXPECT_EQ(ip->get_time(), 4321); // the output's clock while the song plays
    int callsBefore = recorder().bufferFreeCalls;
    auto start = std::chrono::steady_clock::now();
    ip->stop(); // joins the thread
    auto took = std::chrono::steady_clock::now() - start;
    // At most the look already under way when the flag fell: the wait ended within one step.
    EXPECT_LE(recorder().bufferFreeCalls - callsBefore, 1);
    EXPECT_LT(took, std::chrono::seconds(2));
    EXPECT_EQ(ip->get_time(), -1);
    EXPECT_GE(recorder().closes, 1);
    // A stopped thread drops the frame in hand: nothing is written after the stop.
    EXPECT_EQ(recorder().writes, 3);
  }
}

TEST_F(M4aInput, SeekOnRawAacIsAnsweredAtOnce) {
  recorder().blockAfterWrites = 2;
  ip->play_file(const_cast<char *>(media("raw.aac").c_str()));
  ASSERT_TRUE(waitUntil([] { return recorder().bufferFreeCalls > 3; }));
  auto seek = std::async(std::launch::async, [&] { ip->seek(1); });
  EXPECT_EQ(seek.wait_for(std::chrono::seconds(2)), std::future_status::ready);
  recorder().blockAfterWrites = -1;
  ASSERT_TRUE(waitUntil([&] { return ip->get_time() == -1; }, 5000));
  ip->stop();
  EXPECT_EQ(recorder().eventsOf(Event::Flush).size(), 1u); // never taken
  EXPECT_EQ(recorder().pcmCopy().size(), referenceAdts(media("raw.aac")).size());
}

TEST_F(M4aInput, OutputThatCannotOpen) {
  for (const char *name : {"tagged.m4a", "raw.aac"}) {
    SCOPED_TRACE(name);
    recorder().reset();
    recorder().openResult = 0;
    StdoutCapture out;
    ASSERT_TRUE(playToEnd(media(name), 5000));
    EXPECT_EQ(recorder().writes, 0);
    EXPECT_NE(out.text().find(std::string(name[0] == 't' ? "MP4" : "AAC") + ": Output Error\n"),
              std::string::npos)
        << out.text();
  }
}

TEST_F(M4aInput, DamagedFilesEndWithAMessage) {
  TempHome scratch;
  velora::test::writeFile(scratch.path("empty.m4a"), "");
  velora::test::writeFile(scratch.path("empty.aac"), "");
  velora::test::writeFile(scratch.path("noise.aac"), std::string(5000, '\x5a'));
  std::string ftypOnly = velora::test::readFile(media("tagged.m4a")).substr(0, 28);
  velora::test::writeFile(scratch.path("ftyp.m4a"), ftypOnly);
  // An ID3 tag that claims more bytes than the file has.
  velora::test::writeFile(scratch.path("id3only.aac"),
                          std::string("ID3\3\0\0\x7f\x7f\x7f\x7f", 10));
  struct Case {
    std::string path, message;
  } cases[] = {
      {"/no/such/file.m4a", "MP4!AAC - Can't open file\n"},
      {media("truncated-head.m4a"), "MP4 - Can't open file\n"},
      {media("truncated-moov.m4a"), "MP4 - Can't open file\n"},
      {scratch.path("ftyp.m4a"), "MP4 - Can't open file\n"},
      {media("truncated.m4a"), "MP4: read error\n"},
      {media("bitflip.m4a"), "MP4: "},
      {media("truncated.aac"), "FAAD2 Warning "},
      {media("bitflip.aac"), "FAAD2 Warning "},
      {scratch.path("empty.m4a"), "AAC: Error reading file\n"},
      {scratch.path("empty.aac"), "AAC: Error reading file\n"},
      {scratch.path("noise.aac"), "FAAD2 Warning "},
      {scratch.path("id3only.aac"), "AAC: Stream header not recognised\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.path);
    recorder().reset();
    StdoutCapture out;
    ASSERT_TRUE(playToEnd(c.path, 10000));
    EXPECT_EQ(ip->get_time(), -1);
    if (!c.message.empty()) {
      EXPECT_NE(out.text().find(c.message), std::string::npos) << out.text();
    }
  }
}

TEST_F(M4aInput, StopRightAfterPlayAndPlayWithoutStop) {
  // The output never has room, so a thread that missed the stop would wait for ever and the
  // join in stop would never return.
  recorder().blockAfterWrites = 0;
  for (int round = 0; round < 20; ++round) {
    ip->play_file(const_cast<char *>(media(round % 2 ? "raw.aac" : "silence1000.m4a").c_str()));
    ip->stop();
    EXPECT_EQ(ip->get_time(), -1);
  }
  // A second play without a stop ends the first song's thread before starting the next.
  recorder().reset();
  recorder().blockAfterWrites = 0;
  ip->play_file(const_cast<char *>(media("silence1000.m4a").c_str()));
  ASSERT_TRUE(waitUntil([] { return recorder().bufferFreeCalls > 0; }));
  ip->play_file(const_cast<char *>(media("tagged.m4a").c_str()));
  recorder().blockAfterWrites = -1;
  ASSERT_TRUE(waitUntil([&] { return ip->get_time() == -1; }, 5000));
  ip->stop();
  auto opens = recorder().eventsOf(Event::Open);
  ASSERT_EQ(opens.size(), 2u);
  Pcm all = recorder().pcmCopy();
  EXPECT_EQ(firstDifference(Pcm(all.begin() + long(opens[1].pcmAt), all.end()),
                            referenceMp4(media("tagged.m4a"), 0)),
            -1);
}

TEST_F(M4aInput, SbrTracksUseTheLongerFrame) {
  // The same frames with SBR signalled: 2048 samples per frame at 88.2 kHz, so the length and the
  // seek position use 2047 where plain AAC uses 1023.
  std::string path = media("sbr.m4a");
  Mp4File file(path);
  ASSERT_NE(file.mp4, nullptr);
  const int samples = mp4ff_num_samples(file.mp4, 0);
  Pcm expected = referenceMp4(path, 0);
  ASSERT_TRUE(playToEnd(path));
  EXPECT_EQ(firstDifference(recorder().pcmCopy(), expected), -1);
  auto opens = recorder().eventsOf(Event::Open);
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(opens[0].b, 88200);
  {
    std::lock_guard<std::mutex> g(recorder().lock);
    ASSERT_EQ(recorder().infos.size(), 1u);
    EXPECT_EQ(recorder().infos[0].length, reportedLength(samples, 88200, 2048));
    EXPECT_EQ(recorder().infos[0].freq, 88);
  }

  // Seek to 1 s: sample truncate(88200 / 2047) = 43.
  recorder().reset();
  recorder().blockAfterWrites = 1;
  ip->play_file(const_cast<char *>(path.c_str()));
  ASSERT_TRUE(waitUntil([] { return recorder().bufferFreeCalls > 1; }));
  auto seek = std::async(std::launch::async, [&] { ip->seek(1); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  recorder().blockAfterWrites = -1;
  ASSERT_EQ(seek.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  ASSERT_TRUE(waitUntil([&] { return ip->get_time() == -1; }, 5000));
  ip->stop();
  auto flushes = recorder().eventsOf(Event::Flush);
  ASSERT_EQ(flushes.size(), 2u);
  EXPECT_EQ(flushes[1].a, 1000);
  EXPECT_EQ(recorder().pcmCopy().size() - flushes[1].pcmAt, size_t(samples - 43) * 4096);
}
