// What a distribution and a new user meet before playing anything: the package lists of
// cmake/packages.sh, the command line's help and version, the manual page, the desktop entry
// and the AppStream metainfo of the staged tree.
#include "child.h"
#include "core/playable.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <sys/stat.h>

using namespace velora::test;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> lines(const std::string &text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty())
      out.push_back(line);
  return out;
}

std::string packagesScript() { return std::string(VELORA_SOURCE_DIR) + "/cmake/packages.sh"; }

// What packages.sh would install for purpose on a bare machine: dpkg-query knows no package,
// and apt-get (a stand-in that records its arguments) is run as root.
std::vector<std::string> installedOnBareMachine(const TempHome &home, const std::string &purpose) {
  const std::string bin = home.root() + "/fakebin", log = home.root() + "/apt.log";
  makeDirs(bin);
  writeFile(bin + "/dpkg-query", "#!/bin/sh\nexit 1\n");
  writeFile(bin + "/id", "#!/bin/sh\necho 0\n");
  writeFile(bin + "/apt-get", "#!/bin/sh\necho \"$*\" >> '" + log + "'\n");
  for (const char *tool : {"dpkg-query", "id", "apt-get"})
    chmod((bin + "/" + tool).c_str(), 0755);
  fs::remove(log);
  const std::string path = bin + ":" + (getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin");
  std::string err;
  const std::vector<std::string> args = {"bash", packagesScript()};
  std::vector<std::string> withPurpose = args;
  if (!purpose.empty())
    withPurpose.push_back(purpose);
  EXPECT_EQ(runToEnd(withPurpose, home.root(), 60000, nullptr, &err, {"PATH=" + path}), 0) << err;
  // The install line is the one without "update": its last words are the packages.
  std::vector<std::string> packages;
  for (const std::string &line : lines(readFile(log))) {
    if (line.find("install") == std::string::npos)
      continue;
    std::istringstream words(line);
    for (std::string w; words >> w;)
      if (w[0] != '-' && w != "install")
        packages.push_back(w);
  }
  return packages;
}

bool contains(const std::vector<std::string> &list, const std::string &name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

} // namespace

TEST(PackageFiles, EachPurposeInstallsItsOwnListAndPlayingNeedsNoTestTool) {
  TempHome home;
  const std::vector<std::string> play = installedOnBareMachine(home, "");
  const std::vector<std::string> playNamed = installedOnBareMachine(home, "play");
  const std::vector<std::string> test = installedOnBareMachine(home, "test");
  const std::vector<std::string> bench = installedOnBareMachine(home, "bench");
  ASSERT_FALSE(play.empty());
  EXPECT_EQ(play, playNamed);

  // Building and playing: the compiler, Qt and the decoders, nothing to test or measure with.
  for (const char *needed : {"cmake", "g++", "qt6-base-dev", "libfaad-dev", "libtag1-dev"})
    EXPECT_TRUE(contains(play, needed)) << needed;
  const std::regex testOrBenchTool(
      "libgtest-dev|libgmock-dev|libbenchmark-dev|clang|libclang-rt-.*|mpv|playerctl|xvfb|"
      "xdotool|strace|imagemagick|lintian|appstream|desktop-file-utils|espeak-ng|faad|time");
  for (const std::string &p : play)
    EXPECT_FALSE(std::regex_match(p, testOrBenchTool)) << p << " is installed by ./run";

  // ./test and bench/run add to the first list; the test list holds what the suite runs.
  for (const std::string &p : play) {
    EXPECT_TRUE(contains(test, p)) << p;
    EXPECT_TRUE(contains(bench, p)) << p;
  }
  for (const char *tool : {"libgtest-dev", "playerctl", "lintian", "appstream", "dpkg-dev"})
    EXPECT_TRUE(contains(test, tool)) << tool;
  for (const char *tool : {"libbenchmark-dev", "mpv", "xvfb"}) {
    EXPECT_TRUE(contains(bench, tool)) << tool;
  }

  // Every name is a package this system's package manager knows.
  std::set<std::string> all(test.begin(), test.end());
  all.insert(bench.begin(), bench.end());
  for (const std::string &p : all) {
    std::string out;
    const int known = runToEnd({"dpkg-query", "-W", p}, home.root(), 30000, &out);
    const int available = known == 0 ? 0 : runToEnd({"apt-cache", "show", p}, home.root(), 30000);
    EXPECT_EQ(available, 0) << p << " is not a Debian package here";
  }

  // The three commands ask for their own purpose; --list prints the same lists.
  const std::string src = VELORA_SOURCE_DIR;
  EXPECT_NE(readFile(src + "/run").find("\n./cmake/packages.sh\n"), std::string::npos);
  EXPECT_NE(readFile(src + "/test").find("\n./cmake/packages.sh test\n"), std::string::npos);
  EXPECT_NE(readFile(src + "/bench/run").find("/cmake/packages.sh\" bench\n"), std::string::npos);
  std::string listed;
  ASSERT_EQ(runToEnd({"bash", packagesScript(), "--list", "test"}, home.root(), 30000, &listed), 0);
  std::vector<std::string> listedTest = lines(listed), sortedTest = test;
  std::sort(listedTest.begin(), listedTest.end());
  std::sort(sortedTest.begin(), sortedTest.end());
  EXPECT_EQ(listedTest, sortedTest);
  std::string err;
  EXPECT_EQ(runToEnd({"bash", packagesScript(), "tests"}, home.root(), 30000, nullptr, &err), 2);
  EXPECT_NE(err.find("unknown purpose"), std::string::npos) << err;
}

TEST(PackageFiles, HelpAndVersionAnswerOnStandardOutputWithoutADisplay) {
  TempHome home;
  const std::string velora = stageDir() + "/bin/velora";
  // No display of any kind: command-line answers must not need one.
  const std::vector<std::string> noDisplay = {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="};
  std::string out, err;
  ASSERT_EQ(runToEnd({velora, "--version"}, home.root(), 30000, &out, &err, noDisplay), 0) << err;
  EXPECT_EQ(out.rfind(std::string("velora ") + VELORA_VERSION + "\n", 0), 0u) << out;
  EXPECT_NE(out.find("GPL-2.0-or-later"), std::string::npos);
  EXPECT_EQ(err, "");
  for (const char *help : {"--help", "-h"}) {
    ASSERT_EQ(runToEnd({velora, help}, home.root(), 30000, &out, &err, noDisplay), 0) << err;
    EXPECT_EQ(out.rfind("Usage: velora ", 0), 0u) << out;
    EXPECT_NE(out.find("--version"), std::string::npos);
    EXPECT_NE(out.find("FILE_OR_FOLDER"), std::string::npos);
  }
  // Help wins wherever it stands; nothing is started for it.
  ASSERT_EQ(runToEnd({velora, "/no/such.mp3", "--help"}, home.root(), 30000, &out), 0);
  EXPECT_EQ(out.rfind("Usage: velora ", 0), 0u);
  EXPECT_FALSE(fileExists(home.path(".xmms/config")));
  EXPECT_TRUE(fs::is_empty(home.runtime()));

  // Mistakes get one clear line and a failing status.
  EXPECT_EQ(runToEnd({velora, "--shuffle"}, home.root(), 30000, &out, &err, noDisplay), 2);
  EXPECT_NE(err.find("unknown option --shuffle"), std::string::npos) << err;
  EXPECT_EQ(out, "");
  writeFile(home.path("notes.txt"), "not a song\n");
  makeDirs(home.path("empty"));
  EXPECT_EQ(runToEnd({velora, home.path("nothing.mp3"), home.path("notes.txt"), home.path("empty")},
                     home.root(), 30000, &out, &err, noDisplay),
            1);
  EXPECT_NE(err.find("nothing.mp3: no such file or folder"), std::string::npos) << err;
  EXPECT_NE(err.find("cannot play " + home.path("notes.txt")), std::string::npos) << err;
  EXPECT_NE(err.find("no songs velora plays in the folder " + home.path("empty")),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("nothing to play"), std::string::npos) << err;
  EXPECT_TRUE(fs::is_empty(home.runtime())) << "no engine is started for nothing";
}

TEST(PackageFiles, ManualDesktopEntryAndMetainfoValidate) {
  TempHome home;
  // The manual pages (player and engine) render without a warning, staged as installed.
  std::string out, err;
  const std::vector<std::string> man = {"MANWIDTH=80", "MANPAGER=cat", "PAGER=cat"};
  for (const char *page : {"velora", "xmms"}) {
    const std::string source = std::string(VELORA_SOURCE_DIR) + "/frontend/desktop/" + page + ".1";
    ASSERT_EQ(runToEnd({"man", "-l", "--warnings", source}, home.root(), 60000, &out, &err, man), 0)
        << err;
    EXPECT_EQ(err, "") << page << "(1): man warns";
    const std::string staged = stageDir() + "/share/man/man1/" + page + ".1.gz";
    std::string stagedOut;
    ASSERT_EQ(runToEnd({"man", "-l", staged}, home.root(), 60000, &stagedOut, nullptr, man), 0);
    EXPECT_EQ(stagedOut, out) << staged << " is the page compressed";
  }
  ASSERT_EQ(runToEnd({"man", "-l", std::string(VELORA_SOURCE_DIR) + "/frontend/desktop/velora.1"},
                     home.root(), 60000, &out, nullptr, man),
            0);
  for (const char *section :
       {"SYNOPSIS", "OPTIONS", "KEYS", "FILES", "ENVIRONMENT", "XDG_RUNTIME_DIR", "QT_QPA_PLATFORM",
        "THE ENGINE", "--version", "~/.xmms/pelmar_cfg"})
    EXPECT_NE(out.find(section), std::string::npos) << section;

  // The desktop entry takes files.
  const std::string entry = stageDir() + "/share/applications/velora.desktop";
  EXPECT_EQ(runToEnd({"desktop-file-validate", entry}, home.root(), 30000, &out), 0) << out;
  EXPECT_NE(readFile(entry).find("\nExec=velora %F\n"), std::string::npos);

  // The metainfo validates and claims exactly the kinds velora plays.
  const std::string metainfo = stageDir() + "/share/metainfo/velora.metainfo.xml";
  ASSERT_TRUE(fileExists(metainfo));
  EXPECT_EQ(
      runToEnd({"appstreamcli", "validate", "--no-net", metainfo}, home.root(), 60000, &out, &err),
      0)
      << out << err;
  const std::string xml = readFile(metainfo);
  std::vector<std::string> claimed;
  const std::regex mediatype("<mediatype>([^<]*)</mediatype>");
  for (std::sregex_iterator it(xml.begin(), xml.end(), mediatype), end; it != end; ++it)
    claimed.push_back((*it)[1]);
  std::vector<std::string> plays;
  for (const QString &type : playable::mimeTypes())
    plays.push_back(type.toStdString());
  EXPECT_EQ(claimed, plays);
  EXPECT_NE(xml.find("<launchable type=\"desktop-id\">velora.desktop</launchable>"),
            std::string::npos);
  EXPECT_NE(xml.find(std::string("<release version=\"") + VELORA_VERSION + "\""),
            std::string::npos);
  // Each screenshot is one of the pictures the project keeps.
  const std::regex image("<image>[^<]*/([a-z]+\\.png)</image>");
  int images = 0;
  for (std::sregex_iterator it(xml.begin(), xml.end(), image), end; it != end; ++it, ++images)
    EXPECT_TRUE(fileExists(std::string(VELORA_SOURCE_DIR) + "/docs/pictures/" + (*it)[1].str()))
        << (*it)[1];
  EXPECT_EQ(images, 3);
}
