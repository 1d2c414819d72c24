// Time from starting a program to its first full frame on the X server: runs the command, then
// looks at every new top-level window every 2 ms until one is shown with a picture in it (many
// colours, not a blank fill). Prints the milliseconds, then, after --hold seconds, ends the
// program with SIGTERM and prints its CPU seconds and peak resident size.
//
//   firstframe [--hold SECONDS] [--timeout SECONDS] -- command [args...]
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

int ignoreErrors(Display *, XErrorEvent *) { return 0; }

std::set<Window> topLevels(Display *d) {
  Window root, parent, *children = nullptr;
  unsigned count = 0;
  std::set<Window> out;
  if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) {
    out.insert(children, children + count);
    XFree(children);
  }
  return out;
}

// A window counts as drawn when a grid of its pixels holds many colours: a fresh window is one
// fill colour, a skin has dozens.
bool drawn(Display *d, Window w) {
  XWindowAttributes a;
  if (!XGetWindowAttributes(d, w, &a) || a.map_state != IsViewable || a.width < 40 || a.height < 40)
    return false;
  XImage *img = XGetImage(d, w, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
  if (!img)
    return false;
  std::set<unsigned long> colours;
  for (int y = 0; y < a.height; y += 6)
    for (int x = 0; x < a.width; x += 6)
      colours.insert(XGetPixel(img, x, y));
  XDestroyImage(img);
  return colours.size() >= 24;
}

} // namespace

int main(int argc, char **argv) {
  double hold = 0, timeout = 10;
  int i = 1;
  for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    if (!std::strcmp(argv[i], "--hold") && i + 1 < argc)
      hold = std::atof(argv[++i]);
    else if (!std::strcmp(argv[i], "--timeout") && i + 1 < argc)
      timeout = std::atof(argv[++i]);
  }
  if (i + 1 >= argc) {
    std::fprintf(stderr, "usage: firstframe [--hold S] [--timeout S] -- command [args...]\n");
    return 2;
  }
  Display *d = XOpenDisplay(nullptr);
  if (!d) {
    std::fprintf(stderr, "firstframe: cannot open the display\n");
    return 2;
  }
  XSetErrorHandler(ignoreErrors);
  std::set<Window> before = topLevels(d);
  auto t0 = std::chrono::steady_clock::now();
  pid_t child = fork();
  if (child == 0) {
    // The program's output, and that of anything it starts, must not hold our caller's pipe.
    int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, 1);
      dup2(null, 2);
      close(null);
    }
    execvp(argv[i + 1], argv + i + 1);
    _exit(127);
  }
  double ms = -1;
  while (std::chrono::steady_clock::now() - t0 < std::chrono::duration<double>(timeout)) {
    bool found = false;
    for (Window w : topLevels(d))
      if (!before.count(w) && drawn(d, w)) {
        found = true;
        break;
      }
    if (found) {
      ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
      break;
    }
    if (waitpid(child, nullptr, WNOHANG) == child) {
      std::fprintf(stderr, "firstframe: the program ended before it showed a window\n");
      return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (ms < 0)
    std::printf("first-frame none within %.0f s\n", timeout);
  else
    std::printf("first-frame %.1f ms\n", ms);
  std::fflush(stdout);
  std::this_thread::sleep_for(std::chrono::duration<double>(hold));
  kill(child, SIGTERM);
  int status = 0;
  rusage ru{};
  wait4(child, &status, 0, &ru);
  double cpu = double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
               double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) * 1e-6;
  std::printf("cpu %.3f s  peak-rss %.1f MiB\n", cpu, double(ru.ru_maxrss) / 1024.0);
  XCloseDisplay(d);
  return ms < 0 ? 1 : 0;
}
