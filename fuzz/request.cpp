// The engine's end of the remote channel on arbitrary bytes: the bytes arrive on a socket as a
// client would send them, the message reader takes them apart, and every request it accepts is
// answered by a real engine (no plug-ins, not started) whose state carries from one request of
// the input to the next. Every answer must itself be a message the clients' reader accepts.
#include "engine.h"

#include <protocol.h>

#include "memfile.h"

#include <sys/socket.h>
#include <thread>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  using namespace xmms::proto;
  int fds[2];
  FUZZ_CHECK(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0);
  // Larger than any input the runs use, so the writer never waits for the reader.
  int big = 1 << 20;
  setsockopt(fds[0], SOL_SOCKET, SO_SNDBUF, &big, sizeof big);
  FUZZ_CHECK(writeAll(fds[0], data, size, 1000));
  shutdown(fds[0], SHUT_WR);

  engine::Settings settings;
  settings.playlistPosition = 1;
  settings.playlistPositionFile = "/nonexistent/b.wav";
  engine::Engine player(settings, {"/nonexistent/a.mp3", "/nonexistent/b.wav", "c"});
  for (int n = 0; n < 64; ++n) {
    auto request = readMessage(fds[1], -1); // the writer has shut down: no wait
    if (!request)
      break;
    FUZZ_CHECK(request->payload.size() <= kMaxPayload);
    engine::Reply reply = player.handle(request->code, request->payload, n & 1);
    if (!reply.wellFormed)
      break;
    // The answer travels back over a second pair and must read as one whole message.
    int back[2];
    FUZZ_CHECK(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, back) == 0);
    setsockopt(back[0], SOL_SOCKET, SO_SNDBUF, &big, sizeof big);
    FUZZ_CHECK(writeMessage(back[0], reply.status, reply.payload, 1000));
    auto answer = readMessage(back[1], 1000);
    FUZZ_CHECK(answer && answer->code == reply.status && answer->payload == reply.payload);
    close(back[0]);
    close(back[1]);
  }
  close(fds[0]);
  close(fds[1]);
  return 0;
}
