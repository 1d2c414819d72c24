// The Debian package as a distribution would take it: made from this build with CPack, read by
// dpkg-deb and lintian, unpacked with dpkg -x into a temporary folder, and its velora and engine
// play a song from there.
#include "playerrun.h"

#include <gtest/gtest.h>
#include <xmms/xmmsctrl.h>

#include <filesystem>
#include <regex>
#include <sstream>

using namespace velora::test;
namespace fs = std::filesystem;

namespace {

std::string debIn(const std::string &folder) {
  for (const auto &entry : fs::directory_iterator(folder))
    if (entry.path().extension() == ".deb")
      return entry.path().string();
  return {};
}

std::string trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
    s.pop_back();
  return s;
}

} // namespace

TEST(DebianPackage, BuildsPassesLintianUnpacksAndPlays) {
  TempHome home;
  const std::string out = home.root() + "/packages";
  std::string log, err;
  ASSERT_EQ(runToEnd({"cpack", "-G", "DEB", "--config",
                      std::string(VELORA_BINARY_DIR) + "/CPackConfig.cmake", "-B", out},
                     home.root(), 400000, &log, &err),
            0)
      << log << err;
  const std::string deb = debIn(out);
  ASSERT_FALSE(deb.empty()) << log;
  std::string arch;
  ASSERT_EQ(runToEnd({"dpkg", "--print-architecture"}, home.root(), 30000, &arch), 0);
  EXPECT_EQ(fs::path(deb).filename().string(),
            std::string("velora_") + VELORA_VERSION + "_" + trimmed(arch) + ".deb");

  // Dependencies come from the binaries: Qt, FAAD2, the decoders; their versions from shlibs.
  std::string depends;
  ASSERT_EQ(runToEnd({"dpkg-deb", "-f", deb, "Depends"}, home.root(), 30000, &depends), 0);
  for (const char *lib : {"libqt6widgets6", "libfaad2", "libmpg123-0", "libc6"})
    EXPECT_NE(depends.find(lib), std::string::npos) << lib << " in " << depends;
  EXPECT_TRUE(std::regex_search(depends, std::regex("libfaad2 \\(>= [0-9]"))) << depends;

  // Everything under /usr, the documentation Debian asks for among it.
  std::string contents;
  ASSERT_EQ(runToEnd({"dpkg-deb", "-c", deb}, home.root(), 30000, &contents), 0);
  std::istringstream lines(contents);
  int files = 0;
  for (std::string line; std::getline(lines, line); ++files) {
    const std::string path = line.substr(line.rfind(" ./") + 1);
    EXPECT_TRUE(path.rfind("./usr/", 0) == 0 || path == "./") << path;
  }
  EXPECT_GT(files, 20);
  for (const char *path :
       {"./usr/bin/velora", "./usr/bin/xmms", "./usr/lib/xmms/Input/libm4ainput.so",
        "./usr/lib/xmms/Output/libdiskwriter.so", "./usr/share/man/man1/velora.1.gz",
        "./usr/share/man/man1/xmms.1.gz", "./usr/share/metainfo/velora.metainfo.xml",
        "./usr/share/applications/velora.desktop", "./usr/share/doc/velora/copyright",
        "./usr/share/doc/velora/changelog.gz", "./usr/share/velora/skins/default/skins.conf"})
    EXPECT_NE(contents.find(std::string(path) + "\n"), std::string::npos) << path;

  // lintian: no errors (warnings are printed for whoever reads the log).
  std::string report;
  runToEnd({"lintian", "--tag-display-limit", "0", deb}, home.root(), 400000, &report, &err);
  std::cout << "lintian:\n" << report << err;
  EXPECT_FALSE(std::regex_search(report, std::regex("(^|\n)E: "))) << report;

  // Unpacked anywhere, it plays: its velora starts its own engine beside it.
  const std::string root = home.root() + "/unpacked";
  ASSERT_EQ(runToEnd({"dpkg", "-x", deb, root}, home.root(), 60000, nullptr, &err), 0) << err;
  makeDirs(home.path("Music"));
  fs::copy_file(fixture("inputs/chirp.ogg"), home.path("Music/chirp.ogg"));
  const std::string heard = home.path("heard.wav");
  useDiskWriter(home, heard);
  Child player({root + "/usr/bin/velora", home.path("Music/chirp.ogg")}, home.root(),
               {"QT_QPA_PLATFORM=offscreen", "DBUS_SESSION_BUS_ADDRESS="});
  // The song lasts two seconds and the disk writer takes it faster than that: whether it is
  // still playing at a given look is luck, so the test waits for the list, then for the sound.
  ASSERT_TRUE(
      waitUntil([&] { return engineFile(0) == home.path("Music/chirp.ogg"); }, 60000))
      << player.err();
  std::string pidFile;
  for (const auto &entry : fs::directory_iterator(home.runtime()))
    if (entry.path().extension() == ".pid")
      pidFile = entry.path().string();
  ASSERT_FALSE(pidFile.empty());
  EXPECT_EQ(fs::read_symlink("/proc/" + trimmed(readFile(pidFile)) + "/exe"),
            fs::canonical(root + "/usr/bin/xmms"));
  EXPECT_TRUE(waitUntil([&] { return heardPeak(heard) > 1000; }, 30000)) << "the song is heard";
  EXPECT_TRUE(fileExists(home.path("skins/default/skins.conf"))) << "seeded from the package";
  endPlayer(player, home);
}
