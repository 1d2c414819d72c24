// The mplayer adaptor: installed as "mplayer" in the engine's private bin folder, which the
// engine puts first on its children's PATH. It takes the command lines of the external-player
// plug-in, finds the real mplayer further along PATH and hands it the spellings it accepts.
// For playback it replaces itself with the real player, so slave commands and status lines
// pass untouched and the process is still the plug-in's child named mplayer.
#include "options.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Adaptors already passed on the way here (ours included), so that a second copy of the
// adaptor further along PATH cannot send the call round in circles.
constexpr const char *kSeenVariable = "VELORA_MPLAYER_ADAPTORS";
constexpr size_t kMaxIdentifyOutput = 1 << 20;

std::string realPathOf(const std::string &path) {
  char *r = realpath(path.c_str(), nullptr);
  if (!r)
    return {};
  std::string s = r;
  free(r);
  return s;
}

std::vector<std::string> split(const std::string &text, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t at = text.find(sep, start);
    parts.push_back(text.substr(start, at - start));
    if (at == std::string::npos)
      return parts;
    start = at + 1;
  }
}

std::string findRealPlayer(const std::vector<std::string> &skip) {
  const char *path = getenv("PATH");
  if (!path)
    return {};
  for (const std::string &dir : split(path, ':')) {
    // An empty PATH entry means the current folder.
    std::string candidate = (dir.empty() ? std::string(".") : dir) + "/mplayer";
    struct stat st;
    if (stat(candidate.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        access(candidate.c_str(), X_OK) != 0)
      continue;
    std::string real = realPathOf(candidate);
    bool isAdaptor = false;
    for (const auto &s : skip)
      isAdaptor = isAdaptor || real == s;
    if (!isAdaptor)
      return candidate;
  }
  return {};
}

std::vector<char *> argvOf(std::vector<std::string> &args) {
  std::vector<char *> v;
  for (auto &a : args)
    v.push_back(a.data());
  v.push_back(nullptr);
  return v;
}

bool writeAll(int fd, const std::string &text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Runs the real player, keeps its output, and prints it with each ID_ key once.
int identify(const std::string &player, std::vector<std::string> &args) {
  int fds[2];
  if (pipe(fds) < 0) {
    perror("mplayer: pipe");
    return 1;
  }
  pid_t parent = getpid();
  pid_t pid = fork();
  if (pid < 0) {
    perror("mplayer: fork");
    return 1;
  }
  if (pid == 0) {
    // Whoever gives up on us (a timeout kills the adaptor) must not leave the player running.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)
      _exit(1);
    dup2(fds[1], STDOUT_FILENO);
    close(fds[0]);
    close(fds[1]);
    auto argv = argvOf(args);
    execv(player.c_str(), argv.data());
    _exit(127);
  }
  close(fds[1]);
  std::string output;
  char buf[4096];
  for (;;) {
    ssize_t n = read(fds[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    if (output.size() < kMaxIdentifyOutput)
      output.append(buf, static_cast<size_t>(n));
  }
  close(fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  writeAll(STDOUT_FILENO, mplayer_adaptor::rewriteIdentify(output));
  if (WIFEXITED(status))
    return WEXITSTATUS(status);
  return 1;
}

} // namespace

int main(int argc, char **argv) {
  std::vector<std::string> skip;
  if (const char *seen = getenv(kSeenVariable))
    for (const auto &s : split(seen, ':'))
      if (!s.empty())
        skip.push_back(s);
  std::string self = realPathOf("/proc/self/exe");
  if (!self.empty())
    skip.push_back(self);

  std::string player = findRealPlayer(skip);
  if (player.empty()) {
    fprintf(stderr, "mplayer: the real mplayer program was not found on PATH "
                    "(install the mplayer package)\n");
    return 127;
  }
  std::string seenList;
  for (const auto &s : skip)
    seenList += (seenList.empty() ? "" : ":") + s;
  setenv(kSeenVariable, seenList.c_str(), 1);

  std::vector<std::string> args(argv + 1, argv + argc);
  std::vector<std::string> translated = {"mplayer"};
  for (auto &a : mplayer_adaptor::translate(args))
    translated.push_back(a);

  if (mplayer_adaptor::isIdentify(args))
    return identify(player, translated);

  auto real = argvOf(translated);
  execv(player.c_str(), real.data());
  fprintf(stderr, "mplayer: cannot run %s: %s\n", player.c_str(), strerror(errno));
  return 126;
}
