// The whole road of a tap on Play in a fresh home: the engine plays the first entry into the
// disk writer, the title names it, and the status poll draws the play time. And the same button
// after the engine died under it. And songs that cannot be played: skipped, and said so.
#include "inputfixture.h"

#include "guiapp.h"
#include "testskin.h"

#include <QCoreApplication>
#include <QImage>
#include <QStringList>
#include <xmms/xmmsctrl.h>

#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdlib>
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

// The engine killed while playing: once the controller has a fresh engine waiting on the same
// entry, the window shows the play picture and the stopped status again, and Play plays through
// the fresh engine.
TEST_F(InputTest, KilledEngineShowsStoppedAndPlayPlaysThroughTheFreshOne) {
  const std::string oldPath = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", (stageDir() + "/bin:" + oldPath).c_str(), 1); // where the controller finds it
  XMMSPlayer::launchWaitMs = 1000;
  startEngine({song("one.wav", 30), song("two.wav", 30)});
  // Playing, paused and stopped status pictures stacked at sheet (400, 640).
  openWindow("play_display_win=150,140,20,10,400,640\n");
  const QImage &frame = w->frameImage();
  auto showsPause = [&] { return showsSheetRect(frame, 40, 60, 60, 400, 20, 16); };
  auto showsPlay = [&] { return showsSheetRect(frame, 40, 60, 40, 400, 20, 16); };
  auto showsStatus = [&](int state) {
    return showsSheetRect(frame, 150, 140, 400, 640 + 10 * state, 20, 10);
  };

  tap(50, 68);
  ASSERT_TRUE(waitPlaying());
  spinFor(1200); // the controller's polls see it playing
  EXPECT_TRUE(showsPause());
  EXPECT_TRUE(showsStatus(0));
  const pid_t first = XMMSPlayer::enginePid();
  ASSERT_GT(first, 0);
  ::kill(first, SIGKILL);

  auto freshEngine = [&] {
    const pid_t pid = XMMSPlayer::enginePid();
    return pid > 0 && pid != first && xmms_remote_get_version(0) != 0;
  };
  EXPECT_TRUE(spinUntil([&] { return freshEngine() && showsPlay(); }, 15000));
  EXPECT_TRUE(showsStatus(2));
  EXPECT_FALSE(playingFlag);
  spinFor(800); // the poll that puts the fresh engine on the old entry
  EXPECT_FALSE(enginePlaying());
  EXPECT_TRUE(showsPlay());
  const pid_t second = XMMSPlayer::enginePid();

  tap(50, 68);
  EXPECT_TRUE(waitPlaying());
  EXPECT_EQ(XMMSPlayer::enginePid(), second);
  EXPECT_TRUE(showsPause());
  EXPECT_TRUE(showsStatus(0));
  spinFor(1200); // still playing at the next polls: nothing turns the picture back
  EXPECT_TRUE(showsPause());

  player->kill(); // the fresh engine is nobody's child: the controller ends it
  EXPECT_TRUE(waitUntil([&] { return XMMSPlayer::enginePid() < 0; }, 5000));
  setenv("PATH", oldPath.c_str(), 1);
}

// Files that are not what their names say (empty, random bytes) are skipped by the engine; the
// window names each skipped song for a moment instead of jumping past it without a word.
TEST_F(InputTest, UnplayableSongsAreSkippedAndNamed) {
  const std::string empty = home.path("music/empty.mp3");
  const std::string noise = home.path("music/noise.flac");
  writeFile(empty, "");
  std::string bytes(40000, '\0');
  uint32_t x = 12345;
  for (char &c : bytes)
    c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
  writeFile(noise, bytes);
  const std::string good = song("good.wav", 2);
  startEngine({empty, noise, good});
  openWindow("title_win=10,20,130,14,0,400,#ffffff\n"); // the test skin has no title otherwise
  QStringList told, notices;
  int skipped = 0;
  QObject::connect(player.get(), &XMMSPlayer::unplayable, [&](const QString &file, int count) {
    told << file;
    skipped += count;
    notices << w->noticeText; // the window's slot ran first: connected when it was built
  });
  // Nothing skipped yet, nothing said.
  pumpUntil([] { return false; }, 1200);
  EXPECT_TRUE(told.isEmpty()) << told.join("|").toStdString();
  EXPECT_EQ(xmms_remote_get_unplayable(0, nullptr), 0);

  xmms_remote_play(0);
  ASSERT_TRUE(pumpUntil([&] { return enginePosition() == 2 && enginePlaying(); }, 20000));
  ASSERT_TRUE(pumpUntil([&] { return !told.isEmpty(); }, 10000))
      << "the skips were not told; the engine counts " << xmms_remote_get_unplayable(0, nullptr);
  // The engine counts both and names the last; the window names the last it was told of.
  char *last = nullptr;
  EXPECT_EQ(xmms_remote_get_unplayable(0, &last), 2);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(std::string(last), noise);
  std::free(last);
  EXPECT_EQ(told.last(), QString::fromStdString(noise));
  // One poll may find both skips or each its own; either way both are counted, once.
  EXPECT_EQ(skipped, 2) << told.join("|").toStdString();
  EXPECT_EQ(notices.last(),
            told.size() == 1 ? "Cannot play noise.flac and 1 more" : "Cannot play noise.flac");
  EXPECT_GT(w->noticeTicks, 10); // long enough to read a name
  // The good song plays on, and its end (the playlist's) tells nothing more.
  ASSERT_TRUE(pumpUntil([&] { return !enginePlaying(); }, 20000));
  pumpUntil([] { return false; }, 1200);
  EXPECT_LE(told.size(), 2) << told.join("|").toStdString();
  EXPECT_EQ(skipped, 2);
  // A run of broken files between two polls: the last is named, the others counted.
  w->songUnplayable("/music/a/last one.ogg", 4);
  EXPECT_EQ(w->noticeText, "Cannot play last one.ogg and 3 more");

  // No engine: nothing to count.
  engine.stop();
  EXPECT_EQ(xmms_remote_get_unplayable(0, &last), 0);
  EXPECT_EQ(last, nullptr);
}

// A playlist of one file that is not audio: Play ends at once, perhaps before any poll saw the
// engine play; the window still says why nothing is heard.
TEST_F(InputTest, AnUnplayableOnlySongIsNamedToo) {
  const std::string fake = home.path("music/fake.mp3");
  writeFile(fake, std::string(30000, 'x'));
  startEngine({fake});
  openWindow("title_win=10,20,130,14,0,400,#ffffff\n");
  QStringList told;
  QObject::connect(player.get(), &XMMSPlayer::unplayable, [&](const QString &file, int skipped) {
    EXPECT_EQ(skipped, 1);
    told << file;
  });
  pumpUntil([] { return false; }, 1200); // the first polls: nothing to tell
  ASSERT_TRUE(told.isEmpty());
  player->play();
  ASSERT_TRUE(pumpUntil([&] { return xmms_remote_get_unplayable(0, nullptr) == 1; }, 10000));
  ASSERT_TRUE(pumpUntil([&] { return !told.isEmpty(); }, 10000)) << "the skip was not told";
  EXPECT_EQ(told, QStringList{QString::fromStdString(fake)});
  EXPECT_EQ(w->noticeText, "Cannot play fake.mp3");
  EXPECT_FALSE(enginePlaying());
}
