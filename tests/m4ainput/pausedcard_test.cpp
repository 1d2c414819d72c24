// The plug-in behind an output that behaves like a sound card while paused (no room, writes
// block until resumed or closed): pause, seek, stop and the song's end in the orders a listener
// produces them must never freeze or wedge the decode thread.
#include "harness.h"

#include "testenv.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <future>
#include <mutex>
#include <sys/wait.h>
#include <thread>

using namespace m4a;
using velora::test::fixture;
using velora::test::TempHome;
using velora::test::waitUntil;

namespace {

using Clock = std::chrono::steady_clock;

int elapsedMs(Clock::time_point since) {
  return int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// Ends whatever the plug-in still plays when a step leaves early (a failed assertion): the stop
// closes the output, which lets go a decode thread held by the paused card, so a failure is
// reported instead of hanging the program.
struct StopAtExit {
  InputPlugin *ip;
  explicit StopAtExit(InputPlugin *p) : ip(p) {}
  ~StopAtExit() { ip->stop(); }
};

bool lastFlushIs(int ms) {
  auto flushes = recorder().eventsOf(Event::Flush);
  return !flushes.empty() && flushes.back().a == ms;
}

// A 4 s AAC-LC tone at 22.05 kHz, which FAAD2 decodes as implicit SBR: 2048 samples a frame at
// 44.1 kHz, while the stream's configuration says nothing of SBR.
std::string makeLowRateAac(const TempHome &home) {
  std::string out = home.path("low.m4a");
  std::string cmd = "ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=frequency=440:"
                    "sample_rate=22050:duration=4 -ac 2 -c:a aac -b:a 48k '" +
                    out + "'";
  return std::system(cmd.c_str()) == 0 ? out : std::string();
}

} // namespace

TEST(M4aPausedCard, PauseSeekStopAndTheEndHold) {
  TempHome home;
  // Frame counts as the decoder gives them, the encoder's padding included.
  velora::test::writeFile(home.path(".xmms/config"), "[m4ainput]\ngapless=FALSE\n");
  InputPlugin *ip = plugin().ip;
  ASSERT_NE(ip, nullptr);
  StopAtExit stopAtEnd(ip); // whichever step fails
  ip->set_eq(0, 0.0f, nullptr);
  const std::string song = fixture("m4a/silence1000.m4a"); // 1000 frames, about 23 s

  // Pause, seek to 10 s while paused, resume, with the listener's tap landing at the two places
  // the decode thread can be: waiting for room (the output full), and inside write_audio between
  // its look at the room and the card taking the frame. Either way the seek is taken while still
  // paused, nothing is written while paused, and after the resume the song plays on from 10 s.
  for (bool tapInsideWrite : {false, true}) {
    SCOPED_TRACE(tapInsideWrite ? "pause inside write" : "pause in the room wait");
    std::mutex tapLock; // the tap is made on the decode thread, looked at on this one
    std::future<void> tap;
    StopAtExit stopAtExit(ip); // before the tap goes: the thread's hook may still reach it
    recorder().reset();
    recorder().soundCard = true;
    if (tapInsideWrite) {
      recorder().onWrite = [&](int n) {
        if (n != 5)
          return;
        auto pausing = std::async(std::launch::async, [ip] { ip->pause(1); });
        {
          std::lock_guard<std::mutex> g(tapLock);
          tap = std::move(pausing);
        }
        // Time for the tap to reach the card while this write is under way; a plug-in that lets
        // the write finish first keeps it from the card until then.
        waitUntil([] { return recorder().cardPaused.load(); }, 250);
      };
    } else {
      recorder().blockAfterWrites = 5; // the output is full after the 5th write
    }
    ip->play_file(const_cast<char *>(song.c_str()));
    if (tapInsideWrite) {
      ASSERT_TRUE(waitUntil(
          [&] {
            std::lock_guard<std::mutex> g(tapLock);
            return tap.valid();
          },
          10000))
          << "5th write never came";
      ASSERT_EQ(tap.wait_for(std::chrono::seconds(5)), std::future_status::ready) << "pause wedged";
    } else {
      ASSERT_TRUE(waitUntil([] { return recorder().writes >= 5; }, 10000));
      // The thread looked at the room after its 5th write: it is in the room wait now.
      int looks = recorder().bufferFreeCalls;
      ASSERT_TRUE(waitUntil([&] { return recorder().bufferFreeCalls > looks; }));
      ip->pause(1);
      recorder().blockAfterWrites = -1; // only the pause holds the output from here on
    }
    EXPECT_TRUE(recorder().cardPaused.load()) << "the tap never reached the output";
    auto start = Clock::now();
    ip->seek(10);
    EXPECT_LT(elapsedMs(start), 1500);
    ASSERT_TRUE(waitUntil([] { return lastFlushIs(10000); }, 5000))
        << "seek not taken while paused";
    int writesWhilePaused = recorder().writes;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(recorder().writes, writesWhilePaused) << "written while paused";
    EXPECT_EQ(writesWhilePaused, 5);
    ip->pause(0);
    ASSERT_TRUE(waitUntil([&] { return ip->get_time() == -1; }, 20000)) << "frozen after resume";
    ip->stop();
    auto flushes = recorder().eventsOf(Event::Flush);
    Pcm pcm = recorder().pcmCopy();
    ASSERT_GE(flushes.size(), 2u);
    // Sample index truncate(10 x 44100 / 1023) = 431: the rest of the song after the flush.
    EXPECT_EQ(pcm.size() - flushes.back().pcmAt, size_t(1000 - 431) * 2048);
    EXPECT_EQ(flushes.back().pcmAt, size_t(5) * 2048) << "a frame held over the seek was heard";
  }

  // Stop, while paused with the thread inside a blocked write: returns within a second, and
  // the next song plays.
  for (bool insideWrite : {true, false}) {
    SCOPED_TRACE(insideWrite ? "stop inside write" : "stop in the room wait");
    recorder().reset();
    recorder().soundCard = true;
    if (insideWrite)
      recorder().pauseAtWrite = 3; // the 4th write then blocks
    ip->play_file(const_cast<char *>(song.c_str()));
    ASSERT_TRUE(waitUntil([] { return recorder().writes >= 3; }));
    if (!insideWrite)
      ip->pause(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    int before = recorder().writes;
    auto start = Clock::now();
    auto stop = std::async(std::launch::async, [&] { ip->stop(); });
    ASSERT_EQ(stop.wait_for(std::chrono::seconds(5)), std::future_status::ready) << "wedged";
    EXPECT_LT(elapsedMs(start), 1000);
    EXPECT_EQ(ip->get_time(), -1);
    EXPECT_EQ(recorder().writes, before); // nothing written after the stop
  }

  // Paused in the last frames: the song holds while paused and ends only after the resume.
  recorder().reset();
  ASSERT_TRUE(playToEnd(song));
  const int lastWrite = recorder().writes;
  recorder().reset();
  recorder().soundCard = true;
  recorder().pauseAtWrite = lastWrite;
  ip->play_file(const_cast<char *>(song.c_str()));
  ASSERT_TRUE(waitUntil([&] { return recorder().writes >= lastWrite; }, 20000));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_NE(ip->get_time(), -1) << "the tail was cut while paused";
  EXPECT_EQ(recorder().closes, 0);
  ip->pause(0);
  ASSERT_TRUE(waitUntil([&] { return ip->get_time() == -1; }, 5000));
  ip->stop();

  // A seek sent right after play, before the thread has started, is taken, not dropped. The
  // output has no room until the seek was taken: an untimed output would otherwise let a busy
  // machine decode the whole song before the test thread gets to the seek.
  recorder().reset();
  recorder().blockAfterWrites = 0;
  ip->play_file(const_cast<char *>(song.c_str()));
  ip->seek(5);
  ASSERT_TRUE(waitUntil([] { return lastFlushIs(5000); }, 5000)) << "early seek dropped";
  recorder().blockAfterWrites = -1;
  ASSERT_TRUE(waitUntil([&] { return ip->get_time() == -1; }, 20000));
  ip->stop();

  // Implicit SBR: the length announced and the seek both count 2048-sample frames.
  std::string low = makeLowRateAac(home);
  if (low.empty()) {
    GTEST_SKIP() << "ffmpeg could not make the 22.05 kHz AAC fixture";
  }
  recorder().reset();
  ASSERT_TRUE(playToEnd(low));
  Pcm whole = recorder().pcmCopy();
  int rate, channels, length;
  {
    std::lock_guard<std::mutex> g(recorder().lock);
    ASSERT_EQ(recorder().infos.size(), 1u);
    length = recorder().infos[0].length;
    rate = recorder().events.front().b;
    channels = recorder().events.front().c;
  }
  ASSERT_GT(rate, 0);
  ASSERT_GT(channels, 0);
  int realMs = int(double(whole.size()) / channels * 1000.0 / rate);
  EXPECT_NEAR(length, realMs, 150) << "length from the wrong frame size";
  recorder().reset();
  recorder().blockAfterWrites = 0; // held until the seek is in, as above
  ip->play_file(const_cast<char *>(low.c_str()));
  ip->seek(2);
  ASSERT_TRUE(waitUntil([] { return lastFlushIs(2000); }, 5000)) << "seek dropped";
  recorder().blockAfterWrites = -1;
  ASSERT_TRUE(waitUntil([&] { return ip->get_time() == -1; }, 10000));
  ip->stop();
  auto flushes = recorder().eventsOf(Event::Flush);
  ASSERT_FALSE(flushes.empty());
  EXPECT_EQ(flushes.back().a, 2000);
  double heardAfterSeekMs =
      double(recorder().pcmCopy().size() - flushes.back().pcmAt) / channels * 1000.0 / rate;
  EXPECT_NEAR(heardAfterSeekMs, realMs - 2000, 200) << "seek landed at the wrong time";
}
