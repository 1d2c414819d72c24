#include "enginetest.h"

#include <protocol.h>
#include <xmms/xmmsctrl.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace velora::test;

namespace enginetest {

void writeConfig(const TempHome &home, const std::string &text) {
  writeFile(home.path(".xmms/config"), text);
}

void writePlaylist(const TempHome &home, const std::vector<std::string> &lines) {
  std::string text;
  for (auto &l : lines)
    text += l + "\n";
  writeFile(home.path(".xmms/xmms.m3u"), text);
}

std::string privateStage(const TempHome &home, bool withWavInput) {
  fs::path stage = stageDir();
  fs::path root = fs::path(home.root()) / "stage";
  if (fs::exists(root / "bin/xmms"))
    return (root / "bin/xmms").string();
  std::vector<std::string> plugins = {
      "Input/" + (fs::path(ENGINE_TEST_PLUGIN_DIR) / "libtestinput.so").string(),
      "Output/" + (fs::path(ENGINE_TEST_PLUGIN_DIR) / "libstuckoutput.so").string()};
  if (withWavInput)
    plugins.push_back("Input/" + (stage / "lib/xmms/Input/libwavinput.so").string());
  return velora::test::privateEngine(root.string(), plugins);
}

EngineRun::~EngineRun() {
  if (pid_ > 0)
    quit(3000);
}

bool EngineRun::start(const std::string &exe, int timeoutMs) {
  std::string program = exe.empty() ? stageDir() + "/bin/xmms" : exe;
  const char *home = std::getenv("HOME");
  errFile_ = std::string(home ? home : "/tmp") + "/engine-stderr-" +
             std::to_string(reinterpret_cast<uintptr_t>(this)) + ".txt";
  pid_ = fork();
  if (pid_ < 0)
    return false;
  if (pid_ == 0) {
    int fd = ::open(errFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd >= 0) {
      dup2(fd, 2);
      dup2(fd, 1);
    }
    execl(program.c_str(), "xmms", static_cast<char *>(nullptr));
    _exit(127);
  }
  return waitUntil([] { return xmms_remote_get_version(0) != 0; }, timeoutMs);
}

int EngineRun::wait(int timeoutMs) {
  if (pid_ <= 0)
    return -1;
  int status = 0;
  pid_t pid = pid_;
  if (!waitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, timeoutMs)) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    pid_ = -1;
    return -1;
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int EngineRun::quit(int timeoutMs) {
  if (pid_ <= 0)
    return -1;
  xmms_remote_quit(0);
  return wait(timeoutMs);
}

void EngineRun::kill9() {
  if (pid_ <= 0)
    return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

bool EngineRun::alive() {
  int status;
  return pid_ > 0 && waitpid(pid_, &status, WNOHANG) == 0;
}

std::string EngineRun::errors() const { return readFile(errFile_); }

std::string playlistFile(int pos) {
  char *s = xmms_remote_get_playlist_file(0, pos);
  std::string out = s ? s : "<null>";
  std::free(s);
  return out;
}

std::string playlistTitle(int pos) {
  char *s = xmms_remote_get_playlist_title(0, pos);
  std::string out = s ? s : "<null>";
  std::free(s);
  return out;
}

std::vector<std::string> logLines(const std::string &path) {
  std::vector<std::string> out;
  std::istringstream in(readFile(path));
  std::string line;
  while (std::getline(in, line))
    out.push_back(line);
  return out;
}

std::vector<std::string> playedNames(const std::string &path) {
  std::vector<std::string> out;
  for (auto &l : logLines(path))
    if (l.rfind("play ", 0) == 0)
      out.push_back(l.substr(5));
  return out;
}

std::string int32Bytes(int32_t v) { return std::string(reinterpret_cast<char *>(&v), 4); }

std::string request(uint16_t code, const std::string &payload, uint32_t magic, uint16_t version,
                    int64_t length) {
  xmms::proto::Header h{magic ? magic : xmms::proto::kMagic,
                        version ? version : xmms::proto::kVersion, code,
                        static_cast<uint32_t>(length >= 0 ? length : payload.size())};
  return std::string(reinterpret_cast<char *>(&h), sizeof h) + payload;
}

std::string rawExchange(const std::string &bytes, int timeoutMs, const std::string &socketPath) {
  std::string path = socketPath.empty() ? xmms::proto::socketPath(0) : socketPath;
  sockaddr_un addr = {};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) < 0) {
    if (fd >= 0)
      close(fd);
    return "<no connection>";
  }
  if (!bytes.empty())
    xmms::proto::writeAll(fd, bytes.data(), bytes.size(), 1000);
  std::string got;
  char buf[4096];
  for (;;) {
    pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) {
      got += "<timeout>";
      break;
    }
    ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0)
      break;
    got.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  return got;
}

} // namespace enginetest
