// Every remote call against a real engine, and the channel's defences.
#include "enginetest.h"

#include <protocol.h>

#include <gtest/gtest.h>
#include <xmms/xmmsctrl.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace enginetest;
using velora::test::TempHome;
using velora::test::waitUntil;
using Clock = std::chrono::steady_clock;
using xmms::proto::Command;

namespace {
long msSince(Clock::time_point t) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}
uint16_t code(Command c) { return static_cast<uint16_t>(c); }
} // namespace

TEST(EngineRemote, EveryCallRoundTrips) {
  TempHome home;
  std::string log = home.path("plugin.log");
  writeConfig(home, "[xmms]\nshuffle=FALSE\nrepeat=FALSE\nequalizer_active=FALSE\n"
                    "[testinput]\nlog=" +
                        log + "\n");
  writePlaylist(home, {"/m/first-60000ms.tst", "/m/second-60000ms.tst", "/m/third-60000ms.tst"});
  EngineRun engine;
  ASSERT_TRUE(engine.start(privateStage(home)));

  EXPECT_EQ(xmms_remote_get_version(0), xmms::proto::kEngineVersion);
  EXPECT_TRUE(xmms_remote_is_running(0));

  // Playlist queries. Titles and lengths are looked up lazily: the file name first.
  EXPECT_EQ(xmms_remote_get_playlist_length(0), 3);
  EXPECT_EQ(playlistFile(1), "/m/second-60000ms.tst");
  std::string first = playlistTitle(1);
  EXPECT_TRUE(first == "second-60000ms.tst" || first == "Info second-60000ms.tst") << first;
  EXPECT_TRUE(waitUntil([] { return playlistTitle(1) == "Info second-60000ms.tst"; }));
  EXPECT_TRUE(waitUntil([] { return xmms_remote_get_playlist_time(0, 2) == 60000; }));
  EXPECT_EQ(playlistTitle(7), "<null>");
  EXPECT_EQ(xmms_remote_get_playlist_time(0, 7), 0);

  // Position while stopped moves without playing.
  EXPECT_EQ(xmms_remote_get_playlist_pos(0), 0);
  xmms_remote_set_playlist_pos(0, 2);
  EXPECT_EQ(xmms_remote_get_playlist_pos(0), 2);
  xmms_remote_set_playlist_pos(0, 3); // out of range: ignored
  xmms_remote_set_playlist_pos(0, -1);
  EXPECT_EQ(xmms_remote_get_playlist_pos(0), 2);
  xmms_remote_playlist_prev(0);
  EXPECT_EQ(xmms_remote_get_playlist_pos(0), 1);
  xmms_remote_playlist_next(0);
  EXPECT_EQ(xmms_remote_get_playlist_pos(0), 2);
  xmms_remote_playlist_next(0); // last entry, no repeat: stays
  EXPECT_EQ(xmms_remote_get_playlist_pos(0), 2);
  EXPECT_FALSE(xmms_remote_is_playing(0));
  EXPECT_TRUE(playedNames(log).empty());

  // Modes.
  EXPECT_FALSE(xmms_remote_is_shuffle(0));
  xmms_remote_toggle_shuffle(0);
  EXPECT_TRUE(xmms_remote_is_shuffle(0));
  xmms_remote_toggle_shuffle(0);
  EXPECT_FALSE(xmms_remote_is_shuffle(0));
  EXPECT_FALSE(xmms_remote_is_repeat(0));
  xmms_remote_toggle_repeat(0);
  EXPECT_TRUE(xmms_remote_is_repeat(0));
  xmms_remote_playlist_next(0); // with repeat the list wraps
  EXPECT_EQ(xmms_remote_get_playlist_pos(0), 0);
  xmms_remote_playlist_prev(0);
  EXPECT_EQ(xmms_remote_get_playlist_pos(0), 2);
  xmms_remote_toggle_repeat(0);

  // Volume: 0..100.
  xmms_remote_set_main_volume(0, 65);
  EXPECT_EQ(xmms_remote_get_main_volume(0), 65);
  xmms_remote_set_main_volume(0, 150);
  EXPECT_EQ(xmms_remote_get_main_volume(0), 100);
  xmms_remote_set_main_volume(0, -5);
  EXPECT_EQ(xmms_remote_get_main_volume(0), 0);

  // Equalizer: -20..+20 dB.
  EXPECT_FALSE(xmms_remote_is_eq_active(0));
  xmms_remote_toggle_eq_active(0);
  EXPECT_TRUE(xmms_remote_is_eq_active(0));
  float bands[10] = {-20, -10, -5, 0, 1.5f, 3, 6, 12, 19, 20};
  xmms_remote_set_eq(0, 4.5f, bands);
  EXPECT_FLOAT_EQ(xmms_remote_get_eq_preamp(0), 4.5f);
  for (int i = 0; i < 10; ++i)
    EXPECT_FLOAT_EQ(xmms_remote_get_eq_band(0, i), bands[i]);
  xmms_remote_set_eq_preamp(0, -3);
  xmms_remote_set_eq_band(0, 4, 25); // beyond the range: clamped
  xmms_remote_set_eq_band(0, 10, 5); // no such band: ignored
  EXPECT_FLOAT_EQ(xmms_remote_get_eq_band(0, 4), 20.0f);
  EXPECT_FLOAT_EQ(xmms_remote_get_eq_band(0, 10), 0.0f);
  float pre = 0, *got = nullptr;
  xmms_remote_get_eq(0, &pre, &got);
  ASSERT_NE(got, nullptr);
  EXPECT_FLOAT_EQ(pre, -3.0f);
  EXPECT_FLOAT_EQ(got[0], -20.0f);
  EXPECT_FLOAT_EQ(got[4], 20.0f);
  EXPECT_FLOAT_EQ(got[9], 20.0f);
  std::free(got);

  // Transport.
  xmms_remote_set_playlist_pos(0, 0);
  xmms_remote_play(0);
  EXPECT_TRUE(xmms_remote_is_playing(0));
  EXPECT_FALSE(xmms_remote_is_paused(0));
  EXPECT_TRUE(waitUntil([] { return xmms_remote_get_output_time(0) > 0; }));
  int rate = 0, freq = 0, nch = 0;
  xmms_remote_get_info(0, &rate, &freq, &nch);
  EXPECT_EQ(rate, 128000);
  EXPECT_EQ(freq, 44100);
  EXPECT_EQ(nch, 2);
  xmms_remote_status st{};
  ASSERT_TRUE(xmms_remote_get_status(0, &st));
  EXPECT_EQ(st.playing, 1);
  EXPECT_EQ(st.paused, 0);
  EXPECT_EQ(st.pos, 0);
  EXPECT_GT(st.output_time, 0);
  EXPECT_EQ(st.song_length, 60000);
  EXPECT_EQ(st.rate, 128000);
  EXPECT_EQ(st.freq, 44100);
  EXPECT_EQ(st.nch, 2);
  // The equalizer reached the plug-in when the song started.
  EXPECT_TRUE(waitUntil([&] {
    for (auto &l : logLines(log))
      if (l == "eq 1 -3.0 -20.0 -10.0 -5.0 0.0 20.0 3.0 6.0 12.0 19.0 20.0")
        return true;
    return false;
  }));

  xmms_remote_pause(0);
  EXPECT_TRUE(xmms_remote_is_paused(0));
  EXPECT_TRUE(xmms_remote_is_playing(0));
  xmms_remote_play_pause(0);
  EXPECT_FALSE(xmms_remote_is_paused(0));
  xmms_remote_play_pause(0);
  EXPECT_TRUE(xmms_remote_is_paused(0));
  ASSERT_TRUE(xmms_remote_get_status(0, &st));
  EXPECT_EQ(st.paused, 1);
  EXPECT_EQ(st.playing, 1);
  xmms_remote_play(0); // play resumes a paused song
  EXPECT_FALSE(xmms_remote_is_paused(0));

  xmms_remote_jump_to_time(0, 30500);
  EXPECT_TRUE(waitUntil([] { return xmms_remote_get_output_time(0) >= 30000; }));
  EXPECT_TRUE(waitUntil([&] { return xmms_remote_get_status(0, &st) && st.output_time >= 30000; }));
  EXPECT_TRUE(waitUntil([&] {
    for (auto &l : logLines(log))
      if (l == "seek 30")
        return true;
    return false;
  }));

  // An equalizer change while playing reaches the plug-in too.
  xmms_remote_toggle_eq_active(0);
  EXPECT_TRUE(waitUntil([&] {
    for (auto &l : logLines(log))
      if (l.rfind("eq 0 -3.0", 0) == 0)
        return true;
    return false;
  }));

  // Moving while playing starts the new entry.
  xmms_remote_playlist_next(0);
  EXPECT_EQ(xmms_remote_get_playlist_pos(0), 1);
  EXPECT_TRUE(waitUntil([&] { return playedNames(log).size() == 2; }));
  xmms_remote_set_playlist_pos(0, 2);
  EXPECT_TRUE(waitUntil([&] { return playedNames(log).size() == 3; }));
  xmms_remote_playlist_prev(0);
  EXPECT_TRUE(waitUntil([&] { return playedNames(log).size() == 4; }));
  EXPECT_EQ(playedNames(log),
            (std::vector<std::string>{"first-60000ms.tst", "second-60000ms.tst",
                                      "third-60000ms.tst", "second-60000ms.tst"}));
  EXPECT_EQ(playlistTitle(1), "T:second-60000ms.tst"); // what the playing plug-in announced

  xmms_remote_stop(0);
  EXPECT_FALSE(xmms_remote_is_playing(0));
  EXPECT_EQ(xmms_remote_get_output_time(0), 0);
  EXPECT_EQ(xmms_remote_get_playlist_pos(0), 1);
  ASSERT_TRUE(xmms_remote_get_status(0, &st));
  EXPECT_EQ(st.playing + st.paused + st.output_time, 0);
  EXPECT_EQ(st.pos, 1);
  EXPECT_EQ(st.song_length, 60000);

  EXPECT_EQ(engine.quit(), 0);
  auto lines = logLines(log);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "cleanup");
  // With no engine every call returns its empty result at once.
  auto t = Clock::now();
  EXPECT_EQ(xmms_remote_get_version(0), 0);
  EXPECT_EQ(xmms_remote_get_playlist_length(0), 0);
  st.pos = 7;
  EXPECT_FALSE(xmms_remote_get_status(0, &st));
  EXPECT_EQ(st.pos, 0);
  EXPECT_LT(msSince(t), 500);
}

TEST(EngineRemote, MalformedRequestsCloseOnlyTheirConnection) {
  TempHome home;
  writePlaylist(home, {"/m/one-60000ms.tst", "/m/two-60000ms.tst"});
  EngineRun engine;
  ASSERT_TRUE(engine.start(privateStage(home)));

  // A correct raw request gets an answer: header with status 0 and the int payload.
  std::string ok = rawExchange(request(code(Command::GetPlaylistLength)));
  ASSERT_EQ(ok.size(), sizeof(xmms::proto::Header) + 4);
  EXPECT_EQ(ok.substr(sizeof(xmms::proto::Header)), int32Bytes(2));

  // Each of these is closed without an answer.
  EXPECT_EQ(rawExchange(request(code(Command::GetVersion), "", 0x12345678)), "");
  EXPECT_EQ(rawExchange(request(code(Command::GetVersion), "", 0, 99)), "");
  EXPECT_EQ(rawExchange(request(code(Command::GetVersion), "", 0, 0, 1 << 20)), "");
  EXPECT_EQ(rawExchange(request(code(Command::SetPlaylistPos))), "");         // argument missing
  EXPECT_EQ(rawExchange(request(code(Command::SetPlaylistPos), "\1\0")), ""); // half an int
  EXPECT_EQ(rawExchange(request(code(Command::GetVersion), "extra")), "");    // left over
  EXPECT_EQ(rawExchange(request(code(Command::SetEq), std::string(40, '\0'))), ""); // 10 of 11
  EXPECT_EQ(rawExchange(std::string("XMM")), "");                                   // truncated
  // A header promising more than arrives: closed when the deadline passes.
  auto t = Clock::now();
  EXPECT_EQ(rawExchange(request(code(Command::SetPlaylistPos), "", 0, 0, 4), 5000), "");
  EXPECT_LT(msSince(t), 3000);
  // An unknown command is refused in an answer.
  std::string refused = rawExchange(request(999));
  ASSERT_EQ(refused.size(), sizeof(xmms::proto::Header));
  xmms::proto::Header h;
  std::memcpy(&h, refused.data(), sizeof h);
  EXPECT_EQ(h.code, static_cast<uint16_t>(xmms::proto::Status::Refused));

  // None of that changed anything.
  EXPECT_EQ(xmms_remote_get_playlist_pos(0), 0);
  EXPECT_FALSE(xmms_remote_is_playing(0));

  // Clients that connect and send nothing do not hold up the others, even more of them than
  // the engine serves at once.
  std::string path = xmms::proto::socketPath(0);
  std::vector<int> idle;
  for (int i = 0; i < 80; ++i) {
    sockaddr_un addr = {};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0) << i;
    idle.push_back(fd);
  }
  t = Clock::now();
  EXPECT_EQ(xmms_remote_get_version(0), xmms::proto::kEngineVersion);
  EXPECT_LT(msSince(t), 1800);
  t = Clock::now();
  for (int i = 0; i < 20; ++i)
    EXPECT_EQ(xmms_remote_get_playlist_length(0), 2);
  EXPECT_LT(msSince(t), 1500);
  for (int fd : idle)
    close(fd);
  EXPECT_TRUE(engine.alive());
  EXPECT_EQ(engine.quit(), 0);
}

// A client that keeps its connection gets its requests answered in turn on it, while clients of
// one request per connection are answered and closed as before; half a request on a kept
// connection still meets the deadline without holding up anyone.
TEST(EngineRemote, KeptConnectionAnswersInTurnBesideOneRequestClients) {
  TempHome home;
  writePlaylist(home, {"/m/one-60000ms.tst", "/m/two-60000ms.tst"});
  EngineRun engine;
  ASSERT_TRUE(engine.start(privateStage(home)));
  sockaddr_un addr = {};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, xmms::proto::socketPath(0).c_str(), sizeof addr.sun_path - 1);
  int kept = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_EQ(connect(kept, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
  auto keptRequest = [](Command c, const std::string &payload = "") {
    return request(code(c), payload, 0, xmms::proto::kKeptVersion);
  };
  auto answer = [&kept]() -> std::string {
    auto m = xmms::proto::readMessage(kept, 2000);
    return m ? std::string(m->payload.begin(), m->payload.end()) : "<none>";
  };
  for (int i = 0; i < 3; ++i) {
    std::string r = keptRequest(Command::GetPlaylistLength);
    ASSERT_TRUE(xmms::proto::writeAll(kept, r.data(), r.size(), 1000));
    EXPECT_EQ(answer(), int32Bytes(2)) << i;
    auto t = Clock::now();
    EXPECT_EQ(rawExchange(request(code(Command::GetPlaylistLength))).size(),
              sizeof(xmms::proto::Header) + 4);
    EXPECT_LT(msSince(t), 500); // closed after its answer, not left to time out
  }
  // Two requests sent at once: answered in order, the second seeing the first's change.
  std::string both =
      keptRequest(Command::SetPlaylistPos, int32Bytes(1)) + keptRequest(Command::GetPlaylistPos);
  ASSERT_TRUE(xmms::proto::writeAll(kept, both.data(), both.size(), 1000));
  EXPECT_EQ(answer(), "");
  EXPECT_EQ(answer(), int32Bytes(1));

  std::string half = keptRequest(Command::GetVersion).substr(0, 5);
  ASSERT_TRUE(xmms::proto::writeAll(kept, half.data(), half.size(), 1000));
  auto t = Clock::now();
  EXPECT_EQ(xmms_remote_get_playlist_pos(0), 1);
  EXPECT_LT(msSince(t), 500);
  char byte;
  EXPECT_EQ(xmms::proto::readAll(kept, &byte, 1, 3000), false);
  EXPECT_EQ(errno, ECONNRESET); // closed by the engine, not still waiting
  EXPECT_LT(msSince(t), 2500);
  close(kept);
  EXPECT_EQ(engine.quit(), 0);
}

TEST(EngineRemote, SocketIsPrivate) {
  TempHome home;
  EngineRun engine;
  ASSERT_TRUE(engine.start());
  struct stat st;
  ASSERT_EQ(stat(xmms::proto::socketPath(0).c_str(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(st.st_uid, getuid());
  EXPECT_EQ(engine.quit(), 0);
}

TEST(EngineRemote, SlowTitleLookupNeverDelaysAnswers) {
  TempHome home;
  writePlaylist(home, {"/m/a-slowinfo.tst", "/m/b-slowinfo.tst", "/m/c-60000ms.tst"});
  EngineRun engine;
  ASSERT_TRUE(engine.start(privateStage(home)));
  auto t = Clock::now();
  for (int i = 0; i < 3; ++i) {
    EXPECT_NE(playlistTitle(i), "<null>");
    xmms_remote_get_playlist_time(0, i);
  }
  EXPECT_EQ(xmms_remote_get_version(0), xmms::proto::kEngineVersion);
  EXPECT_LT(msSince(t), 500); // each lookup takes 2 s in the plug-in
  EXPECT_EQ(playlistTitle(0), "a-slowinfo.tst");
  EXPECT_TRUE(waitUntil([] { return playlistTitle(0) == "Info a-slowinfo.tst"; }, 5000));
  EXPECT_EQ(engine.quit(), 0);
}

TEST(EngineRemote, TwoEnginesInTwoHomesDoNotSeeEachOther) {
  TempHome a;
  writePlaylist(a, {"/m/only-60000ms.tst"});
  EngineRun engineA;
  ASSERT_TRUE(engineA.start(privateStage(a)));
  std::string homeA = a.home(), runA = a.runtime();
  {
    TempHome b; // now HOME and XDG_RUNTIME_DIR point at b
    writePlaylist(b, {"/m/x-60000ms.tst", "/m/y-60000ms.tst"});
    EngineRun engineB;
    ASSERT_TRUE(engineB.start(privateStage(b)));
    EXPECT_TRUE(engineA.alive());
    EXPECT_EQ(xmms_remote_get_playlist_length(0), 2);
    xmms_remote_play(0);
    EXPECT_TRUE(xmms_remote_is_playing(0));
    setenv("XDG_RUNTIME_DIR", runA.c_str(), 1);
    EXPECT_EQ(xmms_remote_get_playlist_length(0), 1);
    EXPECT_FALSE(xmms_remote_is_playing(0));
    setenv("XDG_RUNTIME_DIR", b.runtime().c_str(), 1);
    EXPECT_EQ(engineB.quit(), 0);
  }
  // b's engine is gone; a's still answers.
  EXPECT_EQ(xmms_remote_get_playlist_length(0), 1);
  EXPECT_EQ(engineA.quit(), 0);
}

// Another user who can reach the socket (here: made reachable on purpose) gets nothing.
TEST(EngineRemote, PeersOfAnotherUserAreRefused) {
  if (getuid() != 0)
    GTEST_SKIP() << "acting as another user needs root";
  TempHome home;
  EngineRun engine;
  ASSERT_TRUE(engine.start());
  std::string sock = xmms::proto::socketPath(0);
  ASSERT_EQ(chmod(home.root().c_str(), 0711), 0);
  ASSERT_EQ(chmod(home.runtime().c_str(), 0755), 0);
  ASSERT_EQ(chmod(sock.c_str(), 0666), 0);
  pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0)
      _exit(3);
    std::string got = rawExchange(request(code(Command::GetVersion)), 3000, sock);
    _exit(got.empty() ? 0 : got == "<no connection>" ? 2 : 1);
  }
  int status = -1;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: answered, 2: could not connect, 3: no setuid";
  chmod(sock.c_str(), 0600);
  EXPECT_EQ(xmms_remote_get_version(0), xmms::proto::kEngineVersion);
  EXPECT_EQ(engine.quit(), 0);
}
