// Fuzz inputs as files: the parsers under test open paths, so each input is placed in an
// anonymous in-memory file and handed over as /proc/self/fd/N. Nothing touches the disk, and
// the descriptor is reused from one input to the next.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace fuzz {

class MemFile {
public:
  explicit MemFile(const char *name) : fd_(memfd_create(name, 0)) {
    if (fd_ < 0) {
      perror("memfd_create");
      abort();
    }
  }
  ~MemFile() { ::close(fd_); }
  MemFile(const MemFile &) = delete;
  MemFile &operator=(const MemFile &) = delete;

  // Replaces the file's content; returns its path.
  std::string fill(const uint8_t *data, size_t size) {
    if (ftruncate(fd_, 0) != 0 || pwrite(fd_, data, size, 0) != static_cast<ssize_t>(size)) {
      perror("memfd write");
      abort();
    }
    return path();
  }
  std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }

private:
  int fd_;
};

// Stops the run with a message when a property of a parser's result does not hold.
#define FUZZ_CHECK(cond)                                                                           \
  do {                                                                                             \
    if (!(cond)) {                                                                                 \
      fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond);                  \
      abort();                                                                                     \
    }                                                                                              \
  } while (0)

} // namespace fuzz
