// The plug-in record and the play loop. Each song runs one mplayer child in slave mode: commands
// go to it through a pipe on its standard input, its status lines come back on its standard
// output, and in FIFO mode its PCM arrives through a named pipe and goes to the engine's output.
#include "slaveinput.h"

#include <xmms/xmmsctrl.h>

#include <glib.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using slaveinput::say;

namespace {

// How long a child gets to obey "quit" (or to finish after its audio ended) before it is
// killed, and how often the play loop looks at the stop flag while nothing arrives.
constexpr int kQuitGraceMs = 2000;
constexpr int kPollMs = 20;
constexpr int kAudioBlock = 4096;
constexpr int kWriterReleaseSeconds = 1;

// Everything one play loop needs, handed to its thread so that a later song never shares it.
struct LoopArgs {
  int cmd_read = -1; // becomes mplayer's standard input
  bool ready = true; // false when the song cannot be played (no FIFO, no output)
  bool fifo_mode = false;
  bool audio_open = false;
  unsigned serial = 0; // which play_file started this loop
  char *fifoname = nullptr;
  char **vector = nullptr;
};

} // namespace

extern "C" {

InputPlugin *mplayer_ip = nullptr;
char *mplayer_file = nullptr;
mplayer_info *mplayer_current_info = nullptr;
std::atomic<int> mplayer_current_time{0};
char *mplayer_fifoname = nullptr;
std::atomic<int> mplayer_playing{0};
mplayer_cfg *mplayer_current_cfg = nullptr;
int mplayer_pipe[2] = {-1, -1};
pthread_t mplayer_tid;
}

namespace {

// The engine may call the entries from several threads; the ones that touch the child and its
// pipes take turns.
std::mutex controlLock;
// Bumped by every play_file: a loop that ends by itself closes the output only while its own song
// is still the current one.
unsigned songSerial = 0;
bool loopRunning = false; // mplayer_tid is a thread not yet joined
bool audioOpen = false;   // the current song opened the output
// A loop that ended by itself may still be asking the engine for the next entry while the
// engine, answering that, starts the next song here: it is joined later instead of waited for.
pthread_t retiredTid;
bool retiredPending = false;

// Writes one slave command. mplayer may already be gone: a broken pipe must not raise SIGPIPE
// in the engine, so the signal is held back for this thread and a pending one is consumed.
void sendCommand(const char *text) {
  int fd = mplayer_pipe[1];
  if (fd < 0)
    return;
  sigset_t pipeSet, old;
  sigemptyset(&pipeSet);
  sigaddset(&pipeSet, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSet, &old);
  ssize_t n;
  do {
    n = write(fd, text, strlen(text));
  } while (n < 0 && errno == EINTR);
  if (n < 0 && errno == EPIPE) {
    struct timespec zero = {0, 0};
    sigtimedwait(&pipeSet, nullptr, &zero);
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

void closeFd(int &fd) {
  if (fd >= 0)
    close(fd);
  fd = -1;
}

// The user name for the FIFO path; a slash in it must not lead the path elsewhere.
char *fifoPathFor(pid_t pid) {
  const char *user = nullptr;
  for (const char *var : {"LOGNAME", "USERNAME", "USER"}) {
    user = getenv(var);
    if (user)
      break;
  }
  if (!user)
    return g_strdup_printf("/tmp/slaveinput-%d", static_cast<int>(pid));
  char *clean = g_strdup(user);
  for (char *p = clean; *p; ++p)
    if (*p == '/')
      *p = '_';
  char *path = g_strdup_printf("/tmp/slaveinput-%s-%d", clean, static_cast<int>(pid));
  g_free(clean);
  return path;
}

// /tmp is shared with everybody: a name that already exists is used only when it is a FIFO of
// ours that nobody else may open.
bool isOurPrivateFifo(const struct stat &st) {
  return S_ISFIFO(st.st_mode) && st.st_uid == getuid() && (st.st_mode & 07777) == 0600;
}

bool prepareFifo() {
  if (!mplayer_fifoname)
    mplayer_fifoname = fifoPathFor(getpid());
  if (mkfifo(mplayer_fifoname, 0600) == 0) {
    chmod(mplayer_fifoname, 0600); // whatever the umask took away
    return true;
  }
  struct stat st;
  if (errno == EEXIST && lstat(mplayer_fifoname, &st) == 0 && isOurPrivateFifo(st))
    return true;
  say("slaveinput: refusing to use %s for audio: it exists and is not a private FIFO of ours\n",
      mplayer_fifoname);
  return false;
}

int openFifo(const char *path) {
  // Non-blocking, so that a player that dies before opening its end cannot hold us here.
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0)
    return -1;
  struct stat st;
  if (fstat(fd, &st) < 0 || !isOurPrivateFifo(st)) {
    close(fd);
    return -1;
  }
  return fd;
}

void pumpAudio(const char *data, int n) {
  OutputPlugin *out = mplayer_ip ? mplayer_ip->output : nullptr;
  if (out && out->write_audio)
    out->write_audio(const_cast<char *>(data), n);
  say(" %i ", n);
}

// Reads what the FIFO holds now. Returns false at its end.
bool readFifo(int fd, bool writerGone) {
  char block[kAudioBlock];
  ssize_t n = read(fd, block, sizeof block);
  if (n > 0) {
    pumpAudio(block, static_cast<int>(n));
    return true;
  }
  // Zero means the end only once a writer has come and gone; before that it is "not yet".
  return !(n == 0 && writerGone);
}

void readStatus(int &fd, slaveinput::StatusLine &line) {
  char buf[256];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR)
      continue;
    if (n == 0)
      closeFd(fd); // the child closed its output: nothing more will come
    if (n <= 0)
      return;
    for (ssize_t i = 0; i < n; ++i)
      line.feed(buf[i], mplayer_current_time);
  }
}

void *playLoop(void *arg) {
  auto *args = static_cast<LoopArgs *>(arg);
  pid_t child = -1;
  int statusFd = -1, fifoFd = -1;
  bool fifoWriterGone = false;
  if (args->ready) {
    int status[2];
    if (pipe2(status, O_CLOEXEC) == 0) {
      child = slaveinput::spawn_mplayer(args->vector, args->cmd_read, status[1]);
      close(status[1]);
      statusFd = status[0];
      fcntl(statusFd, F_SETFL, fcntl(statusFd, F_GETFL) | O_NONBLOCK);
    }
    if (child > 0 && args->fifo_mode) {
      fifoFd = openFifo(args->fifoname);
      if (fifoFd < 0)
        say("slaveinput: cannot read the audio FIFO %s\n", args->fifoname);
    }
  }
  closeFd(args->cmd_read);

  bool childEnded = child <= 0;
  slaveinput::StatusLine line;
  while (!childEnded && mplayer_playing == 1) {
    int status;
    if (waitpid(child, &status, WNOHANG) == child) {
      childEnded = true;
      break;
    }
    struct pollfd p[2];
    int n = 0, fifoAt = -1, statusAt = -1;
    if (fifoFd >= 0) {
      fifoAt = n;
      p[n++] = {fifoFd, POLLIN, 0};
    }
    if (statusFd >= 0) {
      statusAt = n;
      p[n++] = {statusFd, POLLIN, 0};
    }
    if (poll(p, static_cast<nfds_t>(n), kPollMs) <= 0)
      continue;
    if (fifoAt >= 0 && p[fifoAt].revents) {
      fifoWriterGone = (p[fifoAt].revents & POLLHUP) != 0;
      if (!readFifo(fifoFd, fifoWriterGone))
        break;
    }
    if (statusAt >= 0 && p[statusAt].revents)
      readStatus(statusFd, line);
  }

  bool stopped = mplayer_playing != 1;
  if (childEnded && !stopped && fifoFd >= 0) {
    // The player has exited, but what it wrote last is still in the FIFO: the song's end.
    while (readFifo(fifoFd, true)) {
      struct pollfd p = {fifoFd, POLLIN, 0};
      if (poll(&p, 1, 0) <= 0)
        break;
    }
  }
  // Closing the FIFO first frees a player blocked writing to it, so it can obey "quit".
  closeFd(fifoFd);
  if (!childEnded)
    slaveinput::reap_child(child, kQuitGraceMs);
  closeFd(statusFd);

  // The song ended by itself (or could not start): the engine moves on to the next entry.
  OutputPlugin *out = mplayer_ip ? mplayer_ip->output : nullptr;
  // Let the last half second the output holds be heard before it is closed; a stop cuts it.
  if (args->audio_open && out && out->buffer_playing)
    while (mplayer_playing == 1 && out->buffer_playing())
      usleep(10000);
  // Closed under the control lock, so that a stop or the next song's play cannot come between.
  // A stop holds the lock while it waits for this thread: then the stop does the closing.
  bool ended = false;
  for (;;) {
    if (controlLock.try_lock()) {
      int expected = 1;
      if (args->serial == songSerial && mplayer_playing.compare_exchange_strong(expected, 0)) {
        if (args->audio_open && out && out->close_audio)
          out->close_audio();
        audioOpen = false;
        ended = true;
      }
      controlLock.unlock();
      break;
    }
    if (mplayer_playing != 1)
      break;
    usleep(1000);
  }
  if (ended)
    xmms_remote_playlist_next(0);
  mplayer_free_vector(args->vector);
  g_free(args->fifoname);
  delete args;
  return nullptr;
}

// Joins the previous loop if it is done; one still on its way out is joined later.
void retireLoopLocked() {
  if (!loopRunning)
    return;
  if (retiredPending) {
    pthread_join(retiredTid, nullptr);
    retiredPending = false;
  }
  if (pthread_tryjoin_np(mplayer_tid, nullptr) != 0) {
    retiredTid = mplayer_tid;
    retiredPending = true;
  }
  loopRunning = false;
  closeFd(mplayer_pipe[1]);
  closeFd(mplayer_pipe[0]);
}

void closeAudioLocked() {
  if (audioOpen && mplayer_ip && mplayer_ip->output && mplayer_ip->output->close_audio)
    mplayer_ip->output->close_audio();
  audioOpen = false;
}

void stopLocked() {
  int expected = 1;
  if (!mplayer_playing.compare_exchange_strong(expected, 0)) {
    say("Confusion: Restopped!\n");
    retireLoopLocked();
    audioOpen = false; // a loop that ended by itself closed the output
    return;
  }
  sendCommand("quit\n");
  if (loopRunning) {
    // The output is closed once the loop no longer writes to it; but a loop held inside the
    // output's write_audio (an output that waits while it is paused) is released by closing it.
    struct timespec deadline;
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += kWriterReleaseSeconds;
    if (pthread_timedjoin_np(mplayer_tid, nullptr, &deadline) != 0) {
      closeAudioLocked();
      pthread_join(mplayer_tid, nullptr);
    }
    loopRunning = false;
  }
  closeFd(mplayer_pipe[1]);
  closeFd(mplayer_pipe[0]);
  closeAudioLocked();
}

} // namespace

extern "C" {

static void mplayer_init(void) {}

static int mplayer_is_our_file(char *filename) {
  if (!filename)
    return 0;
  const char *ext = strrchr(filename, '.');
  if (!ext)
    return 0;
  return !g_ascii_strcasecmp(ext, ".mp4") || !g_ascii_strcasecmp(ext, ".m4a") ||
         !g_ascii_strcasecmp(ext, ".aac");
}

static void mplayer_play_file(char *filename) {
  std::lock_guard<std::mutex> guard(controlLock);
  say("debug-play-in\n");
  if (mplayer_playing == 1) {
    // A second song must not share the first one's pipes and child: the first one ends here.
    say("Duplicate call!! -- Panic ");
    stopLocked();
  }
  retireLoopLocked();
  g_free(mplayer_file);
  mplayer_file = g_strdup(filename ? filename : "");
  auto *args = new LoopArgs;
  if (pipe2(mplayer_pipe, O_CLOEXEC) < 0) {
    mplayer_pipe[0] = mplayer_pipe[1] = -1;
    args->ready = false;
  }
  args->cmd_read = mplayer_pipe[0];
  mplayer_pipe[0] = -1; // the loop owns the read end from here on

  mplayer_free_info(mplayer_current_info);
  mplayer_current_info = mplayer_read_file_info(mplayer_file);
  say("debug-play-fileinfo-done\n");
  mplayer_info *info = mplayer_current_info;
  say("Setting info:\n%sTerm\n%i\n%i\n%i\n%i\n\n", info->title, info->length * 1000,
      info->audio_bitrate, info->audio_rate, info->audio_nch);
  if (mplayer_ip->set_info)
    mplayer_ip->set_info(info->title, info->length * 1000, info->audio_bitrate, info->audio_rate,
                         info->audio_nch);
  say("debug-play-sent-info\n");

  mplayer_free_cfg(mplayer_current_cfg);
  say("debug- reading configfile\n");
  mplayer_current_cfg = mplayer_read_cfg();
  say("debug- read configfile\n");

  mplayer_current_time = 0;
  audioOpen = false;
  if (mplayer_current_cfg->xmmsaudio) {
    args->fifo_mode = true;
    OutputPlugin *out = mplayer_ip->output;
    if (!prepareFifo()) {
      args->ready = false;
    } else if (!out || !out->open_audio ||
               !out->open_audio(FMT_S16_LE, info->audio_rate, info->audio_nch)) {
      say("slaveinput: the engine's audio output could not be opened\n");
      args->ready = false;
    } else {
      audioOpen = true;
    }
    args->fifoname = g_strdup(mplayer_fifoname);
  }
  args->audio_open = audioOpen;
  args->serial = ++songSerial;
  args->vector = mplayer_make_vector(mplayer_current_cfg, mplayer_fifoname, mplayer_file);

  mplayer_playing = 1;
  say("debug-play-creating-thread\n");
  if (pthread_create(&mplayer_tid, nullptr, playLoop, args) == 0) {
    loopRunning = true;
  } else {
    say("slaveinput: cannot start the play loop\n");
    mplayer_playing = 0;
    closeFd(args->cmd_read);
    mplayer_free_vector(args->vector);
    g_free(args->fifoname);
    delete args;
  }
  say("debug-play-out\n\n");
}

static void mplayer_stop(void) {
  std::lock_guard<std::mutex> guard(controlLock);
  stopLocked();
}

static void mplayer_pause(short) {
  std::lock_guard<std::mutex> guard(controlLock);
  sendCommand("pause\n");
}

static void mplayer_seek(int seconds) {
  std::lock_guard<std::mutex> guard(controlLock);
  if (mplayer_playing != 1)
    return;
  char command[32];
  snprintf(command, sizeof command, "seek %i\n", seconds - mplayer_current_time.load());
  sendCommand(command);
}

static int mplayer_get_time(void) { return mplayer_current_time * 1000; }

static void mplayer_get_song_info(char *filename, char **title, int *length) {
  mplayer_info *info = mplayer_read_file_info(filename);
  if (title)
    *title = strdup(info->title); // the engine releases it with free()
  if (length)
    *length = info->length * 1000;
  mplayer_free_info(info);
}

static void mplayer_cleanup(void) {
  std::lock_guard<std::mutex> guard(controlLock);
  if (mplayer_playing == 1)
    stopLocked();
  retireLoopLocked();
  if (retiredPending) {
    pthread_join(retiredTid, nullptr);
    retiredPending = false;
  }
  if (mplayer_fifoname) {
    // Only our own FIFO goes: a file someone else put in its place is not ours to delete.
    struct stat st;
    if (lstat(mplayer_fifoname, &st) == 0 && isOurPrivateFifo(st))
      unlink(mplayer_fifoname);
    g_free(mplayer_fifoname);
    mplayer_fifoname = nullptr;
  }
  mplayer_free_info(mplayer_current_info);
  mplayer_current_info = nullptr;
  mplayer_free_cfg(mplayer_current_cfg);
  mplayer_current_cfg = nullptr;
  g_free(mplayer_file);
  mplayer_file = nullptr;
}

__attribute__((visibility("default"))) InputPlugin *get_iplugin_info(void) {
  static std::once_flag once;
  std::call_once(once, [] {
    mplayer_ip = static_cast<InputPlugin *>(g_malloc0(sizeof(InputPlugin)));
    mplayer_ip->description = g_strdup("MPlayer Plugin for Xmms");
    mplayer_ip->init = mplayer_init;
    mplayer_ip->is_our_file = mplayer_is_our_file;
    mplayer_ip->play_file = mplayer_play_file;
    mplayer_ip->stop = mplayer_stop;
    mplayer_ip->pause = mplayer_pause;
    mplayer_ip->seek = mplayer_seek;
    mplayer_ip->get_time = mplayer_get_time;
    mplayer_ip->cleanup = mplayer_cleanup;
    mplayer_ip->get_song_info = mplayer_get_song_info;
  });
  return mplayer_ip;
}

} // extern "C"

// Last of the plug-ins that claim files by name: the MP4 plug-in decodes the same names itself.
VELORA_INPUT_INFO(40, "m4a mp4 aac", "audio/mp4 audio/x-m4a audio/aac")

// mplayer's seeks are relative to where it reports being and the stream may refuse them.
VELORA_EXPORT_C unsigned velora_input_capabilities(void) { return VELORA_INPUT_RELATIVE_SEEK; }
