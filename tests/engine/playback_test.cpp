// Playback through real plug-ins: WAV files to the disk writer and to the null output, and the
// player's moves through the playlist, driven by the test input plug-in.
#include "enginetest.h"

#include <gtest/gtest.h>
#include <xmms/xmmsctrl.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <set>
#include <thread>

using namespace enginetest;
using velora::test::readFile;
using velora::test::TempHome;
using velora::test::waitUntil;
using Clock = std::chrono::steady_clock;

namespace {

std::string fixture(const std::string &name) {
  return std::string(ENGINE_FIXTURES_DIR) + "/" + name;
}

uint32_t le32(const std::string &s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i)
    v = v << 8 | static_cast<uint8_t>(s[at + i]);
  return v;
}

struct Wav {
  int channels = 0, rate = 0, bits = 0;
  std::string data;
};

// A small independent reader: finds "fmt " and "data" by walking the chunks.
Wav readWav(const std::string &bytes) {
  Wav w;
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") || bytes.compare(8, 4, "WAVE"))
    return w;
  for (size_t at = 12; at + 8 <= bytes.size();) {
    std::string id = bytes.substr(at, 4);
    uint32_t size = le32(bytes, at + 4);
    if (id == "fmt ") {
      w.channels = static_cast<uint8_t>(bytes[at + 10]) | static_cast<uint8_t>(bytes[at + 11]) << 8;
      w.rate = static_cast<int>(le32(bytes, at + 12));
      w.bits = static_cast<uint8_t>(bytes[at + 22]);
    } else if (id == "data") {
      w.data = bytes.substr(at + 8, size);
      break;
    }
    at += 8 + size + (size & 1);
  }
  return w;
}

bool logHas(const std::string &log, const std::string &line) {
  for (auto &l : logLines(log))
    if (l == line)
      return true;
  return false;
}

} // namespace

TEST(EnginePlayback, WavToDiskWriterKeepsEverySample) {
  TempHome home;
  std::string out = home.path("out.wav");
  writeConfig(home, "[xmms]\noutput_plugin=libdiskwriter.so\nshuffle=FALSE\n"
                    "[disk_writer]\nfile=" +
                        out + "\n");
  for (const char *name : {"tone-s16-stereo.wav", "tone-u8-mono.wav"}) {
    writePlaylist(home, {fixture(name)});
    std::remove((out).c_str());
    EngineRun engine;
    ASSERT_TRUE(engine.start());
    xmms_remote_set_main_volume(0, 100);
    xmms_remote_play(0);
    ASSERT_TRUE(waitUntil([] { return !xmms_remote_is_playing(0); }, 5000)) << name;
    ASSERT_TRUE(waitUntil([&] { return velora::test::fileExists(out); })) << name;
    Wav in = readWav(readFile(fixture(name))), got = readWav(readFile(out));
    ASSERT_FALSE(in.data.empty());
    EXPECT_EQ(got.channels, in.channels) << name;
    EXPECT_EQ(got.rate, in.rate) << name;
    EXPECT_EQ(got.bits, in.bits) << name;
    EXPECT_EQ(got.data.size(), in.data.size()) << name;
    EXPECT_TRUE(got.data == in.data) << name << ": samples differ";
    // The header's sizes were fixed up when the output closed.
    std::string raw = readFile(out);
    EXPECT_EQ(le32(raw, 4), raw.size() - 8);
    EXPECT_EQ(engine.quit(), 0);
    EXPECT_TRUE(engine.errors().find("null output") == std::string::npos) << engine.errors();
  }
  // The engine's volume reaches the output: half volume halves every sample.
  writePlaylist(home, {fixture("tone-s16-stereo.wav")});
  EngineRun engine;
  ASSERT_TRUE(engine.start());
  xmms_remote_set_main_volume(0, 50);
  xmms_remote_play(0);
  ASSERT_TRUE(waitUntil([] { return !xmms_remote_is_playing(0); }, 5000));
  Wav in = readWav(readFile(fixture("tone-s16-stereo.wav"))), got = readWav(readFile(out));
  ASSERT_EQ(got.data.size(), in.data.size());
  size_t differ = 0;
  for (size_t i = 0; i + 1 < in.data.size(); i += 2) {
    int16_t a, b;
    std::memcpy(&a, &in.data[i], 2);
    std::memcpy(&b, &got.data[i], 2);
    differ += b != a * 50 / 100;
  }
  EXPECT_EQ(differ, 0u);
  EXPECT_EQ(engine.quit(), 0);
}

TEST(EnginePlayback, PauseSeekAndStopInRealTime) {
  TempHome home;
  writeConfig(home, "[xmms]\noutput_plugin=libnullout.so\n");
  writePlaylist(home, {fixture("long-s16-mono.wav")});
  EngineRun engine;
  ASSERT_TRUE(engine.start());
  EXPECT_TRUE(waitUntil([] { return xmms_remote_get_playlist_time(0, 0) == 2500; }));
  xmms_remote_play(0);
  ASSERT_TRUE(waitUntil([] { return xmms_remote_get_output_time(0) >= 200; }));
  int rate, freq, nch;
  xmms_remote_get_info(0, &rate, &freq, &nch);
  EXPECT_EQ(freq, 8000);
  EXPECT_EQ(nch, 1);
  EXPECT_EQ(rate, 8000 * 16);

  // Paused, the clock stands still.
  xmms_remote_pause(0);
  EXPECT_TRUE(xmms_remote_is_paused(0));
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  int before = xmms_remote_get_output_time(0);
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_EQ(xmms_remote_get_output_time(0), before);
  EXPECT_LT(before, 1000);
  xmms_remote_pause(0);
  EXPECT_TRUE(waitUntil([&] { return xmms_remote_get_output_time(0) > before + 100; }));

  // The clock is real time: about 300 ms more after 300 ms.
  int t0 = xmms_remote_get_output_time(0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  int t1 = xmms_remote_get_output_time(0);
  EXPECT_GT(t1 - t0, 150);
  EXPECT_LT(t1 - t0, 600);

  // Seek to 2 s: the time jumps there (whole seconds, as the plug-ins seek).
  xmms_remote_jump_to_time(0, 2000);
  EXPECT_TRUE(waitUntil([] {
    int t = xmms_remote_get_output_time(0);
    return t >= 2000 && t < 2500;
  }));
  // Stop: not playing, time 0; play again starts from the beginning.
  xmms_remote_stop(0);
  EXPECT_FALSE(xmms_remote_is_playing(0));
  EXPECT_EQ(xmms_remote_get_output_time(0), 0);
  xmms_remote_play(0);
  EXPECT_TRUE(waitUntil([] { return xmms_remote_get_output_time(0) > 0; }));
  EXPECT_LT(xmms_remote_get_output_time(0), 1000);
  // A seek past the end ends the song, and the list, which has no more entries.
  xmms_remote_jump_to_time(0, 10000);
  EXPECT_TRUE(waitUntil([] { return !xmms_remote_is_playing(0); }, 3000));
  EXPECT_EQ(engine.quit(), 0);
}

// The end of a song wakes the player: the next one is heard at once, not after the player's
// next look at a song that plays on the output's own clock (it looks only once a second).
TEST(EnginePlayback, NextSongFollowsTheEndWithoutAPause) {
  TempHome home;
  writeConfig(home, "[xmms]\noutput_plugin=libnullout.so\nshuffle=FALSE\nrepeat=FALSE\n");
  writePlaylist(home, {fixture("long-s16-mono.wav"), fixture("short1.wav")});
  EngineRun engine;
  ASSERT_TRUE(engine.start());
  xmms_remote_play(0);
  Clock::time_point lastMove, heard;
  int lastTime = -1;
  auto until = Clock::now() + std::chrono::seconds(4);
  while (Clock::now() < until) {
    int pos = xmms_remote_get_playlist_pos(0), t = xmms_remote_get_output_time(0);
    if (xmms_remote_get_playlist_pos(0) != pos)
      continue; // the time may be either song's
    if (pos == 0 && t != lastTime) {
      lastTime = t;
      lastMove = Clock::now();
    } else if (pos == 1 && t > 0) {
      heard = Clock::now();
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_GT(lastTime, 2300) << "the first song was not heard to its end";
  ASSERT_NE(heard, Clock::time_point()) << "the second song never played";
  EXPECT_LT(heard - lastMove, std::chrono::milliseconds(250));
  EXPECT_EQ(engine.quit(), 0);
}

// A seek sent in the same breath as play (a tap on the position bar right after Play) lands,
// even though the plug-in's decoder has not started when it arrives.
TEST(EnginePlayback, SeekRightAfterPlayIsKept) {
  TempHome home;
  writeConfig(home, "[xmms]\noutput_plugin=libnullout.so\n");
  writePlaylist(home, {fixture("long-s16-mono.wav")});
  EngineRun engine;
  ASSERT_TRUE(engine.start());
  xmms_remote_play(0);
  xmms_remote_jump_to_time(0, 1000);
  // Once the song plays, its clock goes on from 1 s; a lost seek would show about 0.6 s here.
  ASSERT_TRUE(waitUntil([] { return xmms_remote_is_playing(0); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  int t = xmms_remote_get_output_time(0);
  EXPECT_GE(t, 1300);
  EXPECT_LT(t, 2300);
  EXPECT_EQ(engine.quit(), 0);
}

TEST(EnginePlayback, NaturalEndAdvancesAndSkipsBrokenEntries) {
  TempHome home;
  writeConfig(home, "[xmms]\noutput_plugin=libnullout.so\nshuffle=FALSE\nrepeat=FALSE\n");
  writePlaylist(home, {fixture("short1.wav"), fixture("corrupt.wav"), "/no/such/file.wav",
                       "/m/unknown.xyz", fixture("short2.wav")});
  EngineRun engine;
  ASSERT_TRUE(engine.start());
  xmms_remote_play(0);
  EXPECT_EQ(xmms_remote_get_playlist_pos(0), 0);
  EXPECT_TRUE(waitUntil([] { return xmms_remote_get_playlist_pos(0) == 4; }, 3000));
  EXPECT_TRUE(xmms_remote_is_playing(0));
  // The last entry ends: without repeat the engine stops there.
  EXPECT_TRUE(waitUntil([] { return !xmms_remote_is_playing(0); }, 3000));
  EXPECT_EQ(xmms_remote_get_playlist_pos(0), 4);
  EXPECT_EQ(engine.quit(), 0);
  EXPECT_NE(engine.errors().find("no input plug-in plays /m/unknown.xyz"), std::string::npos);
}

TEST(EnginePlayback, RepeatAndAllBrokenEntries) {
  TempHome home;
  std::string log = home.path("plugin.log");
  writeConfig(home, "[xmms]\nshuffle=FALSE\nrepeat=TRUE\n[testinput]\nlog=" + log + "\n");
  writePlaylist(home, {"/m/a-80ms.tst", "/m/b-80ms.tst", "/m/c-80ms.tst"});
  {
    EngineRun engine;
    ASSERT_TRUE(engine.start(privateStage(home)));
    xmms_remote_play(0);
    // With repeat the list goes round: a b c a b ...
    ASSERT_TRUE(waitUntil([&] { return playedNames(log).size() >= 5; }, 5000));
    auto names = playedNames(log);
    std::vector<std::string> want{"a-80ms.tst", "b-80ms.tst", "c-80ms.tst", "a-80ms.tst",
                                  "b-80ms.tst"};
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 5), want);
    EXPECT_TRUE(xmms_remote_is_playing(0));
    // Repeat off: the round ends after c.
    xmms_remote_toggle_repeat(0);
    EXPECT_TRUE(waitUntil([] { return !xmms_remote_is_playing(0); }, 3000));
    EXPECT_EQ(xmms_remote_get_playlist_pos(0), 2);
    EXPECT_EQ(engine.quit(), 0);
  }
  // Nothing can be played, repeat on: the engine stops instead of spinning.
  writeConfig(home, "[xmms]\nshuffle=FALSE\nrepeat=TRUE\n[testinput]\nlog=" + log + "\n");
  writePlaylist(home, {"/m/x-fail.tst", "/m/y-fail.tst"});
  EngineRun engine;
  ASSERT_TRUE(engine.start(privateStage(home)));
  xmms_remote_play(0);
  EXPECT_TRUE(waitUntil([] { return !xmms_remote_is_playing(0); }, 3000));
  EXPECT_NE(engine.errors().find("no entry of the playlist could be played"), std::string::npos);
  EXPECT_EQ(engine.quit(), 0);
}

TEST(EnginePlayback, ShuffleCoversEveryEntryOnce) {
  TempHome home;
  std::string log = home.path("plugin.log");
  writeConfig(home, "[xmms]\nshuffle=TRUE\nrepeat=FALSE\n[testinput]\nlog=" + log + "\n");
  std::vector<std::string> list;
  for (int i = 0; i < 8; ++i)
    list.push_back("/m/s" + std::to_string(i) + "-40ms.tst");
  writePlaylist(home, list);
  EngineRun engine;
  ASSERT_TRUE(engine.start(privateStage(home)));
  xmms_remote_set_playlist_pos(0, 3);
  xmms_remote_play(0);
  ASSERT_TRUE(waitUntil([] { return !xmms_remote_is_playing(0); }, 5000));
  auto names = playedNames(log);
  ASSERT_EQ(names.size(), 8u);
  EXPECT_EQ(names[0], "s3-40ms.tst"); // starts with the chosen entry
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 8u);
  // Two rounds do not come out in the same order every time (8! orders).
  std::remove((log).c_str());
  xmms_remote_set_playlist_pos(0, 3);
  xmms_remote_play(0);
  ASSERT_TRUE(waitUntil([] { return !xmms_remote_is_playing(0); }, 5000));
  auto again = playedNames(log);
  EXPECT_EQ(again.size(), 8u);
  EXPECT_EQ(std::set<std::string>(again.begin(), again.end()).size(), 8u);
  EXPECT_NE(again, names);
  EXPECT_EQ(engine.quit(), 0);
}

// An input plug-in that learns of the end by itself (as the external-player plug-in does) asks
// for the next entry through the remote channel from its own thread.
TEST(EnginePlayback, PluginAskingForNextMovesOnOnce) {
  TempHome home;
  std::string log = home.path("plugin.log");
  writeConfig(home, "[xmms]\nshuffle=FALSE\nrepeat=FALSE\n[testinput]\nlog=" + log + "\n");
  writePlaylist(home, {"/m/a-next-100ms.tst", "/m/b-next-100ms.tst", "/m/c-next-100ms.tst"});
  EngineRun engine;
  ASSERT_TRUE(engine.start(privateStage(home)));
  xmms_remote_play(0);
  ASSERT_TRUE(waitUntil([] { return !xmms_remote_is_playing(0); }, 5000));
  EXPECT_EQ(playedNames(log),
            (std::vector<std::string>{"a-next-100ms.tst", "b-next-100ms.tst", "c-next-100ms.tst"}));
  EXPECT_EQ(xmms_remote_get_playlist_pos(0), 2);
  EXPECT_EQ(engine.quit(), 0);
}

TEST(EnginePlayback, StopThatNeverReturnsDoesNotHangTheEngine) {
  TempHome home;
  std::string log = home.path("plugin.log");
  writeConfig(home, "[xmms]\nshuffle=FALSE\noutput_plugin=libnullout.so\n"
                    "[testinput]\nlog=" +
                        log + "\n");
  writePlaylist(home, {"/m/hang-60000ms.tst", fixture("long-s16-mono.wav")});
  EngineRun engine;
  ASSERT_TRUE(engine.start(privateStage(home)));
  xmms_remote_play(0);
  ASSERT_TRUE(waitUntil([] { return xmms_remote_get_output_time(0) > 0; }));
  xmms_remote_stop(0);
  ASSERT_TRUE(waitUntil([&] { return logHas(log, "stop hang-60000ms.tst"); }));
  // While the plug-in hangs, the channel answers at once.
  auto t = Clock::now();
  for (int i = 0; i < 10; ++i)
    EXPECT_FALSE(xmms_remote_is_playing(0));
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count(), 500);
  // The engine gives up on it and plays other files.
  xmms_remote_set_playlist_pos(0, 1);
  xmms_remote_play(0);
  EXPECT_TRUE(waitUntil([] { return xmms_remote_get_output_time(0) > 100; }, 8000));
  EXPECT_NE(engine.errors().find("did not stop"), std::string::npos);
  EXPECT_EQ(engine.quit(), 0);
}

TEST(EnginePlayback, OutputThatCannotOpenFallsBackToNull) {
  TempHome home;
  // The disk writer cannot open without a file name.
  writeConfig(home, "[xmms]\noutput_plugin=libdiskwriter.so\nshuffle=FALSE\n");
  writePlaylist(home, {fixture("short1.wav"), fixture("short2.wav")});
  EngineRun engine;
  ASSERT_TRUE(engine.start());
  xmms_remote_play(0);
  EXPECT_TRUE(waitUntil([] { return xmms_remote_get_output_time(0) > 0; }));
  EXPECT_TRUE(waitUntil([] { return !xmms_remote_is_playing(0); }, 3000));
  EXPECT_EQ(engine.quit(), 0);
  std::string err = engine.errors();
  size_t lines = 0, at = 0;
  while ((at = err.find("playing to the null output", at)) != std::string::npos)
    ++lines, ++at;
  EXPECT_EQ(lines, 1u) << err; // said once, not once per song
  EXPECT_NE(err.find("libdiskwriter.so"), std::string::npos) << err;
}

TEST(EnginePlayback, AlsaOutputPlaysOrFallsBack) {
  TempHome home;
  writePlaylist(home, {fixture("short1.wav")});
  // A device that does not exist: one line, then the null output keeps time.
  writeConfig(home, "[xmms]\nshuffle=FALSE\n[alsa]\ndevice=velora_no_such_device\n");
  {
    EngineRun engine;
    ASSERT_TRUE(engine.start());
    xmms_remote_play(0);
    EXPECT_TRUE(waitUntil([] { return xmms_remote_get_output_time(0) > 0; }));
    EXPECT_TRUE(waitUntil([] { return !xmms_remote_is_playing(0); }, 3000));
    EXPECT_EQ(engine.quit(), 0);
    std::string err = engine.errors();
    EXPECT_NE(err.find("libalsaout.so"), std::string::npos) << err;
    EXPECT_NE(err.find("null output"), std::string::npos) << err;
    EXPECT_EQ(err.find("ALSA lib"), std::string::npos) << err; // no library chatter
  }
  // ALSA's own "null" device exists wherever ALSA does (it takes samples as fast as they
  // come): the ALSA output itself plays the song to its end.
  writeConfig(home, "[xmms]\nshuffle=FALSE\n[alsa]\ndevice=null\n");
  EngineRun engine;
  ASSERT_TRUE(engine.start());
  xmms_remote_play(0);
  EXPECT_TRUE(xmms_remote_is_playing(0));
  EXPECT_TRUE(waitUntil([] { return !xmms_remote_is_playing(0); }, 3000));
  EXPECT_EQ(xmms_remote_get_playlist_title(0, 0) ? playlistTitle(0) : "", "short1");
  EXPECT_EQ(engine.quit(), 0);
  EXPECT_EQ(engine.errors().find("null output"), std::string::npos) << engine.errors();
}

// A device pulled out while it plays (the test output takes 300 ms after each open, then
// nothing): the engine says so, opens it once more, then carries on on the null output, so the
// clock goes on and the playlist moves to its end instead of standing still for ever.
TEST(EnginePlayback, OutputThatStopsTakingAudioIsLeftForTheNullOutput) {
  TempHome home;
  std::string log = home.path("stuck.log");
  writeConfig(home, "[xmms]\noutput_plugin=libstuckoutput.so\nshuffle=FALSE\nrepeat=FALSE\n"
                    "[stuck_output]\nlog=" +
                        log + "\n");
  writePlaylist(home, {fixture("long-s16-mono.wav"), fixture("short1.wav")});
  EngineRun engine;
  ASSERT_TRUE(engine.start(privateStage(home)));
  // The remote query a window asks: nothing lost yet.
  char *reason = reinterpret_cast<char *>(1);
  EXPECT_EQ(xmms_remote_get_output_lost(0, &reason), 0);
  EXPECT_EQ(reason, nullptr);
  xmms_remote_play(0);
  int furthest = 0;
  ASSERT_TRUE(waitUntil(
      [&] {
        int pos = xmms_remote_get_playlist_pos(0), t = xmms_remote_get_output_time(0);
        if (pos == 0)
          furthest = std::max(furthest, t);
        return pos == 1;
      },
      20000))
      << engine.errors();
  EXPECT_GT(furthest, 1500) << "the first song's clock went on past what the device took";
  ASSERT_TRUE(waitUntil([] { return !xmms_remote_is_playing(0); }, 10000));
  // Told once, with the output's name, and still there after the playlist ended.
  EXPECT_EQ(xmms_remote_get_output_lost(0, &reason), 1);
  ASSERT_NE(reason, nullptr);
  EXPECT_EQ(std::string(reason), "libstuckoutput.so stopped taking audio");
  std::free(reason);
  EXPECT_EQ(xmms_remote_get_output_lost(0, nullptr), 1);
  EXPECT_EQ(engine.quit(), 0);
  EXPECT_EQ(xmms_remote_get_output_lost(0, &reason), 0); // no engine
  EXPECT_EQ(reason, nullptr);
  std::string err = engine.errors();
  auto count = [&](const std::string &text) {
    size_t n = 0;
    for (size_t at = err.find(text); at != std::string::npos; at = err.find(text, at + 1))
      ++n;
    return n;
  };
  EXPECT_EQ(count("libstuckoutput.so stopped taking audio"), 1u) << err;
  EXPECT_EQ(count("libstuckoutput.so is lost; playing to the null output"), 1u) << err;
  // Opened for the song, opened once more, then left alone: the second song joined the first
  // on the null output.
  EXPECT_EQ(logLines(log), (std::vector<std::string>{"open 8000 1", "open 8000 1"}));
}

// Pause, seek, stop and next in the last second of a song and just after a join, on the timed
// null output: nothing freezes, the next song is never skipped nor heard twice, and the entry
// shown is the one heard.
TEST(EnginePlayback, PauseSeekStopAndNextAroundAJoin) {
  TempHome home;
  writeConfig(home, "[xmms]\noutput_plugin=libnullout.so\nshuffle=FALSE\nrepeat=FALSE\n");
  std::string song = fixture("long-s16-mono.wav"); // 2.5 s
  writePlaylist(home, {song, song, song, song});
  EngineRun engine;
  ASSERT_TRUE(engine.start());
  auto pos = [] { return xmms_remote_get_playlist_pos(0); };
  auto ms = [] { return xmms_remote_get_output_time(0); };
  auto lastSecond = [&](int entry) {
    return waitUntil([&] { return pos() == entry && ms() >= 1700; }, 8000);
  };
  xmms_remote_play(0);

  // A seek back from the last second stays in the song.
  ASSERT_TRUE(lastSecond(0));
  xmms_remote_jump_to_time(0, 1000);
  EXPECT_TRUE(waitUntil([&] { return pos() == 0 && ms() >= 1000 && ms() < 1600; }));
  // Paused in the last second: the clock stands, the next song does not start behind it.
  ASSERT_TRUE(lastSecond(0));
  xmms_remote_pause(0);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  int held = ms();
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  EXPECT_EQ(ms(), held);
  EXPECT_EQ(pos(), 0);
  xmms_remote_pause(0);
  // The join: the next entry is shown when it is heard, from its start.
  ASSERT_TRUE(waitUntil([&] { return pos() == 1; }, 5000));
  EXPECT_LT(ms(), 600);
  // Paused just after the join, then on: the same song goes on, not started again.
  xmms_remote_pause(0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  held = ms();
  xmms_remote_pause(0);
  EXPECT_TRUE(waitUntil([&] { return ms() > held + 200; }));
  EXPECT_EQ(pos(), 1);
  EXPECT_GE(ms(), held);

  // Next in the last second, while the next song may already decode behind it: the one after
  // the song heard, from its start.
  ASSERT_TRUE(lastSecond(1));
  xmms_remote_playlist_next(0);
  EXPECT_TRUE(waitUntil([&] { return pos() == 2 && ms() > 0 && ms() < 1000; }));
  // Stop in the last second, then play: the entry shown starts again from 0.
  ASSERT_TRUE(lastSecond(2));
  xmms_remote_stop(0);
  EXPECT_FALSE(xmms_remote_is_playing(0));
  EXPECT_EQ(ms(), 0);
  int stoppedAt = pos();
  EXPECT_EQ(stoppedAt, 2) << "stopped on the song heard, even with the next one decoding";
  xmms_remote_play(0);
  EXPECT_TRUE(waitUntil([&] { return ms() > 0; }));
  EXPECT_LT(ms(), 1000);
  EXPECT_EQ(pos(), stoppedAt);
  // The last one plays to its end and the engine stops there, shown on it to the end.
  xmms_remote_set_playlist_pos(0, 3);
  ASSERT_TRUE(lastSecond(3));
  int furthest = 0;
  EXPECT_TRUE(waitUntil(
      [&] {
        if (pos() == 3)
          furthest = std::max(furthest, ms());
        return !xmms_remote_is_playing(0);
      },
      5000));
  EXPECT_GT(furthest, 2300) << "the last song was heard to its end";
  EXPECT_EQ(engine.quit(), 0);
}
