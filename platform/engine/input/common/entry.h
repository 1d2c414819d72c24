// The entry functions and plug-in record every input plug-in of the engine has in common.
//
// A plug-in describes itself with one InputModule (its decode-thread body, how it recognises a
// file, how it reads title and length) and ends with VELORA_ENGINE_INPUT, which exports the
// record, its priority, its file-name extensions and their MIME types. The play, stop, pause,
// seek, time and equalizer entries all go to one Playback owned here.
#pragma once

#include "playback.h"

#include <xmms/plugin.h>

namespace velora::input {

// Priority of the engine's format plug-ins: before the MP4 and external-player plug-ins and
// long before a catch-all.
constexpr int kFormatPriority = 100;
// Priority of a plug-in that plays its format only when the catch-all FFmpeg plug-in (-100)
// is not there to do it better.
constexpr int kFallbackPriority = -200;

struct InputModule {
  const char *tag;         // starts every diagnostic line, e.g. "MP3"
  const char *description; // shown by the engine
  Playback::Body body;
  // Non-zero when the plug-in plays the file; never called with null.
  int (*isOurFile)(const char *path);
  // The playlist title (malloc'd) and length in ms (-1 unknown); false when the file cannot be
  // read. Never called with null.
  bool (*songInfo)(const char *path, char **title, int *lengthMs);
  void (*init)() = nullptr; // once, when the engine loads the plug-in
};

// The plug-in's record, built at the first call; the module must outlive the plug-in.
InputPlugin *inputRecord(const InputModule &module);

} // namespace velora::input

#define VELORA_ENGINE_INPUT(module, priority, extensions, mimeTypes)                               \
  VELORA_EXPORT_C InputPlugin *get_iplugin_info(void) {                                            \
    return velora::input::inputRecord(module);                                                     \
  }                                                                                                \
  VELORA_INPUT_INFO(priority, extensions, mimeTypes)
