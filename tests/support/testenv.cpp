#include "testenv.h"

#include <xmms/xmmsctrl.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace velora::test {

namespace {
void setOrUnset(const char *name, bool had, const std::string &value) {
  if (had)
    setenv(name, value.c_str(), 1);
  else
    unsetenv(name);
}
} // namespace

int runUnprivileged(int (*body)(void *), void *arg) {
  pid_t pid = fork();
  if (pid < 0)
    return -1;
  if (pid == 0) {
    if (geteuid() == 0) {
      const uid_t nobody = 65534;
      if (setgroups(0, nullptr) != 0 || setresgid(nobody, nobody, nobody) != 0 ||
          setresuid(nobody, nobody, nobody) != 0)
        _exit(200);
    }
    _exit(body(arg) & 0x7f);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status))
    return 128;
  return WEXITSTATUS(status) == 200 ? -1 : WEXITSTATUS(status);
}

TempHome::TempHome() {
  std::string tmpl = (fs::temp_directory_path() / "velora-test-XXXXXX").string();
  if (!mkdtemp(tmpl.data()))
    throw std::runtime_error("mkdtemp failed");
  root_ = tmpl;
  home_ = root_ + "/home";
  runtime_ = root_ + "/run";
  fs::create_directories(home_);
  fs::create_directories(runtime_);
  chmod(runtime_.c_str(), 0700);
  if (const char *h = getenv("HOME")) {
    hadHome_ = true;
    oldHome_ = h;
  }
  if (const char *r = getenv("XDG_RUNTIME_DIR")) {
    hadRuntime_ = true;
    oldRuntime_ = r;
  }
  setenv("HOME", home_.c_str(), 1);
  setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
}

TempHome::~TempHome() {
  setOrUnset("HOME", hadHome_, oldHome_);
  setOrUnset("XDG_RUNTIME_DIR", hadRuntime_, oldRuntime_);
  std::error_code ec;
  fs::remove_all(root_, ec);
}

std::string stageDir() { return VELORA_STAGE_DIR; }
std::string fixture(const std::string &name) {
  return std::string(VELORA_FIXTURES_DIR) + "/" + name;
}

void writeFile(const std::string &path, const std::string &content) {
  fs::path p(path);
  if (p.has_parent_path())
    fs::create_directories(p.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool fileExists(const std::string &path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

void makeDirs(const std::string &path) { fs::create_directories(path); }

EngineProcess::~EngineProcess() {
  if (pid_ > 0)
    stop(3000);
}

static int remoteVersion() { return xmms_remote_get_version(0); }
static void remoteQuit() { xmms_remote_quit(0); }

bool EngineProcess::start(int timeoutMs, const std::vector<std::string> &extraEnv,
                          const std::string &program) {
  std::string exe = program.empty() ? stageDir() + "/bin/xmms" : program;
  pid_ = fork();
  if (pid_ < 0)
    return false;
  if (pid_ == 0) {
    for (auto &e : extraEnv)
      putenv(strdup(e.c_str()));
    execl(exe.c_str(), "xmms", static_cast<char *>(nullptr));
    _exit(127);
  }
  return waitUntil([] { return remoteVersion() != 0; }, timeoutMs);
}

bool EngineProcess::running() const {
  if (pid_ <= 0)
    return false;
  int status;
  return waitpid(pid_, &status, WNOHANG) == 0;
}

int EngineProcess::stop(int timeoutMs) {
  if (pid_ <= 0)
    return -1;
  remoteQuit();
  int status = 0;
  pid_t pid = pid_;
  bool ended = waitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, timeoutMs);
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    pid_ = -1;
    return -1;
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string privateEngine(const std::string &root, const std::vector<std::string> &plugins) {
  fs::path stage = stageDir(), dir = root;
  fs::create_directories(dir / "bin");
  fs::create_directories(dir / "lib/xmms/Input");
  fs::create_directories(dir / "lib/xmms/Output");
  fs::copy_file(stage / "bin/xmms", dir / "bin/xmms", fs::copy_options::overwrite_existing);
  for (auto &e : fs::directory_iterator(stage / "lib"))
    if (e.is_regular_file() || e.is_symlink())
      fs::create_symlink(e.path(), dir / "lib" / e.path().filename());
  for (auto &e : fs::directory_iterator(stage / "lib/xmms/Output"))
    fs::create_symlink(e.path(), dir / "lib/xmms/Output" / e.path().filename());
  for (const std::string &p : plugins) {
    size_t slash = p.find('/');
    fs::path file = p.substr(slash + 1);
    fs::path link = dir / "lib/xmms" / p.substr(0, slash) / file.filename();
    if (!fs::exists(fs::symlink_status(link)))
      fs::create_symlink(file, link);
  }
  return (dir / "bin/xmms").string();
}

std::string toneWav(double seconds, int amplitude) {
  const uint32_t rate = 8000, frames = static_cast<uint32_t>(rate * seconds), bytes = frames * 2;
  std::string wav = "RIFF";
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i)
      wav += static_cast<char>((v >> (8 * i)) & 0xff);
  };
  auto put16 = [&](uint16_t v) {
    wav += static_cast<char>(v & 0xff);
    wav += static_cast<char>(v >> 8);
  };
  put32(36 + bytes);
  wav += "WAVEfmt ";
  put32(16);
  put16(1);
  put16(1);
  put32(rate);
  put32(rate * 2);
  put16(2);
  put16(16);
  wav += "data";
  put32(bytes);
  for (uint32_t i = 0; i < frames; ++i)
    put16(static_cast<uint16_t>(
        static_cast<int16_t>(amplitude * std::sin(i * 2 * M_PI * 440 / rate))));
  return wav;
}

} // namespace velora::test
