// Loads one of the engine's input plug-ins from the staged tree with dlopen and plays files
// through it into a recording output, as the engine would.
#pragma once

#include <xmms/plugin.h>

#include <climits>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace inputs_test {

// Everything the plug-in did to its output and to the engine's set_info.
struct Recording {
  int format = -1, rate = 0, channels = 0;
  int opens = 0, closes = 0;
  std::vector<int16_t> all;        // every sample written
  std::vector<int16_t> sinceFlush; // samples written since the last flush
  std::vector<int> flushes;        // flush times (ms)
  std::string title;
  int length = -2, bitrate = 0, freq = 0, infoChannels = 0;
  int infos = 0;
};

// The recording output. Room in its buffer can be limited to test pacing and seeks.
class Recorder {
public:
  static Recorder &instance();
  OutputPlugin *output() { return &op_; }
  void reset();
  // buffer_free answers 0 once this many bytes were written since the last flush.
  void setLimitBytes(long long bytes);
  // buffer_free never answers more than this.
  void setRoom(int bytes);
  Recording snapshot();
  long long bytesSinceFlush();

  static void setInfo(char *title, int length, int rate, int freq, int nch);

private:
  Recorder();
  static int openAudio(AFormat fmt, int rate, int nch);
  static void writeAudio(void *ptr, int length);
  static void closeAudio();
  static void flush(int time);
  static void pause(short);
  static int bufferFree();
  static int bufferPlaying();
  static int outputTime();
  static int writtenTime();

  std::mutex mutex_;
  Recording rec_;
  long long limit_ = LLONG_MAX;
  int room_ = 1 << 20;
  long long bytes_ = 0;
  int base_ = 0;
  OutputPlugin op_{};
};

// One plug-in library, loaded from stage/lib/xmms/Input.
class Plugin {
public:
  explicit Plugin(const std::string &name); // e.g. "mpg123input"
  ~Plugin();
  InputPlugin *operator->() { return ip_; }
  InputPlugin *get() { return ip_; }
  bool loaded() const { return ip_ != nullptr; }
  std::string error() const { return error_; }

  // Plays file to the end (get_time -1) or until timeoutMs; returns false on timeout.
  // Standard output written meanwhile goes to *diagnostics when given.
  bool playToEnd(const std::string &file, int timeoutMs = 10000,
                 std::string *diagnostics = nullptr);

private:
  void *handle_ = nullptr;
  InputPlugin *ip_ = nullptr;
  std::string error_;
};

// Captures what this process writes to standard output while alive.
class StdoutCapture {
public:
  StdoutCapture();
  ~StdoutCapture();
  std::string finish();

private:
  int saved_ = -1;
  std::string path_;
  bool done_ = false;
  std::string text_;
};

std::vector<int16_t> readRaw(const std::string &path);
std::string copyOf(const std::string &from, const std::string &to);
int lineCount(const std::string &text);

// Largest absolute difference of a and b over their common length.
int maxDiff(const std::vector<int16_t> &a, const std::vector<int16_t> &b, size_t offsetA = 0,
            size_t offsetB = 0, size_t count = SIZE_MAX);
double rms(const int16_t *p, size_t n);

} // namespace inputs_test
