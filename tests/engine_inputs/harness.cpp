#include "harness.h"

#include "testenv.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

namespace inputs_test {

Recorder &Recorder::instance() {
  static Recorder r;
  return r;
}

Recorder::Recorder() {
  op_.description = const_cast<char *>("recording output");
  op_.open_audio = openAudio;
  op_.write_audio = writeAudio;
  op_.close_audio = closeAudio;
  op_.flush = flush;
  op_.pause = pause;
  op_.buffer_free = bufferFree;
  op_.buffer_playing = bufferPlaying;
  op_.output_time = outputTime;
  op_.written_time = writtenTime;
}

void Recorder::reset() {
  std::lock_guard lock(mutex_);
  rec_ = Recording{};
  limit_ = LLONG_MAX;
  room_ = 1 << 20;
  bytes_ = 0;
  base_ = 0;
}

void Recorder::setLimitBytes(long long bytes) {
  std::lock_guard lock(mutex_);
  limit_ = bytes;
}

void Recorder::setRoom(int bytes) {
  std::lock_guard lock(mutex_);
  room_ = bytes;
}

Recording Recorder::snapshot() {
  std::lock_guard lock(mutex_);
  return rec_;
}

long long Recorder::bytesSinceFlush() {
  std::lock_guard lock(mutex_);
  return bytes_;
}

void Recorder::setInfo(char *title, int length, int rate, int freq, int nch) {
  Recorder &r = instance();
  std::lock_guard lock(r.mutex_);
  r.rec_.title = title ? title : "(null)";
  r.rec_.length = length;
  r.rec_.bitrate = rate;
  r.rec_.freq = freq;
  r.rec_.infoChannels = nch;
  ++r.rec_.infos;
}

int Recorder::openAudio(AFormat fmt, int rate, int nch) {
  Recorder &r = instance();
  std::lock_guard lock(r.mutex_);
  r.rec_.format = fmt;
  r.rec_.rate = rate;
  r.rec_.channels = nch;
  ++r.rec_.opens;
  r.bytes_ = 0;
  r.base_ = 0;
  return 1;
}

void Recorder::writeAudio(void *ptr, int length) {
  Recorder &r = instance();
  std::lock_guard lock(r.mutex_);
  if (r.rec_.format == FMT_U8) {
    // Unsigned 8-bit samples are kept widened to 16 bits, as an output would play them.
    auto *u = static_cast<uint8_t *>(ptr);
    for (int i = 0; i < length; ++i) {
      auto v = static_cast<int16_t>((u[i] - 128) * 256);
      r.rec_.all.push_back(v);
      r.rec_.sinceFlush.push_back(v);
    }
  } else {
    auto *s = static_cast<int16_t *>(ptr);
    r.rec_.all.insert(r.rec_.all.end(), s, s + length / 2);
    r.rec_.sinceFlush.insert(r.rec_.sinceFlush.end(), s, s + length / 2);
  }
  r.bytes_ += length;
}

void Recorder::closeAudio() {
  Recorder &r = instance();
  std::lock_guard lock(r.mutex_);
  ++r.rec_.closes;
}

void Recorder::flush(int time) {
  Recorder &r = instance();
  std::lock_guard lock(r.mutex_);
  r.rec_.flushes.push_back(time);
  r.rec_.sinceFlush.clear();
  r.bytes_ = 0;
  r.base_ = time;
}

void Recorder::pause(short) {}

int Recorder::bufferFree() {
  Recorder &r = instance();
  std::lock_guard lock(r.mutex_);
  if (r.bytes_ >= r.limit_)
    return 0;
  return static_cast<int>(std::min<long long>(r.room_, r.limit_ - r.bytes_));
}

int Recorder::bufferPlaying() { return 0; }

int Recorder::outputTime() {
  Recorder &r = instance();
  std::lock_guard lock(r.mutex_);
  long long perSecond =
      static_cast<long long>(r.rec_.rate) * r.rec_.channels * (r.rec_.format == FMT_U8 ? 1 : 2);
  return perSecond > 0 ? r.base_ + static_cast<int>(r.bytes_ * 1000 / perSecond) : r.base_;
}

int Recorder::writtenTime() { return outputTime(); }

Plugin::Plugin(const std::string &name) {
  std::string path = velora::test::stageDir() + "/lib/xmms/Input/lib" + name + ".so";
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    error_ = dlerror();
    return;
  }
  auto get = reinterpret_cast<GetInputPluginFunc>(dlsym(handle_, "get_iplugin_info"));
  if (!get) {
    error_ = "no get_iplugin_info";
    return;
  }
  ip_ = get();
  ip_->handle = handle_;
  ip_->filename = const_cast<char *>(name.c_str());
  ip_->output = Recorder::instance().output();
  ip_->set_info = Recorder::setInfo;
  if (ip_->init)
    ip_->init();
  ip_->filename = nullptr;
}

Plugin::~Plugin() {
  if (ip_) {
    ip_->stop();
    if (ip_->cleanup)
      ip_->cleanup();
  }
  if (handle_)
    dlclose(handle_);
}

bool Plugin::playToEnd(const std::string &file, int timeoutMs, std::string *diagnostics) {
  StdoutCapture capture;
  ip_->play_file(const_cast<char *>(file.c_str()));
  bool ended = velora::test::waitUntil([&] { return ip_->get_time() == -1; }, timeoutMs);
  ip_->stop();
  std::string text = capture.finish();
  if (diagnostics)
    *diagnostics = text;
  return ended;
}

StdoutCapture::StdoutCapture() {
  char tmpl[] = "/tmp/inputs-stdout-XXXXXX";
  int fd = mkstemp(tmpl);
  path_ = tmpl;
  std::fflush(stdout);
  saved_ = dup(1);
  dup2(fd, 1);
  close(fd);
}

StdoutCapture::~StdoutCapture() { finish(); }

std::string StdoutCapture::finish() {
  if (done_)
    return text_;
  done_ = true;
  std::fflush(stdout);
  dup2(saved_, 1);
  close(saved_);
  text_ = velora::test::readFile(path_);
  unlink(path_.c_str());
  // Shown in the test log as well.
  std::fputs(text_.c_str(), stdout);
  return text_;
}

std::vector<int16_t> readRaw(const std::string &path) {
  std::string bytes = velora::test::readFile(path);
  std::vector<int16_t> out(bytes.size() / 2);
  std::memcpy(out.data(), bytes.data(), out.size() * 2);
  return out;
}

std::string copyOf(const std::string &from, const std::string &to) {
  velora::test::writeFile(to, velora::test::readFile(from));
  return to;
}

int lineCount(const std::string &text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

int maxDiff(const std::vector<int16_t> &a, const std::vector<int16_t> &b, size_t offsetA,
            size_t offsetB, size_t count) {
  if (offsetA > a.size() || offsetB > b.size())
    return INT_MAX;
  size_t n = std::min({a.size() - offsetA, b.size() - offsetB, count});
  int worst = 0;
  for (size_t i = 0; i < n; ++i)
    worst = std::max(worst, std::abs(a[offsetA + i] - b[offsetB + i]));
  return worst;
}

double rms(const int16_t *p, size_t n) {
  double sum = 0;
  for (size_t i = 0; i < n; ++i)
    sum += double(p[i]) * p[i];
  return n ? std::sqrt(sum / n) : 0;
}

} // namespace inputs_test
