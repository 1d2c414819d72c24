#include "playerrun.h"

#include <xmms/xmmsctrl.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace velora::test {

void useDiskWriter(const TempHome &home, const std::string &heardPath) {
  makeDirs(home.path(".xmms"));
  writeFile(home.path(".xmms/config"),
            "[xmms]\noutput_plugin=libdiskwriter.so\nshuffle=FALSE\nrepeat=FALSE\n"
            "[disk_writer]\nfile=" +
                heardPath + "\n");
}

void useNullOutput(const TempHome &home) {
  makeDirs(home.path(".xmms"));
  writeFile(home.path(".xmms/config"),
            "[xmms]\noutput_plugin=libnullout.so\nshuffle=FALSE\nrepeat=FALSE\n");
}

std::string engineFile(int pos) {
  char *s = xmms_remote_get_playlist_file(0, pos);
  std::string out = s ? s : "";
  std::free(s);
  return out;
}

int heardPeak(const std::string &wavPath) {
  const std::string wav = readFile(wavPath);
  const size_t data = wav.find("data");
  if (data == std::string::npos)
    return 0;
  int peak = 0;
  for (size_t i = data + 8; i + 1 < wav.size(); i += 2) {
    int16_t s;
    std::memcpy(&s, wav.data() + i, 2);
    peak = std::max(peak, std::abs(static_cast<int>(s)));
  }
  return peak;
}

int endPlayer(Child &player, const TempHome &home) {
  if (getenv("DBUS_SESSION_BUS_ADDRESS") && player.running())
    runToEnd({"gdbus", "call", "--session", "--dest", "org.mpris.MediaPlayer2.velora",
              "--object-path", "/org/mpris/MediaPlayer2", "--method",
              "org.mpris.MediaPlayer2.Quit"},
             home.root(), 30000);
  if (player.wait(30000) < 0 && player.running()) {
    player.terminate(SIGTERM);
    player.wait(10000);
  }
  player.terminate(SIGKILL);
  const int status = player.wait(5000);
  // The engine outlives a killed player; this session's one goes too.
  if (xmms_remote_is_running(0))
    xmms_remote_quit(0);
  if (!waitUntil([] { return !xmms_remote_is_running(0); }, 10000)) {
    for (const auto &entry : std::filesystem::directory_iterator(home.runtime()))
      if (entry.path().extension() == ".pid")
        ::kill(std::atoi(readFile(entry.path().string()).c_str()), SIGKILL);
  }
  return status;
}

} // namespace velora::test
