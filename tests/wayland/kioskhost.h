// A phone-like screen for the player: weston's kiosk shell (every window fills the screen, as
// phone shells do) at a phone's size and scale, with a seat the test drives like a finger.
//
// Weston 10's kiosk shell shows a window only when a seat activates it, and its headless
// back-end has no seat at all: there every client, weston's own demos included, stays black.
// So the kiosk shell runs on weston's X11 back-end inside a private X server, whose pointer is
// the seat (as a phone's touch screen is), and taps arrive through XTest.
#pragma once

#include "child.h"

#include <QImage>
#include <QSize>

#include <memory>
#include <string>
#include <vector>

namespace velora::test {

class KioskHost {
public:
  // Output size in logical pixels and the output's scale (device pixels per logical pixel).
  KioskHost(const std::string &workDir, QSize output, int scale);
  ~KioskHost(); // weston first, then its X server

  // The programs the host needs, or "" when all are there (the caller skips with this text).
  static std::string missingTools();
  // Starts the X server and weston; on failure *why says what went wrong.
  bool start(std::string *why);
  const std::string &waylandDisplay() const { return socket_; }
  // The screen as weston's screenshooter saves it (a null image when it could not).
  QImage screenshot();
  // A tap (pointer move and click) at device pixel p of the output; the pointer then goes to
  // the output's lower right corner.
  bool tap(QPoint p);
  // A key press and release (an X key name: "Escape", "Return").
  bool key(const std::string &name);
  // Moves the pointer (and the cursor picture with it) to device pixel p.
  bool movePointer(QPoint p);
  QSize outputSize() const { return output_; }
  int scale() const { return scale_; }
  std::string westonLog() const;
  // Where the X server has its pointer and which window is under it, with the end of weston's
  // log: what a failed tap is explained by.
  std::string pointerReport();

private:
  int runX(const std::vector<std::string> &args);
  // xdotool's steps that bring the pointer into weston's window at device pixel p.
  std::vector<std::string> enterAt(QPoint p) const;

  std::string dir_, socket_, display_;
  QSize output_;
  int scale_;
  int shots_ = 0;
  std::unique_ptr<Child> xserver_, weston_;
};

} // namespace velora::test
