// What the m4ainput tests share: the real plug-in loaded from the stage folder, an output
// plug-in that records every call, FAAD2 reference decodes, and a capture of standard output
// (where the plug-in prints its messages).
#pragma once

#include <xmms/plugin.h>

#include <mp4ff.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace m4a {

using Pcm = std::vector<int16_t>;

// The plug-in, opened once per process and never unloaded (its decode thread may still be
// winding down when a test ends).
struct Plugin {
  InputPlugin *ip = nullptr;
  void *handle = nullptr;
  template <class T> T sym(const char *name) const;
};
const Plugin &plugin();

struct Event {
  enum Kind { Open, Write, Flush, Close, Pause } kind;
  int a = 0, b = 0, c = 0; // open: format, rate, channels; write: bytes; flush: ms
  size_t pcmAt = 0;        // samples recorded before this event
};

struct SetInfo {
  std::string title;
  bool hasTitle = false;
  int length = 0, rate = 0, freq = 0, channels = 0;
};

// The recording OutputPlugin. All state is process-wide because the plug-in calls plain
// functions; reset() before each playback. It is never destroyed: a decode thread that a failed
// test left waiting on it must not turn the failure into a hang at exit.
struct Recorder {
  std::mutex lock;
  std::vector<Event> events;
  Pcm pcm;
  std::vector<SetInfo> infos;
  std::atomic<int> openResult{1};
  std::atomic<int> freeBytes{1 << 20};
  std::atomic<int> blockAfterWrites{-1}; // buffer_free reports 0 once this many writes were made
  std::atomic<int> writes{0};
  std::atomic<int> bufferFreeCalls{0};
  std::atomic<int> closes{0};
  // Like a sound card while paused: buffer_free reports 0, buffer_playing 1 (it holds audio),
  // and write_audio blocks until the output is resumed or closed. pauseAtWrite pauses the
  // output by itself right after that many writes (the listener's tap at that moment).
  std::atomic<bool> soundCard{false};
  std::atomic<bool> cardPaused{false};
  std::atomic<bool> cardOpen{false};
  std::atomic<int> pauseAtWrite{-1};
  std::condition_variable cardChanged;
  // Called on the decode thread as write number n (from 1) begins, before the card looks at its
  // pause state and without the lock: what a listener does at that moment. Set before playback.
  std::function<void(int n)> onWrite;

  void reset();
  std::vector<Event> eventsOf(Event::Kind kind);
  Pcm pcmCopy();
};
Recorder &recorder();
OutputPlugin *recordingOutput();

// Plays `path` through the plug-in to the recorder and waits for the decode thread to end
// (at most timeoutMs), then calls stop as the engine does. Returns false on a time-out.
bool playToEnd(const std::string &path, int timeoutMs = 20000);

// FAAD2 decodes made directly, without the plug-in: an MP4 track sample by sample (all samples,
// or the given sample numbers in that order, with one decoder), and an ADTS stream frame by
// frame (after any ID3v2 tag). frameStarts receives where each frame's PCM begins.
Pcm referenceMp4(const std::string &path, int track, std::vector<size_t> *frameStarts = nullptr,
                 const std::vector<int> *order = nullptr);
Pcm referenceAdts(const std::string &path);

// Captures what is written to file descriptor 1 (g_print, printf) while alive.
class StdoutCapture {
public:
  StdoutCapture();
  ~StdoutCapture();
  std::string text(); // what was captured so far
private:
  int saved_ = -1;
  std::string path_;
};

// Reader callbacks over a FILE, for tests that open containers themselves.
struct Mp4File {
  FILE *file = nullptr;
  mp4ff_callback_t cb{};
  mp4ff_t *mp4 = nullptr;
  explicit Mp4File(const std::string &path, bool metaOnly = false);
  ~Mp4File();
};

} // namespace m4a

#include <dlfcn.h>
template <class T> T m4a::Plugin::sym(const char *name) const {
  return reinterpret_cast<T>(dlsym(handle, name));
}
