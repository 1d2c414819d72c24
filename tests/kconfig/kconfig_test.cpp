#include "kconfig.h"
#include "testenv.h"

#include <QtGlobal>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using velora::test::readFile;
using velora::test::TempHome;
using velora::test::writeFile;

namespace {

QStringList debugLines;
void capture(QtMsgType, const QMessageLogContext &, const QString &msg) { debugLines << msg; }

struct CaptureDebug {
  CaptureDebug() {
    debugLines.clear();
    old = qInstallMessageHandler(capture);
  }
  ~CaptureDebug() { qInstallMessageHandler(old); }
  QtMessageHandler old;
};

QString q(const std::string &s) { return QString::fromStdString(s); }

} // namespace

TEST(KConfig, RewriteNormalisesAndKeepsValues) {
  TempHome home;
  const std::string file = home.path("cfg");
  writeFile(file, "volume=5\n"
                  "# a comment\n"
                  "\n"
                  "  [xmms]  \n"
                  "repeat=TRUE\r\n"
                  "shuffle = yes\n"
                  "[broken\n"
                  "no equals sign\n"
                  "a=b=c\n"
                  "repeat=FALSE\n"
                  "[ Band ]\n"
                  "Preamp=1\n"
                  "Band9=2\n"
                  "#x=1\n"
                  "   #y=2\n"
                  "[Empty]\n");
  {
    CaptureDebug dbg;
    KConfig cfg(q(file));
    EXPECT_TRUE(debugLines.contains(QStringLiteral("parsing %1").arg(q(file))));
    EXPECT_EQ(cfg.group(), QStringLiteral("Empty")); // left at the last group the file opened
    cfg.setGroup(QStringLiteral("<default>"));
    EXPECT_EQ(cfg.readNumEntry(QStringLiteral("volume"), 1), 5);
    cfg.setGroup(QStringLiteral("xmms"));
    EXPECT_EQ(cfg.readEntry(QStringLiteral("repeat")), QStringLiteral("FALSE")); // last one wins
    EXPECT_EQ(cfg.readEntry(QStringLiteral("shuffle ")), QStringLiteral(" yes"));
    EXPECT_EQ(cfg.readEntry(QStringLiteral("a")), QStringLiteral("b=c"));
    EXPECT_FALSE(cfg.hasKey(QStringLiteral("#x")));
    EXPECT_TRUE(cfg.hasGroup(QStringLiteral(" Band ")));
    EXPECT_FALSE(cfg.hasGroup(QStringLiteral("broken")));
    cfg.setGroup(QStringLiteral("NeverWritten"));
  }
  // Groups and keys sorted by code unit; comments, blanks, empty groups and duplicates gone.
  EXPECT_EQ(readFile(file), "[ Band ]\nBand9=2\nPreamp=1\n"
                            "[<default>]\nvolume=5\n"
                            "[xmms]\na=b=c\nrepeat=FALSE\nshuffle = yes\n");
}

TEST(KConfig, TypedReadsAndWrites) {
  TempHome home;
  const std::string file = home.path("cfg");
  writeFile(file, "[g]\nempty=\nword=yes\nON=ON\ntwo=2\nnum=12abc\nneg=-7\nlist=a,,b,\n");
  KConfig cfg(q(file));
  cfg.setGroup(QStringLiteral("g"));
  // An empty value is there (readEntry gives it) but numbers and booleans fall back.
  EXPECT_TRUE(cfg.readEntry(QStringLiteral("empty"), QStringLiteral("d")).isEmpty());
  EXPECT_FALSE(cfg.readEntry(QStringLiteral("empty"), QStringLiteral("d")).isNull());
  EXPECT_EQ(cfg.readEntry(QStringLiteral("missing"), QStringLiteral("d")), QStringLiteral("d"));
  EXPECT_EQ(cfg.readNumEntry(QStringLiteral("empty"), 9), 9);
  EXPECT_EQ(cfg.readNumEntry(QStringLiteral("missing"), 9), 9);
  EXPECT_EQ(cfg.readNumEntry(QStringLiteral("num"), 9), 0); // not a number: 0, not the default
  EXPECT_EQ(cfg.readNumEntry(QStringLiteral("neg"), 9), -7);
  EXPECT_TRUE(cfg.readBoolEntry(QStringLiteral("empty"), true));
  EXPECT_FALSE(cfg.readBoolEntry(QStringLiteral("word"), true)); // "yes" is a number 0
  EXPECT_TRUE(cfg.readBoolEntry(QStringLiteral("ON"), false));
  EXPECT_TRUE(cfg.readBoolEntry(QStringLiteral("two"), false));
  EXPECT_EQ(cfg.readListEntry(QStringLiteral("list"), QLatin1Char(',')),
            (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
  EXPECT_TRUE(cfg.readListEntry(QStringLiteral("empty"), QLatin1Char(',')).isEmpty());

  cfg.writeEntry(QStringLiteral("i"), -42);
  cfg.writeEntry(QStringLiteral("b"), true);
  cfg.writeEntry(QStringLiteral("c"), "text");
  // UTF-8 bytes stored one byte per character come back byte for byte.
  const QByteArray utf8 = QStringLiteral("Gr\u00fcn \u6b4c").toUtf8();
  cfg.writeEntry(QStringLiteral("name"), QString::fromLatin1(utf8));
  cfg.sync();
  KConfig again(q(file), true);
  again.setGroup(QStringLiteral("g"));
  EXPECT_EQ(again.readEntry(QStringLiteral("i")), QStringLiteral("-42"));
  EXPECT_EQ(again.readEntry(QStringLiteral("b")), QStringLiteral("true"));
  EXPECT_EQ(again.readEntry(QStringLiteral("c")), QStringLiteral("text"));
  EXPECT_EQ(again.readEntry(QStringLiteral("name")).toLatin1(), utf8);
  EXPECT_NE(readFile(file).find(utf8.toStdString()), std::string::npos);
}

TEST(KConfig, GroupsWithoutSetGroupAndDeletion) {
  TempHome home;
  const std::string missing = home.path("missing");
  {
    CaptureDebug dbg;
    KConfig cfg(q(missing));
    EXPECT_TRUE(cfg.group().isNull());
    cfg.writeEntry(QStringLiteral("k"), QStringLiteral("v"));
    EXPECT_TRUE(debugLines.contains(QStringLiteral("writeEntry without previous setGroup!")));
    cfg.setGroup(QString()); // empty name means <default>
    EXPECT_EQ(cfg.group(), QStringLiteral("<default>"));
  }
  EXPECT_EQ(readFile(missing), ""); // created, and no group had pairs

  // On a file that had groups, a write before setGroup lands in its last group.
  const std::string file = home.path("cfg");
  writeFile(file, "[a]\nx=1\n[b]\ny=2\n");
  {
    KConfig cfg(q(file));
    cfg.writeEntry(QStringLiteral("z"), 3);
    cfg.deleteGroup(QStringLiteral("a"));
    cfg.setGroup(QStringLiteral("b"));
    EXPECT_EQ(cfg.entryMap(QStringLiteral("b")).value(QStringLiteral("z")), QStringLiteral("3"));
    cfg.deleteGroup(QStringLiteral("b"));
    EXPECT_TRUE(cfg.group().isNull());
    cfg.setGroup(QStringLiteral("c"));
    cfg.writeEntry(QStringLiteral("w"), false);
  }
  EXPECT_EQ(readFile(file), "[c]\nw=false\n");

  // A read-only store never writes; a relative name is written under HOME.
  writeFile(file, "# keep me\n[a]\nx=1\n");
  { KConfig ro(q(file), true); }
  EXPECT_EQ(readFile(file), "# keep me\n[a]\nx=1\n");
  {
    CaptureDebug dbg;
    KConfig rel(QStringLiteral("relative.cfg"));
    rel.setGroup(QStringLiteral("g"));
    rel.writeEntry(QStringLiteral("k"), 1);
    rel.sync();
    EXPECT_TRUE(
        debugLines.contains(QStringLiteral("writing to %1").arg(q(home.path("relative.cfg")))));
  }
  EXPECT_EQ(readFile(home.path("relative.cfg")), "[g]\nk=1\n");
}

// A write that fails (here: the file size limit, which even root cannot pass) leaves the old
// file exactly as it was and keeps the new values in memory.
TEST(KConfig, FailedRewriteKeepsOldFile) {
  TempHome home;
  const std::string file = home.path("cfg");
  const std::string old = "[Winskin]\nVolume=45\n[xmms]\nshuffle=TRUE\n";
  writeFile(file, old);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit lim = {16, 16};
    setrlimit(RLIMIT_FSIZE, &lim);
    int code = 0;
    {
      KConfig cfg(q(file));
      cfg.setGroup(QStringLiteral("Winskin"));
      cfg.writeEntry(QStringLiteral("Volume"), QString(4096, QLatin1Char('9')));
      cfg.sync();
      if (cfg.readEntry(QStringLiteral("Volume")).size() != 4096)
        code = 3;
    }
    _exit(code);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(readFile(file), old);
  // No temporary file is left behind either.
  int entries = 0;
  for ([[maybe_unused]] auto &e : std::filesystem::directory_iterator(home.home()))
    ++entries;
  EXPECT_EQ(entries, 1);
}

namespace {
struct UnreadableCase {
  std::string unreadable, readable;
};

// Runs as an unprivileged user: the unreadable store is written to by sync and by destruction,
// twice, and reported once; a readable store in the same folder is written as usual.
int writeThroughUnreadable(void *arg) {
  auto *c = static_cast<UnreadableCase *>(arg);
  CaptureDebug capture;
  for (int round = 0; round < 2; ++round) {
    KConfig cfg(q(c->unreadable));
    if (!static_cast<KConfigFileBackend *>(cfg.backEnd())->isUnreadable())
      return 2;
    cfg.setGroup(QStringLiteral("pelskin"));
    cfg.writeEntry(QStringLiteral("lrcfont"), 21);
    cfg.sync();
  }
  {
    KConfig other(q(c->readable));
    other.setGroup(QStringLiteral("g"));
    other.writeEntry(QStringLiteral("k"), 1);
  }
  int reports = 0;
  for (const QString &line : debugLines)
    if (line.contains(QLatin1String("cannot read")) && line.contains(q(c->unreadable)))
      ++reports;
  return reports == 1 ? 0 : 3;
}
} // namespace

// A settings file that exists but cannot be read must not be replaced by the few keys a store
// opened on it holds: neither sync nor destruction writes it, and the user is told once.
TEST(KConfig, UnreadableFileIsNeverWrittenBack) {
  TempHome home;
  const std::string dir = home.path("shared");
  velora::test::makeDirs(dir);
  ASSERT_EQ(chmod(dir.c_str(), 0777), 0); // the unprivileged user may replace files here
  ASSERT_EQ(chmod(home.root().c_str(), 0755), 0);
  ASSERT_EQ(chmod(home.home().c_str(), 0755), 0);
  UnreadableCase c{dir + "/pelmar_cfg", dir + "/other.cfg"};
  const std::string old = "[pelskin]\nCurrentSkin=mine\nlrcfont=14\nshowlrc=true\n";
  writeFile(c.unreadable, old);
  ASSERT_EQ(chmod(c.unreadable.c_str(), 0), 0);
  int result = velora::test::runUnprivileged(writeThroughUnreadable, &c);
  ASSERT_EQ(chmod(c.unreadable.c_str(), 0644), 0);
  if (result < 0)
    GTEST_SKIP() << "running as root and cannot drop to an unprivileged user";
  EXPECT_EQ(result, 0) << "2: not seen as unreadable, 3: not reported exactly once";
  EXPECT_EQ(readFile(c.unreadable), old);
  EXPECT_EQ(readFile(c.readable), "[g]\nk=1\n");
  int entries = 0;
  for ([[maybe_unused]] auto &e : std::filesystem::directory_iterator(dir))
    ++entries;
  EXPECT_EQ(entries, 2); // no temporary file left either
}

// A read error in the middle of the file counts as unreadable too: a folder where the file
// should be opens but cannot be read.
TEST(KConfig, ReadErrorCountsAsUnreadable) {
  TempHome home;
  velora::test::makeDirs(home.path("cfg/inside"));
  {
    CaptureDebug capture;
    KConfig cfg(q(home.path("cfg")));
    EXPECT_TRUE(static_cast<KConfigFileBackend *>(cfg.backEnd())->isUnreadable());
    cfg.setGroup(QStringLiteral("g"));
    cfg.writeEntry(QStringLiteral("k"), 1);
  }
  EXPECT_TRUE(std::filesystem::is_directory(home.path("cfg/inside")));
  KConfig missing(q(home.path("missing")), true);
  EXPECT_FALSE(static_cast<KConfigFileBackend *>(missing.backEnd())->isUnreadable());
}
