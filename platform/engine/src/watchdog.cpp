#include "watchdog.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace engine {

namespace {
struct Completion {
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
};
} // namespace

bool runWithTimeout(const std::function<void()> &fn, int timeoutMs) {
  auto c = std::make_shared<Completion>();
  std::thread t([c, fn] {
    fn();
    std::lock_guard<std::mutex> lk(c->m);
    c->done = true;
    c->cv.notify_all();
  });
  std::unique_lock<std::mutex> lk(c->m);
  bool done = c->cv.wait_for(lk, std::chrono::milliseconds(timeoutMs), [&] { return c->done; });
  lk.unlock();
  if (done)
    t.join();
  else
    t.detach();
  return done;
}

bool joinWithTimeout(std::thread &t, const std::function<bool()> &finished, int timeoutMs) {
  if (!t.joinable())
    return true;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!finished() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (finished()) {
    t.join();
    return true;
  }
  t.detach();
  return false;
}

} // namespace engine
