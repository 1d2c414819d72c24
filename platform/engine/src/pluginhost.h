// Loads the input and output plug-ins from the engine's plug-in folders. Input plug-ins get the
// output stage's record (stage/outputstage.h), which stands in front of the chosen output and
// falls back to the null output.
#pragma once

#include "stage/outputstage.h"

#include <xmms/plugin.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace engine {

// What the engine-side slots of the input plug-ins report.
class PluginEvents : public stage::StageEvents {
public:
  virtual void onSetInfo(const char *title, int lengthMs, int rate, int freq, int nch) = 0;
  // The output was closed: the song is ending. Called on whichever thread made the output call,
  // never with the stage's lock held.
  void onOutputIdle() override {}
};

struct InputEntry {
  InputPlugin *ip = nullptr;
  std::string path;
  std::string name;                // file name, e.g. "libwavinput.so"
  int priority = 0;                // asked before the plug-ins of lower priority
  unsigned capabilities = 0;       // VELORA_INPUT_* flags
  std::atomic<bool> wedged{false}; // a call never returned: the plug-in is not used again
};

class PluginHost {
public:
  explicit PluginHost(PluginEvents *events);
  ~PluginHost();
  PluginHost(const PluginHost &) = delete;
  PluginHost &operator=(const PluginHost &) = delete;

  // Every shared library of dir, minus the disabled file names, in the order they are asked:
  // by priority, highest first, then by file name.
  void loadInputs(const std::string &dir, const std::vector<std::string> &disabled);
  // chosen is a file name ("libalsaout.so"); the null output is the fallback.
  void loadOutputs(const std::string &dir, const std::string &chosen);

  // The first input plug-in (not wedged) whose is_our_file claims the file, or null; with
  // `after`, the first of those asked after it (the next to try when it could not play the file).
  InputEntry *inputFor(const std::string &file, const InputEntry *after = nullptr);
  const std::vector<std::unique_ptr<InputEntry>> &inputs() const { return inputs_; }

  stage::OutputStage &stage() { return stage_; }
  const stage::OutputStage &stage() const { return stage_; }

  // Calls every plug-in's cleanup, each bounded by timeoutMs.
  void cleanup(int timeoutMs);

private:
  PluginEvents *events_;
  stage::OutputStage stage_;
  std::vector<std::unique_ptr<InputEntry>> inputs_;
  std::vector<void *> handles_;
};

} // namespace engine
