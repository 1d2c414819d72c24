#include "xmms/util.h"

#include <cerrno>
#include <ctime>

extern "C" void xmms_usleep(int usec) {
  if (usec <= 0)
    return;
  struct timespec ts = {usec / 1000000, (usec % 1000000) * 1000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}
