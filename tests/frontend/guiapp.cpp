#include "guiapp.h"

#include "testenv.h"

#include "zapplication.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

ZApplication *guiApp() {
  static int argc = 1;
  static char name[] = "velora-test";
  static char *argv[] = {name, nullptr};
  static ZApplication *app = new ZApplication(argc, argv);
  return app;
}

bool spinUntil(const std::function<bool()> &cond, int timeoutMs) {
  guiApp();
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < timeoutMs) {
    if (cond())
      return true;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    // No event loop runs here, so objects released with deleteLater go now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QThread::msleep(5);
  }
  return cond();
}

void spinFor(int ms) {
  spinUntil([] { return false; }, ms);
}

void writeSilentEngineConfig(const std::string &home, const std::string &extra) {
  velora::test::writeFile(home + "/.xmms/config", "[xmms]\noutput_plugin=libnullout.so\n" + extra);
}

void writeSilentWav(const std::string &path, int seconds) {
  const uint32_t rate = 8000, bytes = rate * 2 * static_cast<uint32_t>(seconds);
  std::string wav;
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i)
      wav += static_cast<char>((v >> (8 * i)) & 0xff);
  };
  auto put16 = [&](uint16_t v) {
    wav += static_cast<char>(v & 0xff);
    wav += static_cast<char>(v >> 8);
  };
  wav += "RIFF";
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
  wav.append(bytes, '\0');
  velora::test::writeFile(path, wav);
}
