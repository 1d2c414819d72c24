#include "kioskhost.h"

#include "testenv.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace velora::test {

namespace {
bool onPath(const std::string &program) {
  const char *path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string candidate = dirs.substr(start, end - start) + "/" + program;
    if (end > start && access(candidate.c_str(), X_OK) == 0)
      return true;
    start = end + 1;
  }
  return false;
}

// weston keeps its back-ends in a folder named for its version (libweston-10), in the library
// folder or its multi-arch one.
bool westonHasX11Backend() {
  std::vector<fs::path> folders;
  std::error_code ec;
  for (const char *root : {"/usr/lib", "/usr/local/lib"}) {
    folders.emplace_back(root);
    for (const auto &entry : fs::directory_iterator(root, ec))
      if (entry.is_directory(ec) &&
          entry.path().filename().string().find("-linux-") != std::string::npos)
        folders.push_back(entry.path());
  }
  for (const fs::path &folder : folders)
    for (const auto &entry : fs::directory_iterator(folder, ec))
      if (entry.path().filename().string().rfind("libweston-", 0) == 0 &&
          fs::exists(entry.path() / "x11-backend.so", ec))
        return true;
  return false;
}
} // namespace

KioskHost::KioskHost(const std::string &workDir, QSize output, int scale)
    : dir_(workDir), output_(output), scale_(scale) {}

KioskHost::~KioskHost() {
  for (std::unique_ptr<Child> *c : {&weston_, &xserver_}) {
    if (*c && (*c)->running()) {
      (*c)->terminate(SIGTERM);
      if ((*c)->wait(20000) < 0)
        (*c)->terminate(SIGKILL);
    }
    c->reset(); // waits for a killed one
  }
}

std::string KioskHost::missingTools() {
  std::string missing;
  for (const char *tool : {"Xvfb", "weston", "weston-screenshooter", "xdotool", "env"})
    if (!onPath(tool))
      missing += std::string(missing.empty() ? "" : ", ") + tool;
  if (onPath("weston") && !westonHasX11Backend())
    missing += std::string(missing.empty() ? "" : ", ") + "weston's x11-backend.so";
  return missing;
}

// The X screen is wider than weston's window by this strip, where the pointer can stand outside.
constexpr int kBeside = 64;

bool KioskHost::start(std::string *why) {
  const QSize pixels = output_ * scale_;
  // -displayfd: the server takes the first free display itself, so parallel runs never race
  // for a number; it prints the number once it accepts clients.
  xserver_ = std::make_unique<Child>(
      std::vector<std::string>{"Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-screen", "0",
                               std::to_string(pixels.width() + kBeside) + "x" +
                                   std::to_string(pixels.height()) + "x24"},
      dir_);
  const bool numbered = waitUntil(
      [&] {
        const std::string out = xserver_->out();
        return !out.empty() && out.back() == '\n';
      },
      60000);
  if (!numbered) {
    *why = "the X server did not start: " + xserver_->err();
    return false;
  }
  std::string number = xserver_->out();
  number.pop_back();
  display_ = ":" + number;

  socket_ = "wl-kiosk-" + std::to_string(getpid());
  weston_ = std::make_unique<Child>(
      std::vector<std::string>{"weston", "--backend=x11-backend.so", "--use-pixman",
                               "--width=" + std::to_string(output_.width()),
                               "--height=" + std::to_string(output_.height()),
                               "--scale=" + std::to_string(scale_), "--shell=kiosk-shell.so",
                               // the screenshooter answers other clients only then
                               "--debug", "--socket=" + socket_},
      dir_, std::vector<std::string>{"DISPLAY=" + display_, "WAYLAND_DISPLAY"});
  const char *runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string socketPath = std::string(runtime ? runtime : "") + "/" + socket_;
  if (!waitUntil([&] { return fileExists(socketPath) || !weston_->running(); }, 60000) ||
      !weston_->running()) {
    *why = "weston did not start: " + westonLog();
    return false;
  }
  return true;
}

QImage KioskHost::screenshot() {
  const std::string folder = dir_ + "/shot" + std::to_string(shots_++);
  makeDirs(folder);
  // It saves wayland-screenshot-<time>.png in its working folder.
  runToEnd({"env", "-C", folder, "weston-screenshooter"}, dir_, 60000, nullptr, nullptr,
           {"WAYLAND_DISPLAY=" + socket_});
  std::error_code ec;
  for (const auto &entry : fs::directory_iterator(folder, ec))
    if (entry.path().extension() == ".png")
      return QImage(QString::fromStdString(entry.path().string()));
  return QImage();
}

int KioskHost::runX(const std::vector<std::string> &args) {
  return runToEnd(args, dir_, 30000, nullptr, nullptr, {"DISPLAY=" + display_});
}

bool KioskHost::key(const std::string &name) { return runX({"xdotool", "key", name}) == 0; }

// weston's X11 back-end takes each pointer motion as a step from the last position it saw, and
// learns where the pointer is only when it enters the window. A motion it missed (one made while
// its window was still coming up, say) would shift every later tap by the steps it never saw. So
// every move comes in from the strip beside the window: the entry tells weston the position.
std::vector<std::string> KioskHost::enterAt(QPoint p) const {
  const QSize pixels = output_ * scale_;
  return {"mousemove",           std::to_string(pixels.width() + kBeside / 2),
          std::to_string(p.y()), "mousemove",
          std::to_string(p.x()), std::to_string(p.y())};
}

bool KioskHost::movePointer(QPoint p) {
  std::vector<std::string> args{"xdotool"};
  for (std::string &a : enterAt(p))
    args.push_back(std::move(a));
  return runX(args) == 0;
}

bool KioskHost::tap(QPoint p) {
  // The finger lifts: the pointer (and the cursor picture) goes to the lower right corner.
  const QSize pixels = output_ * scale_;
  std::vector<std::string> args{"xdotool"};
  for (std::string &a : enterAt(p))
    args.push_back(std::move(a));
  for (const std::string &a :
       {std::string("click"), std::string("1"), std::string("mousemove"),
        std::to_string(pixels.width() - 1), std::to_string(pixels.height() - 1)})
    args.push_back(a);
  return runX(args) == 0;
}

std::string KioskHost::pointerReport() {
  std::string out, err;
  runToEnd({"xdotool", "getmouselocation"}, dir_, 30000, &out, &err, {"DISPLAY=" + display_});
  return "X pointer: " + out + err + "weston's last words:\n" +
         westonLog().substr(westonLog().size() > 2000 ? westonLog().size() - 2000 : 0);
}

std::string KioskHost::westonLog() const {
  return weston_ ? weston_->out() + weston_->err() : std::string();
}

} // namespace velora::test
