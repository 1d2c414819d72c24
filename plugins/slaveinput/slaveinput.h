// Internal interface of the external-player input plug-in: it plays each song by running an
// mplayer child in slave mode, and optionally pumps mplayer's PCM from a FIFO into the engine.
#pragma once

#include <xmms/plugin.h>

#include <atomic>
#include <sys/types.h>

extern "C" {

// Settings of group "slaveinput" in ~/.xmms/config, read afresh for every song.
struct mplayer_cfg {
  int vo;        // 0 none, 1 xv, 2 x11, 3 gl, 4 sdl
  int ao;        // 0 none, 1 oss, 2 arts, 3 esd, 4 alsa, 5 sdl
  int zoom;      // pass -zoom
  int framedrop; // pass -framedrop
  int idx;       // pass -idx
  int xmmsaudio; // route the audio through the engine's output, by way of the FIFO
  char *extra;   // further options separated by single blanks, or null
};

// What an mplayer -identify run told us about one file.
struct mplayer_info {
  char *filename;
  int video_bitrate;
  int audio_bitrate;
  int total_bitrate;
  char artist[128];
  char name[128];
  long long filesize; // bytes; only looked up when mplayer gave no length
  int length;         // seconds
  char title[260];
  int audio_rate;
  int audio_nch;
  int video_width;
  int video_height;
};

enum { MPLAYER_MAX_ARGS = 64 };

InputPlugin *get_iplugin_info(void);

// Identification (fileinfo.cpp). The result is released with mplayer_free_info.
mplayer_info *mplayer_read_file_info(const char *filename);
void mplayer_free_info(mplayer_info *info);
// Parses captured -identify output; the size fallback looks at the file itself.
void mplayer_parse_identify(mplayer_info *info, const char *output);

// Configuration (config.cpp).
mplayer_cfg *mplayer_read_cfg(void);
void mplayer_free_cfg(mplayer_cfg *cfg);

// The child's argument vector (vector.cpp): MPLAYER_MAX_ARGS entries, the last always null.
char **mplayer_make_vector(const mplayer_cfg *cfg, const char *fifoname, const char *filename);
void mplayer_vector_append(char **vector, const char *arg);
void mplayer_free_vector(char **vector);
}

namespace slaveinput {

// Prints one diagnostic line (or fragment) to standard output at once, so that the messages of
// the plug-in and of the engine keep their order in a shared log.
void say(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

// A file name that starts with '-' would be taken by mplayer as an option; "./" keeps it a name.
// Returns a malloc'd string.
char *mplayer_safe_filename(const char *filename);

// Starts "mplayer" through PATH with the given descriptors as its standard streams (-1 gives
// /dev/null). Returns the child's pid, or -1 when no child could be made. The child prints
// the exec failure on its standard output and exits with status 255, as a failed player would.
pid_t spawn_mplayer(char *const argv[], int in_fd, int out_fd);

// Waits up to graceMs for the child to end, then kills it; always reaps it.
void reap_child(pid_t pid, int graceMs);

// The status-line reader: follows mplayer's "A: <seconds> ..." lines one byte at a time.
struct StatusLine {
  char buf[34] = {0}; // 33 bytes of line, plus a terminator that is never overwritten
  int pos = 1;
  // Feeds one byte; stores a new time in *time when the line holds one.
  void feed(char c, std::atomic<int> &time);
};

} // namespace slaveinput
