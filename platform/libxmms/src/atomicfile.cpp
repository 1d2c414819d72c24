#include "atomicfile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace xmms {

bool writeFileAtomically(const std::string &path, const std::string &text) {
  std::string tmpl = path + ".XXXXXX";
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0)
    return false;
  struct stat st;
  if (::stat(path.c_str(), &st) == 0)
    fchmod(fd, st.st_mode & 07777);
  const char *p = text.data();
  size_t left = text.size();
  bool ok = true;
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (ok && fsync(fd) != 0)
    ok = false;
  if (::close(fd) != 0)
    ok = false;
  if (ok && ::rename(name.data(), path.c_str()) != 0)
    ok = false;
  if (!ok)
    ::unlink(name.data());
  return ok;
}

bool makeFolder(const std::string &path) {
  if (path.empty())
    return false;
  struct stat st;
  if (::stat(path.c_str(), &st) == 0)
    return S_ISDIR(st.st_mode);
  size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0)
    makeFolder(path.substr(0, slash));
  return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

} // namespace xmms
