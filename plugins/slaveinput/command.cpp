// What the plug-in tells mplayer: the settings of group "slaveinput" and the command line built
// from them for each song.
#include "slaveinput.h"

#include <xmms/configfile.h>

#include <glib.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char *const kVideoDrivers[] = {nullptr, "xv", "x11", "gl", "sdl"};
const char *const kAudioDrivers[] = {nullptr, "oss", "arts", "esd", "alsa", "sdl"};
const int kVideoDriverCount = sizeof kVideoDrivers / sizeof *kVideoDrivers;
const int kAudioDriverCount = sizeof kAudioDrivers / sizeof *kAudioDrivers;

// A driver number outside the table names nothing mplayer knows, so no option is passed at all
// rather than a "-vo" that would swallow the next argument as its driver.
void appendDriver(char **vector, const char *option, const char *const *table, int count,
                  int value) {
  if (value >= 1 && value < count) {
    mplayer_vector_append(vector, option);
    mplayer_vector_append(vector, table[value]);
  }
}

} // namespace

namespace slaveinput {

void say(const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vfprintf(stdout, fmt, ap);
  va_end(ap);
  fflush(stdout);
}

char *mplayer_safe_filename(const char *filename) {
  if (filename && filename[0] == '-')
    return g_strconcat("./", filename, nullptr);
  return g_strdup(filename ? filename : "");
}

} // namespace slaveinput

using slaveinput::say;

extern "C" {

mplayer_cfg *mplayer_read_cfg(void) {
  auto *cfg = static_cast<mplayer_cfg *>(g_malloc0(sizeof(mplayer_cfg)));
  ConfigFile *file = xmms_cfg_open_default_file();
  if (!file)
    return cfg;
  xmms_cfg_read_int(file, "slaveinput", "vo", &cfg->vo);
  xmms_cfg_read_int(file, "slaveinput", "ao", &cfg->ao);
  xmms_cfg_read_boolean(file, "slaveinput", "zoom", &cfg->zoom);
  xmms_cfg_read_boolean(file, "slaveinput", "framedrop", &cfg->framedrop);
  xmms_cfg_read_boolean(file, "slaveinput", "idx", &cfg->idx);
  xmms_cfg_read_boolean(file, "slaveinput", "xmmsaudio", &cfg->xmmsaudio);
  char *extra = nullptr;
  if (xmms_cfg_read_string(file, "slaveinput", "extra", &extra) && extra) {
    cfg->extra = g_strdup(extra);
    free(extra);
  }
  xmms_cfg_free(file);
  return cfg;
}

void mplayer_free_cfg(mplayer_cfg *cfg) {
  if (!cfg)
    return;
  g_free(cfg->extra);
  g_free(cfg);
}

void mplayer_vector_append(char **vector, const char *arg) {
  int n = 0;
  while (n < MPLAYER_MAX_ARGS - 1 && vector[n])
    n++;
  if (n >= MPLAYER_MAX_ARGS - 1) {
    say("Too many arguments to mplayer!!\n");
    say("Ignoring parameter: %s\n", arg);
    return;
  }
  say("Adding parameter: %s\n", arg);
  vector[n] = g_strdup(arg);
}

char **mplayer_make_vector(const mplayer_cfg *cfg, const char *fifoname, const char *filename) {
  auto **vector = static_cast<char **>(g_malloc0(MPLAYER_MAX_ARGS * sizeof(char *)));
  mplayer_vector_append(vector, "mplayer");
  mplayer_vector_append(vector, "-slave");
  mplayer_vector_append(vector, "-novideo");
  appendDriver(vector, "-vo", kVideoDrivers, kVideoDriverCount, cfg->vo);
  appendDriver(vector, "-ao", kAudioDrivers, kAudioDriverCount, cfg->ao);
  if (cfg->zoom)
    mplayer_vector_append(vector, "-zoom");
  if (cfg->framedrop)
    mplayer_vector_append(vector, "-framedrop");
  if (cfg->idx)
    mplayer_vector_append(vector, "-idx");
  if (cfg->xmmsaudio && fifoname) {
    const char *fifoOptions[] = {"-ao",   "pcm",           "-aofile", fifoname, "-autosync",
                                 "10000", "-nowaveheader", "-format", "128"};
    for (const char *o : fifoOptions)
      mplayer_vector_append(vector, o);
  }
  if (cfg->extra) {
    say("debug - adding extra options\n");
    // Split at every single blank: two blanks in a row give an empty argument, as configured.
    gchar **pieces = g_strsplit(cfg->extra, " ", -1);
    for (gchar **p = pieces; *p; ++p)
      mplayer_vector_append(vector, *p);
    g_strfreev(pieces);
  }
  char *name = slaveinput::mplayer_safe_filename(filename);
  mplayer_vector_append(vector, name);
  g_free(name);
  return vector;
}

void mplayer_free_vector(char **vector) {
  if (!vector)
    return;
  for (int i = 0; i < MPLAYER_MAX_ARGS; ++i)
    g_free(vector[i]);
  g_free(vector);
}

} // extern "C"
