// Test doubles for the external-player plug-in: a fake "mplayer" shell script first on PATH that
// records how it was called and plays back canned output, and a recording output plug-in.
#pragma once

#include <xmms/plugin.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

namespace slavetest {

// A fake mplayer in <dir>/bin. Every run writes into <dir>/log:
//   identify runs: identify.args (arguments, one per line), identify.argv (NUL-separated);
//                  prints identify.out
//   play runs:     <pid>.args, <pid>.argv, <pid>.cmds (slave commands received),
//                  pids (one per run); prints play.out, then copies pcm.raw into the FIFO
//                  of -aofile (or of the adaptor's "-ao pcm:...:file=") when given, then obeys
//                  play.mode: "exit" ends at once, "deaf" ignores quit, else waits for quit.
class FakePlayer {
public:
  explicit FakePlayer(const std::string &dir);
  ~FakePlayer();
  // Puts the fake first on PATH (the plug-in's children inherit it).
  void install();
  std::string bin() const { return dir_ + "/bin"; }
  std::string log(const std::string &name) const { return dir_ + "/log/" + name; }
  void setIdentifyOutput(const std::string &text);
  void setPlayOutput(const std::string &text);
  void setPcm(const std::string &bytes);
  void setPlayMode(const std::string &mode);
  std::vector<pid_t> playPids() const;
  std::vector<std::string> playArgs(pid_t pid) const;
  std::string playCommands(pid_t pid) const;
  std::vector<std::string> identifyArgs() const;
  // The arguments after the program name exactly as received, line feeds and all.
  std::vector<std::string> playArgv(pid_t pid) const;
  std::vector<std::string> identifyArgv() const;

private:
  std::string dir_;
  std::string oldPath_;
};

std::vector<std::string> lines(const std::string &text);
bool processGone(pid_t pid);
// Processes named mplayer among the descendants of ancestor (children, grandchildren, ...).
int mplayersUnder(pid_t ancestor);

// The plug-in loaded from the stage folder, with a recording output and set_info.
struct Recorder {
  std::mutex m;
  int opens = 0, closes = 0;
  AFormat fmt = FMT_U8;
  int rate = 0, nch = 0;
  std::string written;
  std::string title;
  int length = -2, bitrate = 0, freq = 0, channels = 0;
  int infos = 0;
  bool openResult = true;
  // write_audio waits until the output is closed, as an output held in pause would.
  bool blockWrites = false;
  int writesStarted = 0;
  // Like a sound card while paused: no room, audio held (buffer_playing 1), writes wait until
  // resumed or closed. pauseAtBytes pauses it by itself once that much was written.
  bool paused = false;
  size_t pauseAtBytes = 0;
  std::condition_variable closed;

  // Back to a fresh output, as every test that plays expects: the recorder is shared by all the
  // tests of the program, whichever order they run in.
  void reset();
};

Recorder &recorder();
InputPlugin *loadPlugin();

// Writes ~/.xmms/config with the given [slaveinput] lines (and any other text after them).
void writeConfig(const std::string &slaveinputLines, const std::string &more = "");

} // namespace slavetest
