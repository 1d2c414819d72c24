#include "enginerestart.h"

#include "xmmsPlayer.h"

#include <QElapsedTimer>
#include <QThread>

#include <fstream>
#include <string>

namespace {

constexpr int kEngineEndMs = 5000;   // a quitting engine finishes its song's plug-in first
constexpr int kEngineStartMs = 5000; // beyond the controller's own wait, on a loaded machine

// A process that still runs: not gone and not a zombie waiting for its parent.
bool processRuns(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(in, line))
    return false;
  const auto close = line.rfind(')');
  if (close == std::string::npos || close + 2 >= line.size())
    return false;
  const char state = line[close + 2];
  return state != 'Z' && state != 'X';
}

bool anyRuns(const std::vector<pid_t> &pids) {
  for (pid_t pid : pids)
    if (processRuns(pid))
      return true;
  return false;
}

} // namespace

bool restartEngine(XMMSPlayer *controller, const std::function<bool()> &rewrite) {
  // Only this session's engine and the mplayer processes it started, noted before the quit
  // request while they can still be told apart.
  const std::vector<pid_t> engine = XMMSPlayer::engineProcesses();
  if (controller)
    controller->kill();
  XMMSPlayer::terminateProcesses(engine);
  QElapsedTimer waited;
  waited.start();
  while (anyRuns(engine) && waited.elapsed() < kEngineEndMs)
    QThread::msleep(20);
  if (anyRuns(engine))
    qWarning("velora: the audio engine did not stop; the new playlist waits for its next start");

  const bool written = rewrite();

  if (controller) {
    controller->launch();
    waited.restart();
    while (!controller->isRunning() && waited.elapsed() < kEngineStartMs)
      QThread::msleep(50);
  }
  return written;
}
