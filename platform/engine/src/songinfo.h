// Titles and lengths of the playlist entries. Looking one up can be slow (an input plug-in may
// run an external program), so lookups happen on a thread of their own, only for entries that
// someone asked about; the remote channel answers from what is known at the time.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace engine {

class PluginHost;

class SongInfo {
public:
  SongInfo(const std::vector<std::string> &files, PluginHost &host);
  ~SongInfo();
  SongInfo(const SongInfo &) = delete;
  SongInfo &operator=(const SongInfo &) = delete;

  void start();
  // Asks the thread to end and waits up to timeoutMs; false when a lookup is still running.
  bool stop(int timeoutMs);

  // Known title, or the file name while the lookup is pending (which this call queues).
  std::string title(int pos);
  // Known length in ms, or 0 while unknown (which queues a lookup).
  int lengthMs(int pos);
  // What the playing plug-in announced through set_info is the best information there is.
  void announce(int pos, const char *title, int lengthMs);

private:
  enum class State { Unknown, Queued, Done };
  struct Item {
    State state = State::Unknown;
    std::string title;
    int lengthMs = -1;
  };
  void request(int pos); // with mutex_ held
  void run();

  const std::vector<std::string> &files_;
  PluginHost &host_;
  std::vector<Item> items_;
  std::deque<int> queue_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool stopping_ = false;
  bool finished_ = false;
  std::thread thread_;
};

std::string baseName(const std::string &path);

} // namespace engine
