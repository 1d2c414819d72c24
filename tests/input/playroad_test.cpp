// The whole road of a tap on Play in a fresh home: the engine plays the first entry into the
// disk writer, the title names it, and the status poll draws the play time.
#include "inputfixture.h"

#include "guiapp.h"
#include "testskin.h"

#include <QImage>
#include <xmms/xmmsctrl.h>

#include <cmath>
#include <cstdint>
#include <cstring>

using namespace velora::test;

namespace {

// Largest sample of a 16-bit WAV's data, and how many samples it holds.
std::pair<int, size_t> peakAndCount(const std::string &wav) {
  const size_t data = wav.find("data");
  if (data == std::string::npos || wav.size() < data + 8)
    return {0, 0};
  int peak = 0;
  size_t n = 0;
  for (size_t i = data + 8; i + 1 < wav.size(); i += 2, ++n) {
    int16_t s;
    std::memcpy(&s, wav.data() + i, 2);
    peak = std::max(peak, std::abs(static_cast<int>(s)));
  }
  return {peak, n};
}

} // namespace

TEST_F(InputTest, TapOnPlayPlaysTitlesAndDrawsTheTime) {
  makeDirs(home.path("music"));
  const std::string first = home.path("music/first tone.wav");
  const std::string second = home.path("music/second.wav");
  writeFile(first, toneWav(3, 16000));
  writeFile(second, toneWav(3, 16000));
  const std::string out = home.path("heard.wav");
  ASSERT_FALSE(fileExists(home.path(".xmms/pelmar_cfg"))); // a fresh home
  startEngine({first, second}, "[xmms]\noutput_plugin=libdiskwriter.so\nshuffle=FALSE\n"
                               "repeat=FALSE\n[disk_writer]\nfile=" +
                                   out + "\n");
  openWindow();
  ASSERT_EQ(volumePercent, 45);

  tap(50, 68); // "play"
  EXPECT_TRUE(playingFlag);
  EXPECT_EQ(w->title(), "1.first tone.wav");
  // The stored volume went with the play command: 45 % of the maximum 65.
  EXPECT_EQ(engineVolume(), 45 * 65 / 100);
  // The disk writer takes the songs as fast as they come; the file holds the last one heard.
  ASSERT_TRUE(waitUntil([&] { return fileExists(out) && !xmms_remote_is_playing(0); }, 5000));
  auto [peak, count] = peakAndCount(readFile(out));
  EXPECT_EQ(count, 3u * 8000u);
  EXPECT_NEAR(peak, 16000 * 29 / 100, 16000 / 50); // the tone, at the engine's volume
  // The playing picture is shown on the button.
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 40, 60, 60, 400, 20, 16));

  // The same road into an output that plays in real time: within a second of the first
  // second the poll draws the time "00:01" with the skin's digit pictures.
  engine.stop();
  writeFile(home.path(".xmms/config"),
            "[xmms]\noutput_plugin=libnullout.so\nshuffle=FALSE\nrepeat=FALSE\n");
  ASSERT_TRUE(engine.start());
  w->buttonClick(3);
  tap(50, 68);
  ASSERT_TRUE(waitPlaying());
  using namespace skin;
  auto showsDigit = [&](int slot, int digit) {
    return showsSheetRect(w->frameImage(), kTimeX + slot * kTimeW, kTimeY, digit * kTimeW, kTimeSy,
                          kTimeW, kTimeH);
  };
  EXPECT_TRUE(spinUntil([&] { return showsDigit(4, 1); }, 4000));
  EXPECT_TRUE(showsDigit(0, 0));
  EXPECT_TRUE(showsDigit(1, 0));
  EXPECT_TRUE(showsDigit(3, 0));
  EXPECT_TRUE(showsSheetRect(w->frameImage(), kTimeX + 2 * kTimeW, kTimeY, 10 * kTimeW, kTimeSy,
                             kTimeW, kTimeH)); // the separator
  EXPECT_EQ(w->title(), "1.first tone.wav");
}
