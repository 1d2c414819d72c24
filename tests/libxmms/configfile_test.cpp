#include "kconfig.h"
#include "testenv.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <xmms/configfile.h>

using velora::test::readFile;
using velora::test::TempHome;
using velora::test::writeFile;

// The engine (through these calls) and the front-end (through KConfig) share ~/.xmms/config:
// each must read what the other wrote, booleans in either spelling included.
TEST(ConfigFile, SharesTheFileWithTheSettingsStore) {
  TempHome home;
  const std::string path = home.path(".xmms/config");
  {
    KConfig k(QString::fromStdString(path));
    k.setGroup(QStringLiteral("xmms"));
    k.writeEntry(QStringLiteral("shuffle"), true);
    k.writeEntry(QStringLiteral("repeat"), false);
    k.writeEntry(QStringLiteral("equalizer_preamp"), QStringLiteral("-3.5"));
    k.setGroup(QStringLiteral("Winskin"));
    k.writeEntry(QStringLiteral("Volume"), 45);
    k.writeEntry(QStringLiteral("word"), QStringLiteral("x y=z"));
  }
  ConfigFile *cfg = xmms_cfg_open_default_file();
  int b = -1, n = -1;
  float f = 0;
  char *s = nullptr;
  ASSERT_TRUE(xmms_cfg_read_boolean(cfg, "xmms", "shuffle", &b));
  EXPECT_EQ(b, 1);
  ASSERT_TRUE(xmms_cfg_read_boolean(cfg, "xmms", "repeat", &b));
  EXPECT_EQ(b, 0);
  ASSERT_TRUE(xmms_cfg_read_float(cfg, "xmms", "equalizer_preamp", &f));
  EXPECT_FLOAT_EQ(f, -3.5f);
  ASSERT_TRUE(xmms_cfg_read_int(cfg, "Winskin", "Volume", &n));
  EXPECT_EQ(n, 45);
  ASSERT_TRUE(xmms_cfg_read_string(cfg, "Winskin", "word", &s));
  EXPECT_STREQ(s, "x y=z");
  std::free(s);
  n = 7;
  EXPECT_FALSE(xmms_cfg_read_int(cfg, "Winskin", "missing", &n));
  EXPECT_FALSE(xmms_cfg_read_int(cfg, "nogroup", "Volume", &n));
  EXPECT_EQ(n, 7);

  xmms_cfg_write_boolean(cfg, "xmms", "repeat", 1);
  xmms_cfg_write_float(cfg, "xmms", "equalizer_band3", 12.25f);
  xmms_cfg_write_int(cfg, "OSS", "ezx_bass_booster", 0);
  xmms_cfg_write_string(cfg, "disk_writer", "file", "/tmp/a\nb.wav");
  xmms_cfg_remove_key(cfg, "Winskin", "word");
  ASSERT_TRUE(xmms_cfg_write_default_file(cfg));
  xmms_cfg_free(cfg);

  KConfig k(QString::fromStdString(path), true);
  k.setGroup(QStringLiteral("xmms"));
  EXPECT_TRUE(k.readBoolEntry(QStringLiteral("repeat"), false)); // "TRUE" read in any case
  EXPECT_TRUE(k.readBoolEntry(QStringLiteral("shuffle"), false));
  EXPECT_EQ(k.readEntry(QStringLiteral("equalizer_band3")).toFloat(), 12.25f);
  k.setGroup(QStringLiteral("Winskin"));
  EXPECT_EQ(k.readNumEntry(QStringLiteral("Volume"), 0), 45);
  EXPECT_FALSE(k.hasKey(QStringLiteral("word")));
  k.setGroup(QStringLiteral("disk_writer"));
  EXPECT_EQ(k.readEntry(QStringLiteral("file")), QStringLiteral("/tmp/a b.wav")); // one line
  k.setGroup(QStringLiteral("OSS"));
  EXPECT_FALSE(k.readBoolEntry(QStringLiteral("ezx_bass_booster"), true));
}

TEST(ConfigFile, MissingAndBrokenFiles) {
  TempHome home;
  EXPECT_EQ(xmms_cfg_open_file(home.path("nothing").c_str()), nullptr);
  ConfigFile *cfg = xmms_cfg_open_default_file(); // never null
  ASSERT_NE(cfg, nullptr);
  xmms_cfg_free(cfg);

  writeFile(home.path(".xmms/config"), "[xmms\nnoequals\n=\nk=v\n[g]\nint=abc\nf=.\n");
  cfg = xmms_cfg_open_default_file();
  char *s = nullptr;
  int n = 5;
  float f = 1;
  ASSERT_TRUE(xmms_cfg_read_string(cfg, "<default>", "k", &s));
  EXPECT_STREQ(s, "v");
  std::free(s);
  EXPECT_FALSE(xmms_cfg_read_int(cfg, "g", "int", &n));
  EXPECT_FALSE(xmms_cfg_read_float(cfg, "g", "f", &f));
  EXPECT_EQ(n, 5);
  // A folder where the file should be: the write fails and says so.
  velora::test::makeDirs(home.path("dir"));
  EXPECT_FALSE(xmms_cfg_write_file(cfg, home.path("dir").c_str()));
  xmms_cfg_free(cfg);
}
