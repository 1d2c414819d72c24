// The mplayer adaptor from the stage folder: against a recording stand-in for the real player
// (to see exactly what it is handed), without any real player, and against the installed one.
#include "fakeplayer.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace velora::test;
using namespace slavetest;

namespace {

std::string adaptorPath() { return stageDir() + "/lib/xmms/bin/mplayer"; }

struct ProgramRun {
  int status = -1;
  pid_t pid = -1;
  std::string out, err;
};

// Runs a program with the given PATH, standard input from /dev/null, and collects its output.
ProgramRun runProgram(const std::string &exe, const std::vector<std::string> &args,
                      const std::string &path) {
  ProgramRun run;
  int out[2], err[2];
  if (pipe(out) < 0 || pipe(err) < 0)
    return run;
  run.pid = fork();
  if (run.pid == 0) {
    int devnull = open("/dev/null", O_RDONLY);
    dup2(devnull, 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    close(out[0]);
    close(err[0]);
    setenv("PATH", path.c_str(), 1);
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>("mplayer"));
    for (auto &a : args)
      argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    execv(exe.c_str(), argv.data());
    _exit(126);
  }
  close(out[1]);
  close(err[1]);
  struct pollfd p[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string *sink[2] = {&run.out, &run.err};
  int open = 2;
  while (open > 0 && poll(p, 2, 15000) > 0) {
    for (int i = 0; i < 2; ++i) {
      if (p[i].fd < 0 || !p[i].revents)
        continue;
      char buf[4096];
      ssize_t n = read(p[i].fd, buf, sizeof buf);
      if (n > 0) {
        sink[i]->append(buf, static_cast<size_t>(n));
      } else {
        close(p[i].fd);
        p[i].fd = -1;
        open--;
      }
    }
  }
  for (auto &f : p)
    if (f.fd >= 0)
      close(f.fd);
  waitpid(run.pid, &run.status, 0);
  return run;
}

// Every ID_ key of the output with how often it appears and its last value.
std::map<std::string, std::pair<int, std::string>> idKeys(const std::string &output) {
  std::map<std::string, std::pair<int, std::string>> keys;
  for (const auto &l : lines(output)) {
    size_t eq = l.find('=');
    if (l.rfind("ID_", 0) == 0 && eq != std::string::npos) {
      auto &k = keys[l.substr(0, eq)];
      k.first++;
      k.second = l.substr(eq + 1);
    }
  }
  return keys;
}

class Adaptor : public ::testing::Test {
protected:
  TempHome home;
  // The stand-in for the real player sits after the adaptor's folder on PATH.
  FakePlayer real{home.root() + "/real"};
  // The stand-in is a shell script that needs the usual tools after it.
  std::string path = stageDir() + "/lib/xmms/bin:" + home.root() + "/real/bin:/usr/bin:/bin";

  void SetUp() override { ASSERT_TRUE(fileExists(adaptorPath())) << adaptorPath(); }
};

TEST_F(Adaptor, PlaybackOptionsAreTranslatedAndTheAdaptorBecomesThePlayer) {
  real.setPlayMode("exit");
  ProgramRun run =
      runProgram(adaptorPath(),
                 {"-slave", "-novideo", "-vo", "x11", "-ao", "alsa", "-idx", "-ao", "pcm",
                  "-aofile", "/tmp/odd:name,fifo", "-autosync", "10000", "-nowaveheader", "-format",
                  "128", "-cache", "512", "/music/a b.m4a"},
                 path);
  ASSERT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << run.err;
  auto pids = real.playPids();
  ASSERT_EQ(pids.size(), 1u);
  // Replaced by the player, not its parent: slave commands and status lines pass untouched.
  EXPECT_EQ(pids[0], run.pid);
  EXPECT_EQ(
      real.playArgs(pids[0]),
      (std::vector<std::string>{"mplayer", "-ao", "pcm:nowaveheader:file=%18%/tmp/odd:name,fifo",
                                "-slave", "-novideo", "-vo", "x11", "-idx", "-autosync", "10000",
                                "-format", "s16le", "-cache", "512", "/music/a b.m4a"}));

  // Without the FIFO, the chosen driver may fall back on what today's player has.
  run = runProgram(adaptorPath(), {"-slave", "-novideo", "-ao", "oss", "/music/a.m4a"}, path);
  pids = real.playPids();
  ASSERT_EQ(pids.size(), 2u);
  EXPECT_EQ(real.playArgs(pids[1]), (std::vector<std::string>{"mplayer", "-ao", "oss,", "-slave",
                                                              "-novideo", "/music/a.m4a"}));
}

TEST_F(Adaptor, IdentifyIsSilentAndGivesEachKeyOnceWithItsFinalValue) {
  real.setIdentifyOutput("MPlayer stand-in\n"
                         "ID_AUDIO_ID=0\n"
                         "Clip info:\n"
                         " title: Tone\n"
                         "ID_CLIP_INFO_NAME0=title\n"
                         "ID_CLIP_INFO_VALUE0=Tone\n"
                         " artist: Velora\n"
                         "ID_CLIP_INFO_NAME1=artist\n"
                         "ID_CLIP_INFO_VALUE1=Velora\n"
                         "ID_CLIP_INFO_N=2\n"
                         "ID_AUDIO_BITRATE=65072\n"
                         "ID_AUDIO_NCH=0\n"
                         "ID_LENGTH=1.00\n"
                         "AUDIO: 44100 Hz, 2 ch\n"
                         "ID_AUDIO_BITRATE=64000\n"
                         "ID_AUDIO_NCH=2\n");
  ProgramRun run =
      runProgram(adaptorPath(), {"-slave", "-identify", "-vo", "null", "/music/t.m4a"}, path);
  ASSERT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << run.err;
  EXPECT_EQ(real.identifyArgs(),
            (std::vector<std::string>{"mplayer", "-ao", "null", "-vo", "null", "-frames", "0",
                                      "-slave", "-identify", "-vo", "null", "/music/t.m4a"}));
  EXPECT_EQ(run.out, "MPlayer stand-in\n"
                     "ID_AUDIO_ID=0\n"
                     "Clip info:\n"
                     " title: Tone\n"
                     "ID_CLIP_INFO_NAME0=title\n"
                     "ID_CLIP_INFO_VALUE0=Tone\n"
                     " artist: Velora\n"
                     "ID_CLIP_INFO_NAME1=artist\n"
                     "ID_CLIP_INFO_VALUE1=Velora\n"
                     " Name: Tone\n"
                     " Artist: Velora\n"
                     "ID_CLIP_INFO_N=2\n"
                     "ID_AUDIO_BITRATE=64000\n"
                     "ID_AUDIO_NCH=2\n"
                     "ID_LENGTH=1.00\n"
                     "AUDIO: 44100 Hz, 2 ch\n");
}

TEST_F(Adaptor, WithoutARealPlayerItSaysSoOnce) {
  ProgramRun run = runProgram(adaptorPath(), {"-slave", "-identify", "-vo", "null", "/music/t.m4a"},
                              stageDir() + "/lib/xmms/bin:" + home.root() + "/empty");
  ASSERT_TRUE(WIFEXITED(run.status));
  EXPECT_NE(WEXITSTATUS(run.status), 0);
  EXPECT_EQ(run.out, "");
  auto errLines = lines(run.err);
  ASSERT_EQ(errLines.size(), 1u) << run.err;
  EXPECT_NE(errLines[0].find("mplayer"), std::string::npos);

  // A second copy of the adaptor further along PATH is not taken for the real player.
  makeDirs(home.root() + "/copy");
  std::string copy = home.root() + "/copy/mplayer";
  writeFile(copy, readFile(adaptorPath()));
  chmod(copy.c_str(), 0755);
  run = runProgram(adaptorPath(), {"-slave", "-identify", "-vo", "null", "/music/t.m4a"},
                   stageDir() + "/lib/xmms/bin:" + home.root() + "/copy");
  ASSERT_TRUE(WIFEXITED(run.status));
  EXPECT_NE(WEXITSTATUS(run.status), 0);
  EXPECT_EQ(lines(run.err).size(), 1u) << run.err;
}

bool haveRealPlayer() { return access("/usr/bin/mplayer", X_OK) == 0; }

TEST(RealPlayer, IdentifiesTheMp3FixtureThroughTheAdaptor) {
  if (!haveRealPlayer())
    GTEST_SKIP() << "no /usr/bin/mplayer";
  TempHome home;
  std::string path = stageDir() + "/lib/xmms/bin:/usr/bin:/bin";
  ProgramRun run = runProgram(
      adaptorPath(), {"-slave", "-identify", "-vo", "null", fixture("slave/tone.mp3")}, path);
  ASSERT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << run.err;
  auto keys = idKeys(run.out);
  ASSERT_FALSE(keys.empty()) << run.out;
  for (const auto &[key, seen] : keys)
    EXPECT_EQ(seen.first, 1) << key << " printed " << seen.first << " times";
  EXPECT_EQ(keys["ID_AUDIO_NCH"].second, "2");
  EXPECT_EQ(keys["ID_AUDIO_RATE"].second, "44100");
  EXPECT_EQ(keys["ID_EXIT"].second, "EOF");

  // The same through the plug-in, with the adaptor first on PATH as the engine arranges it.
  std::string oldPath = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", path.c_str(), 1);
  InputPlugin *ip = loadPlugin();
  ASSERT_NE(ip, nullptr);
  char *title = nullptr;
  int length = -1;
  ip->get_song_info(const_cast<char *>(fixture("slave/tone.mp3").c_str()), &title, &length);
  ASSERT_NE(title, nullptr);
  EXPECT_STREQ(title, " Velora -  Tone");
  EXPECT_EQ(length, 1000); // 1.5 s, whole seconds
  free(title);
  setenv("PATH", oldPath.c_str(), 1);
}

TEST(RealPlayer, PlaysTheFixtureIntoTheOutputThroughTheFifo) {
  if (!haveRealPlayer())
    GTEST_SKIP() << "no /usr/bin/mplayer";
  TempHome home;
  std::string oldPath = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", (stageDir() + "/lib/xmms/bin:/usr/bin:/bin").c_str(), 1);
  writeConfig("xmmsaudio=TRUE");
  InputPlugin *ip = loadPlugin();
  ASSERT_NE(ip, nullptr);
  Recorder &r = recorder();
  r.reset(); // the counts below are this song's, whatever ran before in this program
  ip->play_file(const_cast<char *>(fixture("slave/tone.mp3").c_str()));
  ASSERT_TRUE(waitUntil(
      [&] {
        std::lock_guard<std::mutex> g(r.m);
        return r.closes == 1;
      },
      10000));
  {
    std::lock_guard<std::mutex> g(r.m);
    EXPECT_EQ(r.opens, 1);
    EXPECT_EQ(r.rate, 44100);
    EXPECT_EQ(r.nch, 2);
    // 1.5 s of 16-bit stereo at 44.1 kHz, give or take the encoder's padding.
    EXPECT_GE(r.written.size(), 44100u * 4 * 14 / 10);
    EXPECT_LE(r.written.size(), 44100u * 4 * 17 / 10);
    // A 440 Hz tone, not silence: the samples swing well away from zero.
    int peak = 0;
    for (size_t i = 0; i + 1 < r.written.size(); i += 2) {
      int v = static_cast<int16_t>(static_cast<uint8_t>(r.written[i]) |
                                   (static_cast<uint8_t>(r.written[i + 1]) << 8));
      peak = std::max(peak, std::abs(v));
    }
    EXPECT_GT(peak, 1000);
  }
  EXPECT_TRUE(waitUntil([] { return mplayersUnder(getpid()) == 0; }, 3000));
  ip->stop(); // the song ended by itself already
  ip->cleanup();
  setenv("PATH", oldPath.c_str(), 1);
}

} // namespace
