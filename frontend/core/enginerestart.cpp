#include "enginerestart.h"

#include "protocol.h" // the session's pid file path
#include "xmmsPlayer.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <cstdlib>
#include <deque>
#include <dirent.h>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace enginerestart {
namespace {

constexpr int kSession = 0;
constexpr int kLookMs = 20;          // how often a wait looks again
constexpr int kEngineEndMs = 5000;   // a quitting engine finishes its song's plug-in first
constexpr int kEngineStartMs = 6000; // a cold start on a loaded machine

// --- /proc ---------------------------------------------------------------------------------

struct ProcInfo {
  pid_t parent = 0;
  uid_t owner = 0;
  std::string name;
  char state = '?';
};

// /proc/<pid>/stat: "pid (comm) state ppid ..."; comm may itself hold blanks and parentheses,
// so the last ')' ends it.
bool readProc(pid_t pid, ProcInfo &info) {
  std::string dir = "/proc/" + std::to_string(pid);
  struct stat st;
  if (::stat(dir.c_str(), &st) != 0)
    return false;
  std::ifstream in(dir + "/stat");
  std::string line;
  if (!std::getline(in, line))
    return false;
  auto open = line.find('('), close = line.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open)
    return false;
  std::istringstream rest(line.substr(close + 1));
  char state;
  long ppid;
  if (!(rest >> state >> ppid))
    return false;
  info.parent = static_cast<pid_t>(ppid);
  info.state = state;
  info.owner = st.st_uid;
  info.name = line.substr(open + 1, close - open - 1);
  return true;
}

std::map<pid_t, ProcInfo> processTable() {
  std::map<pid_t, ProcInfo> table;
  DIR *d = opendir("/proc");
  if (!d)
    return table;
  while (struct dirent *e = readdir(d)) {
    char *end;
    long pid = std::strtol(e->d_name, &end, 10);
    if (*end != '\0' || pid <= 0)
      continue;
    ProcInfo info;
    if (readProc(static_cast<pid_t>(pid), info))
      table[static_cast<pid_t>(pid)] = info;
  }
  closedir(d);
  return table;
}

// --- restarts, one at a time -----------------------------------------------------------------

struct Job {
  QPointer<XMMSPlayer> controller;
  std::function<bool()> rewrite;
  QPointer<QObject> context;
  bool hadContext = false;
  std::function<void(const Outcome &)> done;
  std::vector<pid_t> ending; // the old engine and its mplayer processes
  Outcome outcome;
  QElapsedTimer clock;
};

std::deque<std::shared_ptr<Job>> queue;
bool running = false;

void runNext();

void finish(const std::shared_ptr<Job> &job) {
  queue.pop_front();
  running = false;
  if (job->done && (!job->hadContext || job->context))
    job->done(job->outcome);
  if (!queue.empty())
    runNext();
}

// Looks again every kLookMs on a timer until until() holds or limitMs pass, then runs then().
void waitFor(const std::shared_ptr<Job> &job, std::function<bool()> until, int limitMs,
             std::function<void()> then) {
  if (until() || job->clock.elapsed() >= limitMs) {
    then();
    return;
  }
  QTimer::singleShot(kLookMs, [job, until = std::move(until), limitMs, then = std::move(then)] {
    waitFor(job, until, limitMs, then);
  });
}

void startEngine(const std::shared_ptr<Job> &job) {
  job->outcome.written = job->rewrite ? job->rewrite() : true;
  XMMSPlayer *controller = job->controller;
  if (!controller || !controller->spawnEngine()) {
    job->outcome.noEngineProgram = controller != nullptr;
    finish(job);
    return;
  }
  job->clock.restart();
  waitFor(
      job, [job] { return !job->controller || job->controller->isRunning(); }, kEngineStartMs,
      [job] {
        if (job->controller && job->controller->isRunning()) {
          job->controller->engineStarted();
          job->outcome.engineUp = true;
        } else {
          qWarning("velora: the audio engine did not answer after its start");
        }
        finish(job);
      });
}

void runNext() {
  running = true;
  const std::shared_ptr<Job> job = queue.front();
  // Only this session's engine and the mplayer processes it started, noted before the quit
  // request while they can still be told apart.
  job->ending = engineProcesses();
  if (job->controller)
    job->controller->kill();
  terminateProcesses(job->ending);
  job->clock.start();
  waitFor(
      job, [job] { return !anyRuns(job->ending); }, kEngineEndMs,
      [job] {
        if (anyRuns(job->ending))
          qWarning("velora: the audio engine did not stop; the new playlist waits for its next "
                   "start");
        startEngine(job);
      });
}

} // namespace

void restart(XMMSPlayer *controller, std::function<bool()> rewrite, QObject *context,
             std::function<void(const Outcome &)> done) {
  auto job = std::make_shared<Job>();
  job->controller = controller;
  job->rewrite = std::move(rewrite);
  job->context = context;
  job->hadContext = context != nullptr;
  job->done = std::move(done);
  queue.push_back(job);
  if (!running)
    runNext();
}

bool busy() { return running || !queue.empty(); }

pid_t pidFileValue() {
  std::ifstream in(xmms::proto::pidPath(kSession));
  long pid = 0;
  if (!(in >> pid) || pid <= 1)
    return -1;
  return static_cast<pid_t>(pid);
}

pid_t enginePid() {
  const pid_t pid = pidFileValue();
  if (pid < 0)
    return -1;
  ProcInfo info;
  // A zombie is an engine that has died and not been reaped yet.
  if (!readProc(static_cast<pid_t>(pid), info) || info.owner != getuid() || info.name != "xmms" ||
      info.state == 'Z')
    return -1;
  return static_cast<pid_t>(pid);
}

std::vector<pid_t> mplayerDescendants(pid_t root) {
  std::vector<pid_t> found;
  if (root <= 0)
    return found;
  auto table = processTable();
  std::vector<pid_t> frontier{root};
  while (!frontier.empty()) {
    pid_t parent = frontier.back();
    frontier.pop_back();
    for (const auto &[pid, info] : table)
      if (info.parent == parent && pid != root) {
        frontier.push_back(pid);
        if (info.name == "mplayer" && info.owner == getuid())
          found.push_back(pid);
      }
  }
  return found;
}

std::vector<pid_t> engineProcesses() {
  std::vector<pid_t> pids;
  pid_t engine = enginePid();
  if (engine <= 0)
    return pids;
  pids.push_back(engine);
  for (pid_t pid : mplayerDescendants(engine))
    pids.push_back(pid);
  return pids;
}

int terminateProcesses(const std::vector<pid_t> &pids) {
  int signalled = 0;
  for (pid_t pid : pids) {
    ProcInfo info;
    if (pid <= 1 || !readProc(pid, info) || info.owner != getuid() ||
        (info.name != "xmms" && info.name != "mplayer"))
      continue;
    if (::kill(pid, SIGTERM) == 0)
      ++signalled;
  }
  return signalled;
}

bool anyRuns(const std::vector<pid_t> &pids) {
  for (pid_t pid : pids) {
    ProcInfo info;
    if (pid > 1 && readProc(pid, info) && info.state != 'Z')
      return true;
  }
  return false;
}

bool waitForProcessesToEnd(const std::vector<pid_t> &pids, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (anyRuns(pids)) {
    if (clock.elapsed() >= timeoutMs)
      return false;
    QThread::msleep(20);
  }
  return true;
}

} // namespace enginerestart
