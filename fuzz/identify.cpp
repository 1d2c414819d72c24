// The external-player plug-in's reader of "mplayer -identify" output on arbitrary text: the
// fixed-size fields always end in a terminator, and the size estimate never overflows.
#include "slaveinput.h"

#include "memfile.h"

#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string text(reinterpret_cast<const char *>(data), size); // the capture ends at a NUL
  mplayer_info info;
  memset(&info, 0, sizeof info);
  // A real file, so the estimate from the size runs too.
  char name[] = "/proc/self/exe";
  info.filename = name;
  mplayer_parse_identify(&info, text.c_str());
  FUZZ_CHECK(memchr(info.name, 0, sizeof info.name) != nullptr);
  FUZZ_CHECK(memchr(info.artist, 0, sizeof info.artist) != nullptr);
  FUZZ_CHECK(memchr(info.title, 0, sizeof info.title) != nullptr);
  return 0;
}
