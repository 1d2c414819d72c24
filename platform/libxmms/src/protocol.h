// The wire protocol between libxmms clients and the xmms engine over a per-user Unix stream
// socket: one request and one reply per connection, unless the request's header says version
// kKeptVersion, in which case the engine keeps the connection open after its reply for the same
// client's next request (replies always say kVersion; an engine that knows only kVersion closes
// such a connection unanswered). Every message is a fixed header followed by a payload whose
// length the header states; both sides refuse anything larger than kMaxPayload.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace xmms::proto {

constexpr uint32_t kMagic = 0x534d4d58; // "XMMS" in little-endian byte order
constexpr uint16_t kVersion = 1;
constexpr uint16_t kKeptVersion = 2;
constexpr uint32_t kMaxPayload = 64 * 1024;
constexpr int kEngineVersion = 0x010203; // what get_version answers: 1.2.3
constexpr int kReplyTimeoutMs = 2000;

enum class Command : uint16_t {
  GetVersion = 1,
  Quit,
  Play,
  Pause,
  Stop,
  PlayPause,
  IsPlaying,
  IsPaused,
  PlaylistPrev,
  PlaylistNext,
  GetPlaylistPos,
  SetPlaylistPos, // int pos
  GetPlaylistLength,
  GetPlaylistFile,  // int pos -> string (absent when out of range)
  GetPlaylistTitle, // int pos -> string
  GetPlaylistTime,  // int pos -> int ms
  GetOutputTime,
  JumpToTime, // int ms
  GetInfo,    // -> int rate, int freq, int nch
  GetMainVolume,
  SetMainVolume, // int 0..100
  ToggleRepeat,
  ToggleShuffle,
  IsRepeat,
  IsShuffle,
  IsEqActive,
  ToggleEqActive,
  GetEq, // -> float preamp, float bands[10]
  GetEqPreamp,
  GetEqBand,   // int band -> float
  SetEq,       // float preamp, float bands[10]
  SetEqPreamp, // float
  SetEqBand,   // int band, float value
  // -> int playing, paused, pos, output ms, length ms of pos, rate, freq, nch: a front-end's
  // whole status poll in one round trip
  GetStatus,
  // Playback speed, 0.5 to 2.0 in steps of 0.05 with the pitch kept; song time stays song time.
  GetSpeed, // -> float
  SetSpeed, // float
  // ReplayGain: 0 off, 1 track, 2 album, 3 auto (album while consecutive songs share an album).
  GetReplayGainMode, // -> int
  SetReplayGainMode, // int
  // -> int count, string reason (null when count is 0): the chosen audio output given up for
  // the null output because it stopped taking audio, how often since the engine started
  GetOutputLost,
  // -> int count, string file (null when count is 0): playlist entries that ended without a
  // sample heard (broken, empty, not audio) since the engine started, and the last of them
  GetUnplayable,
  Count // one past the last command
};

enum class Status : uint16_t { Ok = 0, Refused = 1 };

struct Header {
  uint32_t magic;
  uint16_t version;
  uint16_t code; // Command in a request, Status in a reply
  uint32_t length;
};
static_assert(sizeof(Header) == 12);

// Builds a payload. Integers and floats travel in host byte order: both ends share one machine.
class Writer {
public:
  void putInt(int32_t v) { append(&v, sizeof v); }
  void putFloat(float v) { append(&v, sizeof v); }
  void putString(const char *s) {
    if (!s) {
      putU32(0xffffffffu);
      return;
    }
    uint32_t n = static_cast<uint32_t>(std::strlen(s));
    putU32(n);
    append(s, n);
  }
  const std::vector<uint8_t> &bytes() const { return buf_; }

private:
  void putU32(uint32_t v) { append(&v, sizeof v); }
  void append(const void *p, size_t n) {
    size_t old = buf_.size();
    buf_.resize(old + n);
    if (n)
      std::memcpy(buf_.data() + old, p, n);
  }
  std::vector<uint8_t> buf_;
};

// Reads a payload; every read checks the remaining length and fails instead of overrunning.
class Reader {
public:
  Reader(const uint8_t *data, size_t size) : p_(data), end_(data + size) {}
  bool getInt(int32_t &v) { return take(&v, sizeof v); }
  bool getFloat(float &v) { return take(&v, sizeof v); }
  // A null string (sent for "no value") sets present = false.
  bool getString(std::string &s, bool &present) {
    uint32_t n;
    if (!take(&n, sizeof n))
      return false;
    if (n == 0xffffffffu) {
      present = false;
      s.clear();
      return true;
    }
    if (n > static_cast<size_t>(end_ - p_))
      return false;
    s.assign(reinterpret_cast<const char *>(p_), n);
    p_ += n;
    present = true;
    return true;
  }
  bool atEnd() const { return p_ == end_; }

private:
  bool take(void *out, size_t n) {
    if (n > static_cast<size_t>(end_ - p_))
      return false;
    std::memcpy(out, p_, n);
    p_ += n;
    return true;
  }
  const uint8_t *p_;
  const uint8_t *end_;
};

// $XDG_RUNTIME_DIR/xmms_<user>.<session>, or /tmp/xmms_<user>.<session> without a runtime folder.
std::string socketPath(int session);
// The engine's pid file beside its socket.
inline std::string pidPath(int session) { return socketPath(session) + ".pid"; }

// Whole-buffer I/O on a blocking or non-blocking descriptor, bounded by a deadline in
// milliseconds (negative = no deadline). False on error, end of file or timeout; errno then tells
// which (ETIMEDOUT for the deadline, ECONNRESET for an end of file).
bool writeAll(int fd, const void *data, size_t size, int timeoutMs);
bool readAll(int fd, void *data, size_t size, int timeoutMs);

// Reads one message (header + payload) with all checks applied; nullopt on anything malformed.
struct Message {
  uint16_t code;
  std::vector<uint8_t> payload;
};
std::optional<Message> readMessage(int fd, int timeoutMs);
bool writeMessage(int fd, uint16_t code, const std::vector<uint8_t> &payload, int timeoutMs,
                  uint16_t version = kVersion);

} // namespace xmms::proto
