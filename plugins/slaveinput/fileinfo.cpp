// File identification: one "mplayer -identify" run per file, read through a pipe from a child
// started with an argument vector, so no file name ever passes through a shell.
#include "slaveinput.h"

#include <glib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kMaxIdentifyOutput = 4000;
// A player stuck on a file (a device, a FIFO, a dead network share) must not hold the engine.
constexpr int kIdentifyTimeoutMs = 15000;

std::string runIdentify(const char *filename) {
  std::string out;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) < 0)
    return out;
  char *name = slaveinput::mplayer_safe_filename(filename);
  char *argv[] = {const_cast<char *>("mplayer"),
                  const_cast<char *>("-slave"),
                  const_cast<char *>("-identify"),
                  const_cast<char *>("-vo"),
                  const_cast<char *>("null"),
                  name,
                  nullptr};
  pid_t pid = slaveinput::spawn_mplayer(argv, -1, fds[1]);
  close(fds[1]);
  g_free(name);
  if (pid < 0) {
    close(fds[0]);
    return out;
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kIdentifyTimeoutMs);
  char buf[512];
  while (out.size() < kMaxIdentifyOutput) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0)
      break;
    struct pollfd p = {fds[0], POLLIN, 0};
    int r = poll(&p, 1, static_cast<int>(left));
    if (r < 0 && errno == EINTR)
      continue;
    if (r <= 0)
      break;
    ssize_t n = read(fds[0], buf, std::min(sizeof buf, kMaxIdentifyOutput - out.size()));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    out.append(buf, static_cast<size_t>(n));
  }
  // Closing our end first lets a child that still talks end on a broken pipe.
  close(fds[0]);
  slaveinput::reap_child(pid, 2000);
  return out;
}

// Copies the text after "key" up to the end of its line, at most 33 characters.
void mplayer_read_to_eol(char *dest, size_t destSize, const char *output, const char *key) {
  const char *at = strstr(output, key);
  if (!at)
    return;
  at += strlen(key);
  size_t n = 0;
  while (n < 33 && n + 1 < destSize && at[n] && at[n] != '\n')
    n++;
  memcpy(dest, at, n);
  dest[n] = '\0';
}

void readInt(const char *output, const char *key, int *value) {
  const char *at = strstr(output, key);
  if (!at)
    return;
  int v;
  if (sscanf(at + strlen(key), "%i", &v) == 1)
    *value = v;
}

} // namespace

extern "C" {

void mplayer_parse_identify(mplayer_info *info, const char *output) {
  mplayer_read_to_eol(info->name, sizeof info->name, output, "Name:");
  mplayer_read_to_eol(info->artist, sizeof info->artist, output, "Artist:");
  readInt(output, "ID_VIDEO_BITRATE=", &info->video_bitrate);
  readInt(output, "ID_VIDEO_WIDTH=", &info->video_width);
  readInt(output, "ID_VIDEO_HEIGHT=", &info->video_height);
  readInt(output, "ID_AUDIO_BITRATE=", &info->audio_bitrate);
  readInt(output, "ID_AUDIO_RATE=", &info->audio_rate);
  readInt(output, "ID_AUDIO_NCH=", &info->audio_nch);
  // Both rates come from the player's text: their sum is taken wide, so no value can overflow.
  const long long total = static_cast<long long>(info->video_bitrate) + info->audio_bitrate;
  info->total_bitrate = static_cast<int>(std::clamp<long long>(total, INT_MIN, INT_MAX));
  if (strstr(output, "ID_LENGTH=")) {
    readInt(output, "ID_LENGTH=", &info->length);
  } else {
    // Without a length from the player, estimate it from the size and the bit rate.
    struct stat st;
    if (info->filename && stat(info->filename, &st) == 0)
      info->filesize = st.st_size;
    if (info->total_bitrate > 0)
      info->length =
          static_cast<int>(std::min<long long>(info->filesize * 8 / info->total_bitrate, INT_MAX));
  }
  if (info->artist[0] || info->name[0]) {
    snprintf(info->title, sizeof info->title, "%s - %s", info->artist, info->name);
  } else {
    gchar *base = g_path_get_basename(info->filename ? info->filename : "");
    if (char *dot = strrchr(base, '.'))
      *dot = '\0';
    snprintf(info->title, sizeof info->title, "%s", base);
    g_free(base);
  }
}

mplayer_info *mplayer_read_file_info(const char *filename) {
  auto *info = static_cast<mplayer_info *>(g_malloc0(sizeof(mplayer_info)));
  info->filename = g_strdup(filename ? filename : "");
  std::string output = runIdentify(info->filename);
  mplayer_parse_identify(info, output.c_str());
  return info;
}

void mplayer_free_info(mplayer_info *info) {
  if (!info)
    return;
  g_free(info->filename);
  g_free(info);
}

} // extern "C"
