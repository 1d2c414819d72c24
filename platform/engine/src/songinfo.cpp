#include "songinfo.h"
#include "pluginhost.h"
#include "watchdog.h"

#include <cstdlib>

namespace engine {

std::string baseName(const std::string &path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

SongInfo::SongInfo(const std::vector<std::string> &files, PluginHost &host)
    : files_(files), host_(host), items_(files.size()) {}

SongInfo::~SongInfo() { stop(0); }

void SongInfo::start() {
  if (!thread_.joinable())
    thread_ = std::thread([this] { run(); });
}

bool SongInfo::stop(int timeoutMs) {
  {
    std::lock_guard<std::mutex> lk(mutex_);
    stopping_ = true;
  }
  cv_.notify_all();
  return joinWithTimeout(
      thread_,
      [this] {
        std::lock_guard<std::mutex> lk(mutex_);
        return finished_;
      },
      timeoutMs);
}

void SongInfo::request(int pos) {
  if (items_[pos].state != State::Unknown)
    return;
  items_[pos].state = State::Queued;
  queue_.push_back(pos);
  cv_.notify_one();
}

std::string SongInfo::title(int pos) {
  std::lock_guard<std::mutex> lk(mutex_);
  if (pos < 0 || pos >= static_cast<int>(items_.size()))
    return {};
  request(pos);
  return items_[pos].title.empty() ? baseName(files_[pos]) : items_[pos].title;
}

int SongInfo::lengthMs(int pos) {
  std::lock_guard<std::mutex> lk(mutex_);
  if (pos < 0 || pos >= static_cast<int>(items_.size()))
    return 0;
  request(pos);
  return items_[pos].lengthMs > 0 ? items_[pos].lengthMs : 0;
}

void SongInfo::announce(int pos, const char *title, int lengthMs) {
  std::lock_guard<std::mutex> lk(mutex_);
  if (pos < 0 || pos >= static_cast<int>(items_.size()))
    return;
  if (title && *title)
    items_[pos].title = title;
  if (lengthMs > 0)
    items_[pos].lengthMs = lengthMs;
}

void SongInfo::run() {
  std::unique_lock<std::mutex> lk(mutex_);
  for (;;) {
    cv_.wait(lk, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_)
      break;
    int pos = queue_.front();
    queue_.pop_front();
    lk.unlock();

    char *title = nullptr;
    int length = -1;
    // A plug-in that claims files by name may find nothing it knows inside (an .m4a that holds
    // Apple Lossless): the next one that claims the file is asked, as the player does.
    for (InputEntry *in = host_.inputFor(files_[pos]); in && !(title && *title) && length <= 0;
         in = host_.inputFor(files_[pos], in)) {
      if (!in->ip->get_song_info)
        continue;
      std::free(title);
      title = nullptr;
      length = -1;
      in->ip->get_song_info(const_cast<char *>(files_[pos].c_str()), &title, &length);
    }

    lk.lock();
    Item &item = items_[pos];
    item.state = State::Done;
    // A title the playing plug-in announced meanwhile is kept.
    if (title && *title && item.title.empty())
      item.title = title;
    if (length > 0 && item.lengthMs <= 0)
      item.lengthMs = length;
    std::free(title);
  }
  finished_ = true;
}

} // namespace engine
