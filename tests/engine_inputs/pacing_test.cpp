// The pace shared by every decode thread, against the real null output (loaded with dlopen): a
// song is written in a few refills a second, never overflows the output, drains to its end,
// and a stuck output cannot hold a finished song for ever.
#include "pacing.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <chrono>
#include <dlfcn.h>
#include <thread>
#include <vector>

using velora::input::Pacer;
using Clock = std::chrono::steady_clock;

namespace {

OutputPlugin *nullOutput() {
  std::string path = velora::test::stageDir() + "/lib/xmms/Output/libnullout.so";
  void *h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h)
    return nullptr;
  auto info = reinterpret_cast<OutputPlugin *(*)()>(dlsym(h, "get_oplugin_info"));
  return info ? info() : nullptr;
}

// An output that took some audio and then nothing more: full for good, its clock standing.
int stuckFree() { return 0; }
int stuckPlaying() { return 1; }
int stuckTime() { return 1234; }

} // namespace

TEST(InputPacing, RefillsInBurstsDrainsAndGivesUpOnAStuckOutput) {
  velora::test::TempHome home; // the null output reads ~/.xmms/config: none, so it keeps time
  OutputPlugin *out = nullOutput();
  ASSERT_NE(out, nullptr) << dlerror();
  const int rate = 8000;
  ASSERT_EQ(out->open_audio(FMT_S16_NE, rate, 1), 1);
  Pacer pacer;
  pacer.start(rate, 1);
  // Two seconds of 20 ms blocks: 100 blocks, but only a handful of naps once the half-second
  // buffer is full (one per refill of about 250 ms).
  std::vector<int16_t> block(rate / 50, 1000);
  int naps = 0, writes = 0;
  auto began = Clock::now();
  for (int b = 0; b < 100; ++b) {
    size_t left = block.size() * 2;
    while (left > 0) {
      std::chrono::microseconds wait{};
      int room = out->buffer_free();
      size_t n = pacer.take(left, room, false, false, wait);
      if (n == 0) {
        ASSERT_GT(wait.count(), 0);
        ASSERT_LE(wait, Pacer::kPlayingNap);
        ++naps;
        std::this_thread::sleep_for(wait);
        continue;
      }
      ASSERT_LE(n, size_t(room)) << "never more than the output can take";
      ASSERT_EQ(n % 2, 0u) << "whole frames only";
      out->write_audio(block.data(), int(n));
      left -= n;
      ++writes;
    }
  }
  // 2 s of audio into a 0.5 s buffer: at least 1.5 s of waiting, in refills of about 250 ms.
  EXPECT_GE(Clock::now() - began, std::chrono::milliseconds(1400));
  EXPECT_GE(naps, 4);
  EXPECT_LE(naps, 20) << "a nap per block would be about 75";
  EXPECT_GE(writes, 100);

  // The drain lasts about what the buffer holds, then ends by itself.
  pacer.beginDrain(out);
  began = Clock::now();
  std::chrono::microseconds wait{};
  int looks = 0;
  while (pacer.draining(out, false, wait)) {
    ++looks;
    std::this_thread::sleep_for(wait);
    ASSERT_LT(Clock::now() - began, std::chrono::seconds(3));
  }
  EXPECT_EQ(out->buffer_playing(), 0);
  EXPECT_GE(Clock::now() - began, std::chrono::milliseconds(200));
  EXPECT_LE(looks, 30);
  out->close_audio();

  // A whole block waits for room for all of it; a paused output naps long (the resume wakes).
  ASSERT_EQ(out->open_audio(FMT_S16_NE, rate, 1), 1);
  pacer.start(rate, 1);
  EXPECT_EQ(pacer.take(100, 50, true, false, wait), 0u);
  EXPECT_EQ(pacer.take(100, 0, true, true, wait), 0u);
  EXPECT_EQ(wait, Pacer::kPausedNap);
  out->close_audio();

  // Stuck: holds audio, its clock never moves, not paused. The drain gives up after the stall
  // limit instead of waiting for ever; paused, it keeps waiting.
  OutputPlugin stuck{};
  stuck.buffer_free = stuckFree;
  stuck.buffer_playing = stuckPlaying;
  stuck.output_time = stuckTime;
  pacer.beginDrain(&stuck);
  began = Clock::now();
  while (pacer.draining(&stuck, false, wait)) {
    std::this_thread::sleep_for(wait);
    ASSERT_LT(Clock::now() - began, std::chrono::seconds(10));
  }
  EXPECT_GE(Clock::now() - began, std::chrono::milliseconds(Pacer::kDrainStallMs));
  pacer.beginDrain(&stuck);
  std::this_thread::sleep_for(std::chrono::milliseconds(Pacer::kDrainStallMs + 200));
  EXPECT_TRUE(pacer.draining(&stuck, true, wait));
}
