// File names built to break a shell or an argument list (quotes, $(), backquotes, globs, a
// leading dash, a line feed) through every road a name takes: the open-folder dialog, the
// engine's playlist file, a saved playlist, the lyrics beside the song, and the external-player
// plug-in with the mplayer adaptor in front of a recording stand-in for mplayer. Nothing they
// spell may run, and every song must still reach the player whole.
#include "dialogfixture.h"

#include "../slaveinput/fakeplayer.h"
#include "core/m3u.h"
#include "dialogs/filebrowser.h"
#include "dialogs/playlist.h"
#include "dialogs/viewdialog.h"
#include "guiapp.h"
#include "util_pushbutton.h"

#include <xmms/xmmsctrl.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <unistd.h>

using namespace velora::test;

namespace {

QStringList warnings;
void keepWarnings(QtMsgType type, const QMessageLogContext &, const QString &msg) {
  if (type == QtWarningMsg)
    warnings << msg;
}

// Entries named CANARY... anywhere under root (every folder) and directly in /tmp: what a
// shell would have left after running a piece of a name.
std::vector<std::string> canaries(const std::string &root) {
  namespace fs = std::filesystem;
  std::vector<std::string> found;
  auto look = [&](const fs::path &p) {
    if (p.filename().string().rfind("CANARY", 0) == 0)
      found.push_back(p.string());
  };
  for (const auto &e :
       fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied))
    look(e.path());
  for (const auto &e :
       fs::directory_iterator("/tmp", fs::directory_options::skip_permission_denied))
    look(e.path());
  return found;
}

const char kIdentify[] = "ID_AUDIO_BITRATE=128000\nID_AUDIO_RATE=44100\nID_AUDIO_NCH=2\n"
                         "ID_LENGTH=1.00\n";

} // namespace

TEST_F(DialogTest, HostileFileNamesReachEveryPlayerWholeAndRunNothing) {
  for (const char *piece : {"/lib/xmms/Input/libslaveinput.so", "/lib/xmms/bin/mplayer",
                            "/lib/xmms/Output/libdiskwriter.so"})
    if (!fileExists(stageDir() + piece))
      GTEST_SKIP() << "not built: " << piece;
  char oldCwd[PATH_MAX];
  ASSERT_NE(getcwd(oldCwd, sizeof oldCwd), nullptr);
  makeDirs(home.path("cwd"));
  ASSERT_EQ(chdir(home.path("cwd").c_str()), 0); // where a shell would run
  warnings.clear();
  QtMessageHandler oldHandler = qInstallMessageHandler(keepWarnings);

  slavetest::FakePlayer fake(home.root() + "/fake");
  fake.install(); // the engine's own adaptor goes in front of it on the engine's children's PATH
  fake.setIdentifyOutput(kIdentify);
  const std::string pcm(44100 / 10 * 4, '\x20');
  fake.setPcm(pcm);
  fake.setPlayMode("exit");

  const std::string folderName = "$(touch CANARY0) it's \"here\"";
  const std::string folder = home.path("card/" + folderName);
  const std::vector<std::string> names = {
      "a\"b'c`touch CANARY1`$(touch CANARY2);touch CANARY3.m4a",
      "-vo x.m4a",
      "--help.m4a",
      "glob * ? [ab] {c,d} ~ $HOME.m4a",
      "semi; |pipe| & >redir <in \\back.m4a",
      "%s%n%x%d.m4a",
  };
  const std::string broken = "new\nline $(touch CANARY4).m4a"; // no playlist line can hold it
  std::vector<std::string> songs;
  for (const std::string &n : names)
    songs.push_back(folder + "/" + n);
  for (const std::string &n : names)
    writeFile(folder + "/" + n, std::string(1000, 'x'));
  writeFile(folder + "/" + broken, std::string(1000, 'x'));
  for (const std::string &n : names)
    writeFile(folder + "/" + n.substr(0, n.size() - 3) + "lrc", "[00:01.00]sung " + n + "\n");
  writeFile(folder + "/" + broken.substr(0, broken.size() - 3) + "lrc", "[00:01.00]broken\n");

  writeFile(home.path(".xmms/config"), "[xmms]\noutput_plugin=libdiskwriter.so\n"
                                       "disabled_iplugins=libm4ainput.so\n"
                                       "shuffle=FALSE\nrepeat=FALSE\n[disk_writer]\nfile=" +
                                           home.path("heard.wav") +
                                           "\n[slaveinput]\nxmmsaudio=TRUE\n");
  writeFile(home.path(".xmms/pelmar_cfg"), "[pelskin]\nstorage_card=" + home.path("card") + "\n");
  writeFile(home.path(".xmms/xmms.m3u"), "");
  ASSERT_TRUE(engine.start(10000));
  player = std::make_unique<XMMSPlayer>(nullptr, nullptr);
  openWindow();

  // Folder play through the open-folder dialog: enter the hostile folder, see every song, OK.
  QStringList listed;
  whenModal<ViewDialog>([&](ViewDialog *d) {
    FileBrowser *b = d->browser();
    b->itemClicked(b->item(1)); // after ".."
    for (uint i = 0; i < b->count(); ++i)
      listed << b->text(static_cast<int>(i));
    d->okButton()->click();
  });
  w->buttonClick(5);
  ASSERT_TRUE(waitForRestart());
  EXPECT_EQ(listed.size(), 1 + static_cast<int>(names.size()) + 1)
      << listed.join('|').toStdString();
  EXPECT_TRUE(listed.contains(QString::fromStdString(broken)));

  // The playlist file holds every song but the one with the line feed, one whole path a line.
  std::vector<std::string> expected = songs;
  std::sort(expected.begin(), expected.end(), [](const std::string &a, const std::string &b) {
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) < 0;
  });
  std::string lines;
  for (const std::string &s : expected)
    lines += s + "\n";
  EXPECT_EQ(readFile(home.path(".xmms/xmms.m3u")), lines);
  EXPECT_EQ(enginePlaylist(), expected);
  EXPECT_EQ(std::count_if(warnings.begin(), warnings.end(),
                          [](const QString &m) { return m.contains("line break"); }),
            1);

  // The engine plays them all: each reaches the player (behind the adaptor) as one argument.
  ASSERT_TRUE(waitUntil(
      [&] { return fake.playPids().size() >= expected.size() && !xmms_remote_is_playing(0); },
      30000))
      << fake.playPids().size();
  std::vector<std::string> played;
  for (pid_t pid : fake.playPids())
    played.push_back(fake.playArgv(pid).empty() ? "" : fake.playArgv(pid).back());
  EXPECT_EQ(played, expected);
  // Through the adaptor: it alone spells the FIFO output as today's player wants it.
  const std::vector<std::string> first = fake.playArgv(fake.playPids().front());
  EXPECT_TRUE(first.size() > 1 && first[1].rfind("pcm:", 0) == 0) << first.size();
  // The disk writer heard the last one.
  const std::string heard = readFile(home.path("heard.wav"));
  EXPECT_EQ(heard.size(), 44 + pcm.size());

  // Each song's lyrics are found beside it, the one a playlist cannot hold included.
  for (const std::string &s : songs) {
    w->loadLyrics(QString::fromStdString(s));
    EXPECT_TRUE(lyricsLoaded) << s;
    const auto &sung = w->lyrics.lyricLines; // a start line, the sung one, an end mark
    EXPECT_TRUE(sung.size() > 1 &&
                sung[1].text.toStdString() == "sung " + s.substr(folder.size() + 1))
        << s;
  }
  w->loadLyrics(QString::fromStdString(folder + "/" + broken));
  EXPECT_TRUE(lyricsLoaded);

  // Saved through the playlist editor and played again from the saved file.
  {
    PlayList editor(w.get(), QString::fromStdString(home.path(".xmms/xmms.m3u")));
    EXPECT_EQ(editor.addUnique(QString::fromStdString(folder + "/" + broken)), -1);
    EXPECT_EQ(editor.entries().size(), static_cast<int>(expected.size()));
    ASSERT_TRUE(editor.save(QString::fromStdString(home.path("playlist/odd.m3u"))));
  }
  EXPECT_EQ(readFile(home.path("playlist/odd.m3u")), lines);
  const size_t runsBefore = fake.playPids().size();
  ASSERT_TRUE(w->playSavedPlaylist(QString::fromStdString(home.path("playlist/odd.m3u"))));
  ASSERT_TRUE(waitForRestart());
  EXPECT_EQ(enginePlaylist(), expected);
  EXPECT_TRUE(waitUntil(
      [&] { return fake.playPids().size() >= runsBefore + 1 && !xmms_remote_is_playing(0); },
      30000));
  EXPECT_EQ(fake.playArgv(fake.playPids().at(runsBefore)).back(), expected.front());

  // The plug-in itself, as the engine calls it, with names given relative to the song folder:
  // a leading dash is made "./-..." so that no player reads it as an option; the line feed stays
  // inside its one argument, and the adaptor hands every name on unchanged.
  ASSERT_EQ(chdir(folder.c_str()), 0);
  setenv("PATH", (stageDir() + "/lib/xmms/bin:" + fake.bin() + ":/usr/bin:/bin").c_str(), 1);
  fake.setPlayMode("");
  InputPlugin *ip = slavetest::loadPlugin();
  ASSERT_NE(ip, nullptr);
  ip->init();
  for (const std::string &name : {names[1], names[2], broken, names[0], songs[3]}) {
    const std::string safe = name[0] == '-' ? "./" + name : name;
    char *title = nullptr;
    int length = -1;
    ip->get_song_info(const_cast<char *>(name.c_str()), &title, &length);
    EXPECT_NE(title, nullptr) << name;
    free(title);
    EXPECT_EQ(fake.identifyArgv().empty() ? "" : fake.identifyArgv().back(), safe);
    const size_t before = fake.playPids().size();
    ip->play_file(const_cast<char *>(name.c_str()));
    ASSERT_TRUE(waitUntil([&] { return fake.playPids().size() == before + 1; }, 5000)) << name;
    const std::vector<std::string> argv = fake.playArgv(fake.playPids().back());
    EXPECT_EQ(argv.empty() ? "" : argv.back(), safe);
    EXPECT_EQ(std::count(argv.begin(), argv.end(), safe), 1);
    EXPECT_TRUE(argv.size() > 1 && argv[1].rfind("pcm:", 0) == 0);
    ip->stop();
  }
  ip->cleanup();

  ASSERT_EQ(chdir(oldCwd), 0);
  EXPECT_EQ(canaries(home.root()), std::vector<std::string>{});
  EXPECT_EQ(canaries(oldCwd), std::vector<std::string>{});
  qInstallMessageHandler(oldHandler);
}
