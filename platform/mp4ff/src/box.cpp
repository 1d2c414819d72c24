// Box headers and the file behind the caller's callbacks.
#include "internal.h"

namespace mp4ff_detail {

bool nextBox(Cursor &parent, uint32_t &type, Cursor &payload) {
  if (parent.remaining() < 8)
    return false;
  uint64_t size = parent.u32();
  type = parent.u32();
  uint64_t header = 8;
  if (size == 1) {
    if (parent.remaining() < 8)
      return false;
    size = parent.u64();
    header = 16;
  } else if (size == 0) {
    size = parent.remaining() + header;
  }
  if (size < header || size - header > parent.remaining())
    return false;
  payload = parent.sub(size - header);
  return payload.ok();
}

bool readAt(mp4ff_callback_t *cb, uint64_t offset, void *buffer, uint32_t length) {
  cb->seek(cb->user_data, offset);
  return cb->read(cb->user_data, buffer, length) == length;
}

bool readable(mp4ff_callback_t *cb, uint64_t offset) {
  uint8_t byte;
  return readAt(cb, offset, &byte, 1);
}

// The callbacks have no size query, so find the end of the file by probing single bytes:
// doubling until a read fails, then halving the gap. About 2 x log2(size) small reads.
uint64_t probeFileSize(mp4ff_callback_t *cb) {
  if (!readable(cb, 0))
    return 0;
  uint64_t lo = 1, hi = 4096; // lo: known readable count; hi: a count that may not be
  while (readable(cb, hi - 1)) {
    lo = hi;
    if (hi >= (uint64_t(1) << 48))
      return hi;
    hi *= 2;
  }
  while (hi - lo > 1) { // invariant: byte lo-1 readable, byte hi-1 not
    uint64_t mid = lo + (hi - lo) / 2;
    if (readable(cb, mid - 1))
      lo = mid;
    else
      hi = mid;
  }
  return lo;
}

} // namespace mp4ff_detail
