// The engine reads its playlist file only when it starts, so a new playlist means: stop this
// session's engine, replace the file, start the engine again. Every restart (a folder opened, a
// saved playlist loaded, the editor's changes, a file opened from the desktop) goes through
// here, one at a time, and waits on timers: the window keeps drawing and answering meanwhile.
// Also the /proc reading that tells this session's engine and its mplayer processes apart.
#pragma once

#include <functional>
#include <sys/types.h>
#include <vector>

class QObject;
class XMMSPlayer;

namespace enginerestart {

// What a restart came to: whether rewrite succeeded and whether the new engine answers.
struct Outcome {
  bool written = false;
  bool engineUp = false;
  bool noEngineProgram = false; // there is no engine to start at all
};

// Stops the engine this session started (and the mplayer processes it started), waits until it
// is gone (a new engine does not start beside a live one), runs rewrite, starts the engine
// through controller and waits for it to answer; then calls done with the outcome, unless
// context has been deleted meanwhile. Returns at once; the waiting happens on timers. A restart
// asked for while another runs follows it. Without a controller only rewrite runs. When nothing
// has to be waited for (no engine runs and none can be started) done is called before this
// returns.
void restart(XMMSPlayer *controller, std::function<bool()> rewrite, QObject *context,
             std::function<void(const Outcome &)> done);
// True while a restart is under way or waiting for its turn.
bool busy();

// --- this session's processes ------------------------------------------------------------------

// The engine's process id from its pid file, when it names a live "xmms" process of this user;
// -1 otherwise.
pid_t enginePid();
// The number in the pid file, whatever runs under it; -1 without one.
pid_t pidFileValue();
// Every live descendant of pid whose program name is "mplayer" and that belongs to this user.
std::vector<pid_t> mplayerDescendants(pid_t pid);
// The engine and its mplayer descendants as they are now: taken before a remote quit, since a
// quitting engine's children are adopted by another process and could no longer be told apart.
std::vector<pid_t> engineProcesses();
// Sends SIGTERM to each listed process that is still an "xmms" or "mplayer" process of this
// user; returns how many were signalled.
int terminateProcesses(const std::vector<pid_t> &pids);
// True while any listed process runs (a zombie has ended).
bool anyRuns(const std::vector<pid_t> &pids);
// Waits up to timeoutMs, blocking, until none of the listed processes runs; true when none
// does. Only for the close sequence, which ends the program anyway.
bool waitForProcessesToEnd(const std::vector<pid_t> &pids, int timeoutMs);

} // namespace enginerestart
