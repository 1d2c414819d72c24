// Presets and playlists written into a home that refuses them: a folder the user may not write
// (as an unprivileged user) and a disk that fills up part-way (a small tmpfs of its own, in a
// mount namespace). The save fails and says so, the old file stays whole and no temporary file
// is left behind.
#include "core/m3u.h"
#include "kconfig.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

using namespace velora::test;

namespace {

QStringList warnings;

struct HomeCase {
  std::string dir;
  bool fillDisk = false;
};

const std::string oldPreset = "[Mine]\nBand0=3\nPreamp=1\n";
const std::string oldList = "/music/one.mp3\n/music/two.mp3\n";

int entriesIn(const std::string &dir) {
  DIR *d = opendir(dir.c_str());
  if (!d)
    return -1;
  int n = 0;
  while (dirent *e = readdir(d))
    n += e->d_name[0] != '.';
  closedir(d);
  return n;
}

// Takes every free block of the file system holding dir.
void fillUp(const std::string &dir) {
  int fd = open((dir + "/filler").c_str(), O_WRONLY | O_CREAT, 0600);
  const std::string block(4096, 'x');
  while (write(fd, block.data(), block.size()) > 0) {
  }
  while (write(fd, block.data(), 1) > 0) {
  }
  close(fd);
}

// The preset save and the playlist save against the refusing folder; 0 when both fail cleanly.
int saveBoth(void *arg) {
  auto *c = static_cast<HomeCase *>(arg);
  if (c->fillDisk)
    fillUp(c->dir);
  const int before = entriesIn(c->dir);
  qInstallMessageHandler(
      [](QtMsgType, const QMessageLogContext &, const QString &msg) { warnings << msg; });
  const QString preset = QString::fromStdString(c->dir + "/user.preset");
  for (int i = 0; i < 2; ++i) {
    KConfig presets(preset);
    presets.setGroup(QStringLiteral("My preset"));
    for (int band = 0; band < 10; ++band)
      presets.writeEntry("Band" + QString::number(band), std::string(300, '9').c_str());
    presets.sync();
  }
  if (warnings.filter("cannot write " + preset).size() != 1)
    return 2; // told once, not at every sync
  QStringList songs;
  for (int i = 0; i < 200; ++i)
    songs << "/music/a song with a long name, number " + QString::number(i) + ".mp3";
  if (m3u::write(QString::fromStdString(c->dir + "/list.m3u"), songs))
    return 3;
  if (readFile(c->dir + "/user.preset") != oldPreset || readFile(c->dir + "/list.m3u") != oldList)
    return 4;
  return entriesIn(c->dir) == before ? 0 : 5; // no temporary file left
}

void writeOldFiles(const std::string &dir) {
  writeFile(dir + "/user.preset", oldPreset);
  writeFile(dir + "/list.m3u", oldList);
}

// In a child: a mount namespace (a user namespace too when not privileged) with a 64 KiB tmpfs
// on dir, the old files on it, then body. -1 when no namespace can be had.
int onSmallDisk(HomeCase *c) {
  pid_t pid = fork();
  if (pid == 0) {
    const uid_t uid = geteuid();
    const gid_t gid = getegid();
    if (unshare(CLONE_NEWNS) != 0) {
      if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
        _exit(100);
      writeFile("/proc/self/setgroups", "deny");
      writeFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1");
      writeFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
    }
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("velora-test", c->dir.c_str(), "tmpfs", 0, "size=64k") != 0)
      _exit(100);
    writeOldFiles(c->dir);
    _exit(saveBoth(c));
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
    return 128;
  return WEXITSTATUS(status) == 100 ? -1 : WEXITSTATUS(status);
}

} // namespace

TEST(HomeFaults, ReadOnlyFolderKeepsOldPresetsAndPlaylists) {
  TempHome home;
  HomeCase c{home.path("playlist")};
  makeDirs(c.dir);
  writeOldFiles(c.dir);
  ASSERT_EQ(chmod(home.root().c_str(), 0755), 0);
  ASSERT_EQ(chmod(home.home().c_str(), 0755), 0);
  ASSERT_EQ(chmod(c.dir.c_str(), 0555), 0);
  const int result = runUnprivileged(saveBoth, &c);
  chmod(c.dir.c_str(), 0755);
  if (result < 0)
    GTEST_SKIP() << "running as root and cannot drop to an unprivileged user";
  EXPECT_EQ(result, 0) << "2: not told once, 3: reported as saved, 4: old file changed, "
                          "5: temporary file left";
}

TEST(HomeFaults, FullDiskKeepsOldPresetsAndPlaylists) {
  TempHome home;
  HomeCase c{home.path("playlist"), true};
  makeDirs(c.dir);
  const int result = onSmallDisk(&c);
  if (result < 0)
    GTEST_SKIP() << "no mount namespace here for a small file system";
  EXPECT_EQ(result, 0) << "2: not told once, 3: reported as saved, 4: old file changed, "
                          "5: temporary file left";
}
