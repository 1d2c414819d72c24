// Helpers for the engine's tests: a real engine process with its standard error captured, a
// private copy of the installed tree that also holds the test input plug-in, and small
// wrappers around the remote calls.
#pragma once

#include "testenv.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace enginetest {

using velora::test::TempHome;

// Writes ~/.xmms/config and ~/.xmms/xmms.m3u of the current HOME.
void writeConfig(const TempHome &home, const std::string &text);
void writePlaylist(const TempHome &home, const std::vector<std::string> &lines);

// A copy of stage/ under home.root() whose Input folder also holds libtestinput.so; returns
// the path of its xmms program. The engine finds its plug-ins beside its own binary, so this
// is how the test plug-in gets loaded without ever being installed.
std::string privateStage(const TempHome &home, bool withWavInput = true);

class EngineRun {
public:
  ~EngineRun();
  // Starts exe (default: the staged xmms) in the current HOME/XDG_RUNTIME_DIR, standard error
  // to a file; waits until it answers get_version.
  bool start(const std::string &exe = "", int timeoutMs = 5000);
  // Remote quit; returns the exit status, or -1 when it had to be killed.
  int quit(int timeoutMs = 8000);
  // Waits for the process to end by itself (e.g. after a signal).
  int wait(int timeoutMs = 8000);
  void kill9();
  bool alive();
  pid_t pid() const { return pid_; }
  std::string errors() const;

private:
  pid_t pid_ = -1;
  std::string errFile_;
};

std::string playlistFile(int pos);
std::string playlistTitle(int pos);

// Lines of the test plug-in's log, and the names it was asked to play, in order.
std::vector<std::string> logLines(const std::string &path);
std::vector<std::string> playedNames(const std::string &path);

// Sends raw bytes on a fresh connection and returns what came back before the engine closed it
// (or until timeoutMs passed).
std::string rawExchange(const std::string &bytes, int timeoutMs = 3000,
                        const std::string &socketPath = "");
// A well-formed request header plus payload.
std::string request(uint16_t code, const std::string &payload = "", uint32_t magic = 0,
                    uint16_t version = 0, int64_t length = -1);
std::string int32Bytes(int32_t v);

} // namespace enginetest
