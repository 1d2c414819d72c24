// The remote-control client against a small stand-in server speaking the wire protocol.
#include "protocol.h"
#include "testenv.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <xmms/xmmsctrl.h>

using namespace xmms::proto;
using Clock = std::chrono::steady_clock;

namespace {

// Listens on the session socket; answers each request with handler(message) -> reply bytes
// (written raw, so tests can send malformed replies). An empty optional means "never answer".
class StandInServer {
public:
  using Handler = std::function<std::optional<std::vector<uint8_t>>(const Message &)>;
  explicit StandInServer(Handler h) : handler_(std::move(h)) {
    fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr = {};
    addr.sun_family = AF_UNIX;
    std::string path = socketPath(0);
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    EXPECT_EQ(listen(fd_, 8), 0);
    thread_ = std::thread([this] { loop(); });
  }
  ~StandInServer() {
    stop_ = true;
    thread_.join();
    close(fd_);
  }
  std::vector<uint16_t> seen; // commands received, in order

private:
  void loop() {
    while (!stop_) {
      pollfd p = {fd_, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0)
        continue;
      int c = accept(fd_, nullptr, nullptr);
      if (c < 0)
        continue;
      auto msg = readMessage(c, 1000);
      if (msg) {
        seen.push_back(msg->code);
        auto reply = handler_(*msg);
        if (reply)
          writeAll(c, reply->data(), reply->size(), 1000);
        else
          while (!stop_) // hold the connection open without answering
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      close(c);
    }
  }
  Handler handler_;
  int fd_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

std::vector<uint8_t> frame(const Writer &w, uint32_t lengthOverride = 0) {
  Header h{kMagic, kVersion, 0, static_cast<uint32_t>(w.bytes().size())};
  if (lengthOverride)
    h.length = lengthOverride;
  std::vector<uint8_t> out(sizeof h + w.bytes().size());
  std::memcpy(out.data(), &h, sizeof h);
  if (!w.bytes().empty())
    std::memcpy(out.data() + sizeof h, w.bytes().data(), w.bytes().size());
  return out;
}

} // namespace

TEST(Remote, RoundTripsArgumentsAndResults) {
  velora::test::TempHome home;
  int setPos = -1, jump = -1;
  float preamp = 0, bands[10] = {}, bandValue = 0;
  int bandIndex = -1;
  StandInServer server([&](const Message &m) -> std::optional<std::vector<uint8_t>> {
    Reader in(m.payload.data(), m.payload.size());
    Writer out;
    switch (static_cast<Command>(m.code)) {
    case Command::GetVersion:
      out.putInt(kEngineVersion);
      break;
    case Command::IsPlaying:
      out.putInt(1);
      break;
    case Command::GetPlaylistPos:
      out.putInt(4);
      break;
    case Command::SetPlaylistPos:
      in.getInt(setPos);
      break;
    case Command::JumpToTime:
      in.getInt(jump);
      break;
    case Command::GetPlaylistFile: {
      int32_t pos = 0;
      in.getInt(pos);
      out.putString(pos == 2 ? "/music/Gr\xc3\xbcn.m4a" : nullptr);
      break;
    }
    case Command::GetInfo:
      out.putInt(128000), out.putInt(44100), out.putInt(2);
      break;
    case Command::GetEqBand:
      out.putFloat(-7.5f);
      break;
    case Command::GetEq:
      for (int i = 0; i < 11; ++i)
        out.putFloat(static_cast<float>(i));
      break;
    case Command::SetEq:
      in.getFloat(preamp);
      for (float &b : bands)
        in.getFloat(b);
      break;
    case Command::SetEqBand:
      in.getInt(bandIndex), in.getFloat(bandValue);
      break;
    default:
      break;
    }
    return frame(out);
  });

  EXPECT_EQ(xmms_remote_get_version(0), kEngineVersion);
  EXPECT_TRUE(xmms_remote_is_playing(0));
  EXPECT_EQ(xmms_remote_get_playlist_pos(0), 4);
  xmms_remote_set_playlist_pos(0, 9);
  xmms_remote_jump_to_time(0, 61500);
  char *file = xmms_remote_get_playlist_file(0, 2);
  ASSERT_NE(file, nullptr);
  EXPECT_STREQ(file, "/music/Gr\xc3\xbcn.m4a");
  std::free(file);
  EXPECT_EQ(xmms_remote_get_playlist_file(0, 3), nullptr);
  int rate = 0, freq = 0, nch = 0;
  xmms_remote_get_info(0, &rate, &freq, &nch);
  EXPECT_EQ(rate, 128000);
  EXPECT_EQ(freq, 44100);
  EXPECT_EQ(nch, 2);
  EXPECT_FLOAT_EQ(xmms_remote_get_eq_band(0, 3), -7.5f);
  float p = 0, *b = nullptr;
  xmms_remote_get_eq(0, &p, &b);
  ASSERT_NE(b, nullptr);
  EXPECT_FLOAT_EQ(p, 0.0f);
  EXPECT_FLOAT_EQ(b[9], 10.0f);
  std::free(b);
  float sent[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, -20};
  xmms_remote_set_eq(0, 6.0f, sent);
  xmms_remote_set_eq_band(0, 7, 3.25f);
  xmms_remote_quit(0);

  EXPECT_EQ(setPos, 9);
  EXPECT_EQ(jump, 61500);
  EXPECT_FLOAT_EQ(preamp, 6.0f);
  EXPECT_FLOAT_EQ(bands[9], -20.0f);
  EXPECT_EQ(bandIndex, 7);
  EXPECT_FLOAT_EQ(bandValue, 3.25f);
  EXPECT_EQ(server.seen.back(), static_cast<uint16_t>(Command::Quit));
}

TEST(Remote, NoEngineAnswersEmptyAtOnce) {
  velora::test::TempHome home;
  auto start = Clock::now();
  EXPECT_EQ(xmms_remote_get_version(0), 0);
  EXPECT_FALSE(xmms_remote_is_playing(0));
  EXPECT_EQ(xmms_remote_get_playlist_file(0, 0), nullptr);
  EXPECT_EQ(xmms_remote_get_eq_preamp(0), 0.0f);
  int rate = 5, freq = 5, nch = 5;
  xmms_remote_get_info(0, &rate, &freq, &nch);
  EXPECT_EQ(rate + freq + nch, 0);
  xmms_remote_play(0);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));

  // A socket file left by an engine that died: refused at once as well.
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr = {};
  addr.sun_family = AF_UNIX;
  std::string path = socketPath(0);
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
  close(fd);
  start = Clock::now();
  EXPECT_EQ(xmms_remote_get_version(0), 0);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
}

TEST(Remote, SilentServerTimesOutAndBadRepliesAreRefused) {
  velora::test::TempHome home;
  {
    StandInServer silent([](const Message &) { return std::nullopt; });
    auto start = Clock::now();
    EXPECT_EQ(xmms_remote_get_version(0), 0);
    auto took = Clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(1500));
    EXPECT_LT(took, std::chrono::milliseconds(4000));
  }
  unlink(socketPath(0).c_str());
  {
    // A reply that claims more than the protocol allows is refused without reading it.
    StandInServer huge([](const Message &) -> std::optional<std::vector<uint8_t>> {
      Writer w;
      w.putInt(77);
      return frame(w, kMaxPayload + 1);
    });
    EXPECT_EQ(xmms_remote_get_version(0), 0);
  }
  unlink(socketPath(0).c_str());
  {
    // A string whose stated length runs past the payload is refused, not over-read.
    StandInServer lying([](const Message &) -> std::optional<std::vector<uint8_t>> {
      Writer w;
      w.putInt(1000); // read as the string length
      w.putInt(0);
      return frame(w);
    });
    EXPECT_EQ(xmms_remote_get_playlist_file(0, 0), nullptr);
    float *bands = reinterpret_cast<float *>(1);
    xmms_remote_get_eq(0, nullptr, &bands); // 8 bytes are not eleven floats
    EXPECT_EQ(bands, nullptr);
  }
}
