// Loads the input and output plug-ins from the engine's plug-in folders and stands between the
// input plug-ins and the real output: input plug-ins get the engine's own OutputPlugin record,
// which forwards to the chosen output and falls back to the null output when that cannot open.
#pragma once

#include <xmms/plugin.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace engine {

// What the engine-side slots of the input plug-ins report.
class PluginEvents {
public:
  virtual ~PluginEvents() = default;
  virtual void onSetInfo(const char *title, int lengthMs, int rate, int freq, int nch) = 0;
  // The output was closed, or has just played the last of what it held: the song is ending.
  // Called on whichever thread made the output call, never with the host's state locked.
  virtual void onOutputIdle() {}
};

struct InputEntry {
  InputPlugin *ip = nullptr;
  std::string path;
  std::string name;                // file name, e.g. "libwavinput.so"
  std::atomic<bool> wedged{false}; // a call never returned: the plug-in is not used again
};

class PluginHost {
public:
  explicit PluginHost(PluginEvents *events);
  ~PluginHost();
  PluginHost(const PluginHost &) = delete;
  PluginHost &operator=(const PluginHost &) = delete;

  // Every shared library of dir, sorted by file name, minus the disabled file names.
  void loadInputs(const std::string &dir, const std::vector<std::string> &disabled);
  // chosen is a file name ("libalsaout.so"); the null output is the fallback.
  void loadOutputs(const std::string &dir, const std::string &chosen);

  // The first input plug-in (not wedged) whose is_our_file claims the file, or null.
  InputEntry *inputFor(const std::string &file);
  const std::vector<std::unique_ptr<InputEntry>> &inputs() const { return inputs_; }

  // Output state as seen through the engine's record.
  bool outputOpen() const;
  // The open output's clock in ms (0 when closed). Only the engine's own output plug-ins answer
  // it, never an input plug-in, so any thread may ask.
  int outputTime() const;
  // Bytes the input plug-ins have written to the output since the engine started.
  uint64_t bytesWritten() const;
  void closeOutputIfOpen();
  void setVolume(int percent);

  // Calls every plug-in's cleanup, each bounded by timeoutMs.
  void cleanup(int timeoutMs);

private:
  PluginEvents *events_;
  std::vector<std::unique_ptr<InputEntry>> inputs_;
  std::vector<void *> handles_;
};

} // namespace engine
