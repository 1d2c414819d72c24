#include "media.h"

#include <cstring>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace inputs_test {

namespace {

uint32_t le32(const std::string &s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i)
    v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}

} // namespace

Wav parseWav(const std::string &b) {
  Wav w;
  if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0)
    return w;
  for (size_t at = 12; at + 8 <= b.size();) {
    uint32_t len = le32(b, at + 4);
    if (b.compare(at, 4, "fmt ") == 0 && at + 24 <= b.size()) {
      w.channels = static_cast<unsigned char>(b[at + 10]);
      w.rate = static_cast<int>(le32(b, at + 12));
      w.bits = static_cast<unsigned char>(b[at + 22]);
    } else if (b.compare(at, 4, "data") == 0) {
      size_t n = std::min<size_t>(len, b.size() - at - 8) / 2;
      w.samples.resize(n);
      if (n > 0) // an empty vector's data() may be null, which memcpy must not get
        std::memcpy(w.samples.data(), b.data() + at + 8, n * 2);
      break;
    }
    at += 8 + len + (len & 1);
  }
  return w;
}

bool ffmpegMakes(const std::vector<std::string> &args, const std::string &out) {
  std::vector<std::string> all = {"ffmpeg", "-nostdin", "-v", "error", "-y"};
  all.insert(all.end(), args.begin(), args.end());
  all.push_back(out);
  std::vector<char *> argv;
  for (std::string &a : all)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid)
    return false;
  struct stat st;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && ::stat(out.c_str(), &st) == 0 &&
         st.st_size > 0;
}

std::string diskWriterConfig(const std::string &out) {
  return "[xmms]\noutput_plugin=libdiskwriter.so\nshuffle=FALSE\nrepeat=FALSE\n"
         "[disk_writer]\nfile=" +
         out + "\n";
}

} // namespace inputs_test
