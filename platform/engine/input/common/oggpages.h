// A look at the first pages of an Ogg file: which logical stream comes first and how its
// samples lie on pages. FFmpeg's Ogg reader times a stream from its first page of audio; a few
// layouts it gets wrong need to be known before decoding.
#pragma once

#include <cstdint>

namespace velora::input {

struct OggStart {
  bool ogg = false;            // the file starts with an Ogg page
  uint32_t serial = 0;         // serial number of the first logical stream
  bool audioOnOnePage = false; // its first page of samples is also its last
};

// Reads page headers from the start of the file until the first page of the first stream that
// ends a packet of samples (a bounded number of pages: a crafted file cannot keep us reading).
OggStart oggStart(const char *path);

} // namespace velora::input
