// Client side of the remote-control calls. Each call waits (bounded) for its reply, so a dead or
// stuck engine can never hang the caller. A process keeps one connection open for its calls (the
// status poll of a front-end makes many a second); a call made while another thread holds it
// gets a connection of its own for one request, as every call did before.
#include "protocol.h"
#include "xmms/xmmsctrl.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <iterator>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace xmms::proto;

namespace {

int connectEngine(const std::string &path) {
  struct sockaddr_un addr = {};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path)
    return -1;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0)
    return -1;
  if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) < 0) {
    if (errno != EAGAIN && errno != EINPROGRESS) {
      ::close(fd);
      return -1;
    }
    struct pollfd p = {fd, POLLOUT, 0};
    int err = 0;
    socklen_t len = sizeof err;
    if (poll(&p, 1, kReplyTimeoutMs) <= 0 || getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) < 0 ||
        err != 0) {
      ::close(fd);
      return -1;
    }
  }
  // Only talk to an engine of our own user: a socket in /tmp could be anyone's.
  struct ucred cred = {};
  socklen_t len = sizeof cred;
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) < 0 || cred.uid != getuid()) {
    ::close(fd);
    return -1;
  }
  return fd;
}

using Reply = std::optional<std::vector<uint8_t>>;

// One request and its reply on fd. A refused request gives an empty optional as a failure does.
enum class Outcome { Answered, Lost, TimedOut };
Outcome exchange(int fd, Command cmd, const Writer &args, Reply &result, uint16_t version) {
  if (!writeMessage(fd, static_cast<uint16_t>(cmd), args.bytes(), kReplyTimeoutMs, version))
    return errno == ETIMEDOUT ? Outcome::TimedOut : Outcome::Lost;
  auto reply = readMessage(fd, kReplyTimeoutMs);
  if (!reply)
    return errno == ETIMEDOUT ? Outcome::TimedOut : Outcome::Lost;
  if (reply->code == static_cast<uint16_t>(Status::Ok))
    result = std::move(reply->payload);
  else
    result.reset();
  return Outcome::Answered;
}

Reply oneShot(const std::string &path, Command cmd, const Writer &args) {
  int fd = connectEngine(path);
  if (fd < 0)
    return std::nullopt;
  Reply result;
  exchange(fd, cmd, args, result, kVersion);
  ::close(fd);
  return result;
}

// The kept connection: to one socket, from one process (a forked child must not share it).
struct Kept {
  std::mutex m;
  int fd = -1;
  std::string path;
  pid_t pid = 0;
  void drop() {
    if (fd >= 0)
      ::close(fd);
    fd = -1;
  }
} g_kept;

// Sends one request; on success returns the reply payload.
Reply call(int session, Command cmd, const Writer &args = Writer()) {
  std::string path = socketPath(session);
  std::unique_lock<std::mutex> lk(g_kept.m, std::try_to_lock);
  if (!lk)
    return oneShot(path, cmd, args);
  if (g_kept.fd >= 0 && (g_kept.path != path || g_kept.pid != ::getpid()))
    g_kept.drop();
  // A kept connection the engine has closed since (it closes idle ones, or it restarted) is
  // opened again once. The engine takes no request from a connection it has closed, so the
  // request is not carried out twice; a reply that is only late is not asked for again. A new
  // connection closed unanswered is an engine that takes one request per connection.
  for (int attempt = 0; attempt < 2; ++attempt) {
    bool fresh = g_kept.fd < 0;
    if (fresh) {
      g_kept.fd = connectEngine(path);
      if (g_kept.fd < 0)
        return std::nullopt;
      g_kept.path = path;
      g_kept.pid = ::getpid();
    }
    Reply result;
    Outcome o = exchange(g_kept.fd, cmd, args, result, kKeptVersion);
    if (o == Outcome::Answered)
      return result;
    g_kept.drop();
    if (o == Outcome::TimedOut)
      return std::nullopt;
    if (fresh)
      return oneShot(path, cmd, args);
  }
  return std::nullopt;
}

void send(int session, Command cmd, const Writer &args = Writer()) {
  (void)call(session, cmd, args);
}

int intCall(int session, Command cmd, const Writer &args = Writer()) {
  auto r = call(session, cmd, args);
  int32_t v = 0;
  if (!r)
    return 0;
  Reader rd(r->data(), r->size());
  return rd.getInt(v) ? v : 0;
}

float floatCall(int session, Command cmd, const Writer &args = Writer()) {
  auto r = call(session, cmd, args);
  float v = 0;
  if (!r)
    return 0;
  Reader rd(r->data(), r->size());
  return rd.getFloat(v) ? v : 0.0f;
}

// The next string of a reply as a malloc'd copy; null for a null string or a short reply.
char *takeString(Reader &rd) {
  std::string s;
  bool present = false;
  if (!rd.getString(s, present) || !present)
    return nullptr;
  char *out = static_cast<char *>(std::malloc(s.size() + 1));
  if (!out)
    return nullptr;
  std::memcpy(out, s.c_str(), s.size() + 1);
  return out;
}

char *stringCall(int session, Command cmd, const Writer &args) {
  auto r = call(session, cmd, args);
  if (!r)
    return nullptr;
  Reader rd(r->data(), r->size());
  return takeString(rd);
}

// A reply of a count and a text (null when the count is 0); *text receives a malloc'd copy.
int countAndText(int session, Command cmd, char **text) {
  if (text)
    *text = nullptr;
  auto r = call(session, cmd);
  if (!r)
    return 0;
  Reader rd(r->data(), r->size());
  int32_t count = 0;
  if (!rd.getInt(count) || count < 0)
    return 0;
  char *got = takeString(rd);
  if (!rd.atEnd()) {
    std::free(got);
    return 0;
  }
  if (text)
    *text = got;
  else
    std::free(got);
  return count;
}

Writer intArg(int v) {
  Writer w;
  w.putInt(v);
  return w;
}

} // namespace

extern "C" {

int xmms_remote_get_version(int session) { return intCall(session, Command::GetVersion); }
void xmms_remote_quit(int session) { send(session, Command::Quit); }
int xmms_remote_is_running(int session) { return xmms_remote_get_version(session) != 0; }

void xmms_remote_play(int session) { send(session, Command::Play); }
void xmms_remote_pause(int session) { send(session, Command::Pause); }
void xmms_remote_stop(int session) { send(session, Command::Stop); }
void xmms_remote_play_pause(int session) { send(session, Command::PlayPause); }
int xmms_remote_is_playing(int session) { return intCall(session, Command::IsPlaying) != 0; }
int xmms_remote_is_paused(int session) { return intCall(session, Command::IsPaused) != 0; }

void xmms_remote_playlist_prev(int session) { send(session, Command::PlaylistPrev); }
void xmms_remote_playlist_next(int session) { send(session, Command::PlaylistNext); }
int xmms_remote_get_playlist_pos(int session) { return intCall(session, Command::GetPlaylistPos); }
void xmms_remote_set_playlist_pos(int session, int pos) {
  send(session, Command::SetPlaylistPos, intArg(pos));
}
int xmms_remote_get_playlist_length(int session) {
  return intCall(session, Command::GetPlaylistLength);
}
char *xmms_remote_get_playlist_file(int session, int pos) {
  return stringCall(session, Command::GetPlaylistFile, intArg(pos));
}
char *xmms_remote_get_playlist_title(int session, int pos) {
  return stringCall(session, Command::GetPlaylistTitle, intArg(pos));
}
int xmms_remote_get_playlist_time(int session, int pos) {
  return intCall(session, Command::GetPlaylistTime, intArg(pos));
}

int xmms_remote_get_output_time(int session) { return intCall(session, Command::GetOutputTime); }
void xmms_remote_jump_to_time(int session, int pos) {
  send(session, Command::JumpToTime, intArg(pos));
}
void xmms_remote_get_info(int session, int *rate, int *freq, int *nch) {
  int32_t v[3] = {0, 0, 0};
  if (auto r = call(session, Command::GetInfo)) {
    Reader rd(r->data(), r->size());
    if (!(rd.getInt(v[0]) && rd.getInt(v[1]) && rd.getInt(v[2])))
      v[0] = v[1] = v[2] = 0;
  }
  if (rate)
    *rate = v[0];
  if (freq)
    *freq = v[1];
  if (nch)
    *nch = v[2];
}

int xmms_remote_get_status(int session, xmms_remote_status *status) {
  int32_t v[8] = {};
  bool ok = false;
  if (auto r = call(session, Command::GetStatus)) {
    Reader rd(r->data(), r->size());
    ok = true;
    for (int32_t &x : v)
      ok = ok && rd.getInt(x);
    ok = ok && rd.atEnd();
    if (!ok)
      std::fill(std::begin(v), std::end(v), 0);
  }
  if (status)
    *status = {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]};
  return ok ? 1 : 0;
}

void xmms_remote_set_speed(int session, float speed) {
  Writer w;
  w.putFloat(speed);
  send(session, Command::SetSpeed, w);
}
float xmms_remote_get_speed(int session) { return floatCall(session, Command::GetSpeed); }
void xmms_remote_set_replaygain_mode(int session, int mode) {
  send(session, Command::SetReplayGainMode, intArg(mode));
}
int xmms_remote_get_output_lost(int session, char **reason) {
  return countAndText(session, Command::GetOutputLost, reason);
}
int xmms_remote_get_unplayable(int session, char **file) {
  return countAndText(session, Command::GetUnplayable, file);
}
int xmms_remote_get_replaygain_mode(int session) {
  auto r = call(session, Command::GetReplayGainMode);
  int32_t v = -1;
  if (!r)
    return -1;
  Reader rd(r->data(), r->size());
  return rd.getInt(v) && rd.atEnd() ? v : -1;
}

int xmms_remote_get_main_volume(int session) { return intCall(session, Command::GetMainVolume); }
void xmms_remote_set_main_volume(int session, int v) {
  send(session, Command::SetMainVolume, intArg(v));
}

void xmms_remote_toggle_repeat(int session) { send(session, Command::ToggleRepeat); }
void xmms_remote_toggle_shuffle(int session) { send(session, Command::ToggleShuffle); }
int xmms_remote_is_repeat(int session) { return intCall(session, Command::IsRepeat) != 0; }
int xmms_remote_is_shuffle(int session) { return intCall(session, Command::IsShuffle) != 0; }

int xmms_remote_is_eq_active(int session) { return intCall(session, Command::IsEqActive) != 0; }
void xmms_remote_toggle_eq_active(int session) { send(session, Command::ToggleEqActive); }

void xmms_remote_get_eq(int session, float *preamp, float **bands) {
  if (preamp)
    *preamp = 0;
  if (bands)
    *bands = nullptr;
  auto r = call(session, Command::GetEq);
  if (!r)
    return;
  Reader rd(r->data(), r->size());
  float values[11];
  for (float &v : values)
    if (!rd.getFloat(v))
      return;
  if (preamp)
    *preamp = values[0];
  if (bands) {
    *bands = static_cast<float *>(std::malloc(10 * sizeof(float)));
    if (*bands)
      std::memcpy(*bands, values + 1, 10 * sizeof(float));
  }
}
float xmms_remote_get_eq_preamp(int session) { return floatCall(session, Command::GetEqPreamp); }
float xmms_remote_get_eq_band(int session, int band) {
  return floatCall(session, Command::GetEqBand, intArg(band));
}
void xmms_remote_set_eq(int session, float preamp, float *bands) {
  if (!bands)
    return;
  Writer w;
  w.putFloat(preamp);
  for (int i = 0; i < 10; ++i)
    w.putFloat(bands[i]);
  send(session, Command::SetEq, w);
}
void xmms_remote_set_eq_preamp(int session, float preamp) {
  Writer w;
  w.putFloat(preamp);
  send(session, Command::SetEqPreamp, w);
}
void xmms_remote_set_eq_band(int session, int band, float value) {
  Writer w;
  w.putInt(band);
  w.putFloat(value);
  send(session, Command::SetEqBand, w);
}

} // extern "C"
