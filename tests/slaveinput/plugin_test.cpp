// The plug-in loaded from the stage folder, driven against a fake mplayer first on PATH.
#include "fakeplayer.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace velora::test;
using namespace slavetest;

namespace {

const char *kIdentify = "MPlayer for tests\n"
                        "Playing song.\n"
                        "ID_AUDIO_ID=0\n"
                        "Clip info:\n"
                        " Name: Song\n"
                        " Artist: Band\n"
                        "ID_AUDIO_BITRATE=128000\n"
                        "ID_AUDIO_RATE=44100\n"
                        "ID_AUDIO_NCH=2\n"
                        "ID_LENGTH=245.87\n";

// Puts an environment variable back when the test ends.
class EnvGuard {
public:
  explicit EnvGuard(const char *name) : name_(name) {
    if (const char *v = getenv(name)) {
      had_ = true;
      old_ = v;
    }
  }
  ~EnvGuard() {
    if (had_)
      setenv(name_, old_.c_str(), 1);
    else
      unsetenv(name_);
  }

private:
  const char *name_;
  bool had_ = false;
  std::string old_;
};

class SlaveInput : public ::testing::Test {
protected:
  TempHome home;
  FakePlayer fake{home.root() + "/fake"};
  InputPlugin *ip = nullptr;
  EnvGuard logname{"LOGNAME"}, username{"USERNAME"}, user{"USER"};

  void SetUp() override {
    fake.install();
    fake.setIdentifyOutput(kIdentify);
    ip = loadPlugin();
    ASSERT_NE(ip, nullptr);
    recorder().reset();
  }
  void TearDown() override {
    if (ip)
      ip->cleanup();
  }

  // Waits for the n-th play run of the fake and returns its pid.
  pid_t waitForPlay(size_t n) {
    EXPECT_TRUE(waitUntil([&] { return fake.playPids().size() >= n; }, 5000));
    auto pids = fake.playPids();
    return pids.size() >= n ? pids[n - 1] : -1;
  }
  int closes() {
    std::lock_guard<std::mutex> g(recorder().m);
    return recorder().closes;
  }
};

TEST_F(SlaveInput, RecordAndFileClaims) {
  ASSERT_STREQ(ip->description, "MPlayer Plugin for Xmms");
  EXPECT_NE(ip->init, nullptr);
  EXPECT_NE(ip->play_file, nullptr);
  EXPECT_NE(ip->get_song_info, nullptr);
  EXPECT_EQ(ip->about, nullptr);
  EXPECT_EQ(ip->configure, nullptr);
  EXPECT_EQ(ip->scan_dir, nullptr);
  EXPECT_EQ(ip->set_eq, nullptr);
  EXPECT_EQ(ip->get_volume, nullptr);
  EXPECT_EQ(ip->file_info_box, nullptr);
  ip->init();

  EXPECT_EQ(ip->is_our_file(const_cast<char *>("/m/a.MP4")), 1);
  EXPECT_EQ(ip->is_our_file(const_cast<char *>("/m/a.m4a")), 1);
  EXPECT_EQ(ip->is_our_file(const_cast<char *>("/m/a.Aac")), 1);
  EXPECT_EQ(ip->is_our_file(const_cast<char *>("/m/a.mp4x")), 0);
  EXPECT_EQ(ip->is_our_file(const_cast<char *>("/m/a.mp4.bak")), 0);
  EXPECT_EQ(ip->is_our_file(const_cast<char *>("/m/a.mp3")), 0);
  EXPECT_EQ(ip->is_our_file(const_cast<char *>("/m/noextension")), 0);
  EXPECT_EQ(ip->is_our_file(nullptr), 0);
  // Nothing plays yet.
  EXPECT_EQ(ip->get_time(), 0);
}

TEST_F(SlaveInput, ArgumentVectorFollowsConfiguration) {
  writeConfig("vo=2\nao=4\nidx=TRUE\nextra=-cache 512");
  ip->play_file(const_cast<char *>("/music/song.mp4"));
  pid_t pid = waitForPlay(1);
  EXPECT_EQ(fake.playArgs(pid),
            (std::vector<std::string>{"mplayer", "-slave", "-novideo", "-vo", "x11", "-ao", "alsa",
                                      "-idx", "-cache", "512", "/music/song.mp4"}));
  {
    Recorder &r = recorder();
    std::lock_guard<std::mutex> g(r.m);
    EXPECT_EQ(r.infos, 1);
    EXPECT_EQ(r.title, " Band -  Song");
    EXPECT_EQ(r.length, 245000);
    EXPECT_EQ(r.bitrate, 128000);
    EXPECT_EQ(r.freq, 44100);
    EXPECT_EQ(r.channels, 2);
    EXPECT_EQ(r.opens, 0); // the player plays the sound itself
  }
  ip->stop();
  EXPECT_EQ(fake.playCommands(pid), "quit\n");
  EXPECT_TRUE(processGone(pid));

  // Driver numbers outside the tables give no driver option at all.
  writeConfig("vo=7\nao=9\nzoom=TRUE\nframedrop=TRUE");
  ip->play_file(const_cast<char *>("/music/other.mp4"));
  pid = waitForPlay(2);
  EXPECT_EQ(fake.playArgs(pid), (std::vector<std::string>{"mplayer", "-slave", "-novideo", "-zoom",
                                                          "-framedrop", "/music/other.mp4"}));
  ip->stop();
  EXPECT_TRUE(processGone(pid));

  // A name that looks like an option stays a name; two blanks give an empty argument.
  writeConfig("extra=-cache  512");
  ip->play_file(const_cast<char *>("-ao.mp4"));
  pid = waitForPlay(3);
  EXPECT_EQ(fake.playArgs(pid), (std::vector<std::string>{"mplayer", "-slave", "-novideo", "-cache",
                                                          "", "512", "./-ao.mp4"}));
  ip->stop();
}

TEST_F(SlaveInput, FifoModeRoutesAudioThroughTheEngine) {
  setenv("LOGNAME", "alice", 1);
  writeConfig("xmmsaudio=TRUE");
  std::string pcm;
  for (int i = 0; i < 10000; ++i)
    pcm += static_cast<char>(i * 7 + i / 256);
  fake.setPcm(pcm);
  fake.setPlayMode("exit");

  ip->play_file(const_cast<char *>("/music/song.m4a"));
  pid_t pid = waitForPlay(1);
  std::string fifo = "/tmp/slaveinput-alice-" + std::to_string(getpid());
  EXPECT_EQ(fake.playArgs(pid),
            (std::vector<std::string>{"mplayer", "-slave", "-novideo", "-ao", "pcm", "-aofile",
                                      fifo, "-autosync", "10000", "-nowaveheader", "-format", "128",
                                      "/music/song.m4a"}));
  struct stat st;
  ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(st.st_uid, getuid());

  // The fake writes its PCM and ends: the song ends by itself and the output is closed.
  ASSERT_TRUE(waitUntil([&] { return closes() == 1; }, 5000));
  {
    Recorder &r = recorder();
    std::lock_guard<std::mutex> g(r.m);
    EXPECT_EQ(r.opens, 1);
    EXPECT_EQ(r.fmt, FMT_S16_LE);
    EXPECT_EQ(r.rate, 44100);
    EXPECT_EQ(r.nch, 2);
    EXPECT_TRUE(r.written == pcm) << "got " << r.written.size() << " of " << pcm.size() << " bytes";
  }
  EXPECT_TRUE(waitUntil([&] { return processGone(pid); }, 3000));
  testing::internal::CaptureStdout();
  ip->stop();
  EXPECT_NE(testing::internal::GetCapturedStdout().find("Confusion: Restopped!"),
            std::string::npos);
  EXPECT_EQ(closes(), 1);

  // The FIFO is reused for the next song and removed at cleanup.
  fake.setPlayMode("wait");
  ip->play_file(const_cast<char *>("/music/next.m4a"));
  pid = waitForPlay(2);
  EXPECT_EQ(fake.playArgs(pid)[6], fifo);
  ip->stop();
  EXPECT_EQ(closes(), 2);
  ip->cleanup();
  EXPECT_FALSE(fileExists(fifo));

  // Without any user name variable the path holds the process id alone.
  unsetenv("LOGNAME");
  unsetenv("USERNAME");
  unsetenv("USER");
  ip->play_file(const_cast<char *>("/music/song.m4a"));
  pid = waitForPlay(3);
  EXPECT_EQ(fake.playArgs(pid)[6], "/tmp/slaveinput-" + std::to_string(getpid()));
  ip->stop();
}

TEST_F(SlaveInput, SixtyThreeArgumentsAtMost) {
  std::string extra;
  for (int i = 0; i < 70; ++i)
    extra += (i ? " -w" : "-w") + std::to_string(i);
  writeConfig("extra=" + extra);
  testing::internal::CaptureStdout();
  ip->play_file(const_cast<char *>("/music/song.mp4"));
  std::string out = testing::internal::GetCapturedStdout();
  pid_t pid = waitForPlay(1);
  auto args = fake.playArgs(pid);
  ASSERT_EQ(args.size(), 63u);
  EXPECT_EQ(args[2], "-novideo");
  EXPECT_EQ(args[3], "-w0");
  EXPECT_EQ(args[62], "-w59");
  EXPECT_NE(out.find("Adding parameter: -w59\n"), std::string::npos);
  EXPECT_NE(out.find("Too many arguments to mplayer!!"), std::string::npos);
  EXPECT_NE(out.find("Ignoring parameter: -w60\n"), std::string::npos);
  EXPECT_NE(out.find("Ignoring parameter: /music/song.mp4\n"), std::string::npos);
  ip->stop();
}

TEST_F(SlaveInput, IdentificationGivesTitleAndLength) {
  char *title = nullptr;
  int length = -1;
  ip->get_song_info(const_cast<char *>("/music/song.mp4"), &title, &length);
  ASSERT_NE(title, nullptr);
  EXPECT_STREQ(title, " Band -  Song");
  EXPECT_EQ(length, 245000);
  free(title);
  EXPECT_EQ(fake.identifyArgs(), (std::vector<std::string>{"mplayer", "-slave", "-identify", "-vo",
                                                           "null", "/music/song.mp4"}));

  // No length from the player: size x 8 / total bit rate, the size taken from the file.
  std::string big = home.root() + "/big.mp4";
  writeFile(big, "");
  ASSERT_EQ(truncate(big.c_str(), 4000000), 0);
  fake.setIdentifyOutput("ID_VIDEO_BITRATE=0\nID_AUDIO_BITRATE=128000\n");
  ip->get_song_info(big.data(), &title, &length);
  EXPECT_STREQ(title, "big");
  EXPECT_EQ(length, 250000);
  free(title);

  // Video and audio bit rates add up.
  fake.setIdentifyOutput("ID_VIDEO_BITRATE=72000\nID_AUDIO_BITRATE=128000\n");
  ip->get_song_info(big.data(), &title, &length);
  EXPECT_EQ(length, 160000);
  free(title);

  // Nothing identified: the base name up to its last dot, length 0.
  fake.setIdentifyOutput("");
  ip->get_song_info(const_cast<char *>("/music/live.at.home.m4a"), &title, &length);
  EXPECT_STREQ(title, "live.at.home");
  EXPECT_EQ(length, 0);
  free(title);

  // Only the first 4000 characters count.
  std::string padded(4000, 'x');
  fake.setIdentifyOutput(padded + "\nID_LENGTH=99\n");
  ip->get_song_info(const_cast<char *>("/music/late.mp4"), &title, &length);
  EXPECT_EQ(length, 0);
  free(title);
}

TEST_F(SlaveInput, SeekIsRelativeToTheLastStatusLine) {
  fake.setPlayOutput("MPlayer for tests\nStarting playback...\n"
                     "A:  39.5 (39.5) of 245.0 (04:05.0)  0.5% \r"
                     "A:  40.2 (40.2) of 245.0 (04:05.0)  0.5% \r");
  ip->play_file(const_cast<char *>("/music/song.mp4"));
  pid_t pid = waitForPlay(1);
  ASSERT_TRUE(waitUntil([&] { return ip->get_time() == 40000; }, 5000)) << ip->get_time();
  ip->seek(100);
  ip->pause(1);
  ip->pause(0);
  ip->stop();
  EXPECT_EQ(fake.playCommands(pid), "seek 60\npause\npause\nquit\n");
  EXPECT_TRUE(processGone(pid));
  // A seek with nothing playing sends nothing and does not fail.
  ip->seek(10);
}

TEST_F(SlaveInput, FileNamesNeverReachAShell) {
  char cwd[PATH_MAX];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(home.root().c_str()), 0);
  std::string name = home.root() + "/a\"b`touch tick`$(touch pwned)'c.mp4";
  writeFile(name, std::string(1000, 'x'));
  fake.setIdentifyOutput("ID_AUDIO_BITRATE=8000\n");
  char *title = nullptr;
  int length = -1;
  ip->get_song_info(name.data(), &title, &length);
  EXPECT_STREQ(title, "a\"b`touch tick`$(touch pwned)'c");
  EXPECT_EQ(length, 1000); // 1000 bytes at 8000 b/s, size read from the file itself
  free(title);
  EXPECT_EQ(fake.identifyArgs().back(), name);

  ip->play_file(name.data());
  pid_t pid = waitForPlay(1);
  EXPECT_EQ(fake.playArgs(pid).back(), name);
  ip->stop();
  EXPECT_FALSE(fileExists(home.root() + "/tick"));
  EXPECT_FALSE(fileExists(home.root() + "/pwned"));
  ASSERT_EQ(chdir(cwd), 0);
}

TEST_F(SlaveInput, ForeignFileInPlaceOfTheFifoIsRefused) {
  setenv("LOGNAME", "bob", 1);
  writeConfig("xmmsaudio=TRUE");
  std::string path = "/tmp/slaveinput-bob-" + std::to_string(getpid());
  writeFile(path, "precious");
  testing::internal::CaptureStdout();
  ip->play_file(const_cast<char *>("/music/song.m4a"));
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("refusing to use " + path), std::string::npos) << out;
  // The song ends without a player and without touching the file.
  ASSERT_TRUE(waitUntil([&] { return ip->get_time() == 0; }, 3000));
  ip->stop();
  EXPECT_TRUE(fake.playPids().empty());
  EXPECT_EQ(readFile(path), "precious");
  EXPECT_EQ(recorder().opens, 0);
  ip->cleanup();
  EXPECT_EQ(readFile(path), "precious");
  unlink(path.c_str());

  // A FIFO that others may open is refused too.
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  ASSERT_EQ(chmod(path.c_str(), 0666), 0);
  ip->play_file(const_cast<char *>("/music/song.m4a"));
  ip->stop();
  EXPECT_TRUE(fake.playPids().empty());
  EXPECT_EQ(recorder().opens, 0);
  ip->cleanup();
  EXPECT_TRUE(fileExists(path));
  unlink(path.c_str());

  // A symlink placed there beforehand is refused even when it leads to a private FIFO of ours:
  // following it would let whoever placed it choose where the audio goes.
  const std::string target = home.root() + "/elsewhere-fifo";
  ASSERT_EQ(mkfifo(target.c_str(), 0600), 0);
  ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
  testing::internal::CaptureStdout();
  ip->play_file(const_cast<char *>("/music/song.m4a"));
  out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("refusing to use " + path), std::string::npos) << out;
  ip->stop();
  EXPECT_TRUE(fake.playPids().empty());
  EXPECT_EQ(recorder().opens, 0);
  ip->cleanup();
  struct stat st;
  ASSERT_EQ(lstat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode)); // left as it was
  unlink(path.c_str());
  unlink(target.c_str());
}

TEST_F(SlaveInput, SecondPlayEndsTheFirst) {
  ip->play_file(const_cast<char *>("/music/one.mp4"));
  pid_t first = waitForPlay(1);
  testing::internal::CaptureStdout();
  ip->play_file(const_cast<char *>("/music/two.mp4"));
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Duplicate call!! -- Panic "), std::string::npos);
  pid_t second = waitForPlay(2);
  EXPECT_EQ(fake.playCommands(first), "quit\n");
  EXPECT_TRUE(processGone(first));
  EXPECT_FALSE(processGone(second));
  ip->pause(1);
  ip->stop();
  EXPECT_EQ(fake.playCommands(second), "pause\nquit\n");
  EXPECT_TRUE(processGone(second));
}

TEST_F(SlaveInput, StopEndsAPlayerThatIgnoresQuit) {
  fake.setPlayMode("deaf");
  ip->play_file(const_cast<char *>("/music/song.mp4"));
  pid_t pid = waitForPlay(1);
  ASSERT_FALSE(processGone(pid));
  ip->stop();
  EXPECT_TRUE(processGone(pid));
}

TEST_F(SlaveInput, StopReleasesALoopHeldByTheOutput) {
  writeConfig("xmmsaudio=TRUE");
  fake.setPcm(std::string(10000, '\x11'));
  {
    std::lock_guard<std::mutex> g(recorder().m);
    recorder().blockWrites = true;
  }
  ip->play_file(const_cast<char *>("/music/song.m4a"));
  pid_t pid = waitForPlay(1);
  ASSERT_TRUE(waitUntil(
      [] {
        std::lock_guard<std::mutex> g(recorder().m);
        return recorder().writesStarted > 0;
      },
      5000));
  auto start = std::chrono::steady_clock::now();
  ip->stop();
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::seconds(5));
  EXPECT_EQ(closes(), 1);
  EXPECT_TRUE(processGone(pid));
  EXPECT_EQ(fake.playCommands(pid), "quit\n");
}

// Behind an output that behaves like a paused sound card: a song that ends while the output still
// holds its last audio is closed only once that audio was heard; stop still ends it at once.
TEST_F(SlaveInput, PausedOutputHoldsTheTailAndStopStillEnds) {
  writeConfig("xmmsaudio=TRUE");
  std::string pcm(20000, '\x22');
  fake.setPcm(pcm);
  fake.setPlayMode("exit");
  {
    std::lock_guard<std::mutex> g(recorder().m);
    recorder().pauseAtBytes = pcm.size(); // the listener pauses right after the last block
  }
  ip->play_file(const_cast<char *>("/music/song.m4a"));
  pid_t pid = waitForPlay(1);
  ASSERT_TRUE(waitUntil(
      [&] {
        std::lock_guard<std::mutex> g(recorder().m);
        return recorder().written.size() == pcm.size();
      },
      5000));
  EXPECT_TRUE(waitUntil([&] { return processGone(pid); }, 3000));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(closes(), 0) << "the tail was thrown away while paused";
  {
    std::lock_guard<std::mutex> g(recorder().m);
    recorder().paused = false;
  }
  ASSERT_TRUE(waitUntil([&] { return closes() == 1; }, 5000));

  // Paused with the loop inside a held write: stop returns promptly and closes once.
  fake.setPlayMode("wait");
  {
    std::lock_guard<std::mutex> g(recorder().m);
    recorder().written.clear();
    recorder().pauseAtBytes = 4096;
  }
  ip->play_file(const_cast<char *>("/music/next.m4a"));
  waitForPlay(2);
  ASSERT_TRUE(waitUntil(
      [&] {
        std::lock_guard<std::mutex> g(recorder().m);
        return recorder().paused;
      },
      5000));
  auto start = std::chrono::steady_clock::now();
  ip->stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(closes(), 2);
}

TEST_F(SlaveInput, MissingPlayerEndsTheSong) {
  setenv("PATH", (home.root() + "/nowhere").c_str(), 1);
  writeConfig("xmmsaudio=TRUE");
  ip->play_file(const_cast<char *>("/music/song.m4a"));
  // The child cannot start mplayer: the song ends by itself and the output is closed.
  ASSERT_TRUE(waitUntil([&] { return closes() == 1; }, 5000));
  testing::internal::CaptureStdout();
  ip->stop();
  EXPECT_NE(testing::internal::GetCapturedStdout().find("Confusion: Restopped!"),
            std::string::npos);
  EXPECT_EQ(closes(), 1);
}

} // namespace
