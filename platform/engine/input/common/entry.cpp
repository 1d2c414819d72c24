#include "entry.h"

#include <cstdlib>
#include <mutex>

namespace velora::input {

namespace {

// This library is linked into each plug-in on its own, so these belong to one plug-in.
const InputModule *g_module = nullptr;
Playback *g_playback = nullptr;
InputPlugin g_record{};

void entryInit() {
  if (g_module->init)
    g_module->init();
}

int entryIsOurFile(char *name) { return name && g_module->isOurFile(name) ? 1 : 0; }
void entryPlay(char *name) { g_playback->play(name); }
void entryStop() { g_playback->stop(); }
void entryPause(short paused) { g_playback->pause(paused); }
void entrySeek(int seconds) { g_playback->seek(seconds); }
int entryTime() { return g_playback->time(); }
void entrySetEq(int on, float preamp, float *bands) { g_playback->setEq(on, preamp, bands); }
void entryCleanup() { g_playback->stop(); }

void entrySongInfo(char *name, char **title, int *length) {
  if (title)
    *title = nullptr;
  if (length)
    *length = -1;
  if (!name)
    return;
  char *t = nullptr;
  int ms = -1;
  if (!g_module->songInfo(name, &t, &ms))
    return;
  if (title)
    *title = t;
  else
    std::free(t);
  if (length)
    *length = ms;
}

} // namespace

InputPlugin *inputRecord(const InputModule &module) {
  static std::once_flag once;
  std::call_once(once, [&module] {
    g_module = &module;
    // Destroyed when the plug-in is unloaded, which ends a decode thread still running.
    static Playback playback(module.tag, module.body);
    g_playback = &playback;
    g_record.description = const_cast<char *>(module.description);
    g_record.init = entryInit;
    g_record.is_our_file = entryIsOurFile;
    g_record.play_file = entryPlay;
    g_record.stop = entryStop;
    g_record.pause = entryPause;
    g_record.seek = entrySeek;
    g_record.set_eq = entrySetEq;
    g_record.get_time = entryTime;
    g_record.cleanup = entryCleanup;
    g_record.get_song_info = entrySongInfo;
    playback.bind(&g_record);
  });
  return &g_record;
}

} // namespace velora::input
