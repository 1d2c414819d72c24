// Which files count as songs: the kinds the engine's input plug-ins name beside their records,
// read here from the staged plug-ins with dlopen, are exactly what the folder command, the
// playlist editor's ticks and the desktop entry's MIME types take.
#include "dialogfixture.h"

#include "core/playable.h"

#include <xmms/plugin.h>

#include <QDir>
#include <dlfcn.h>

#include <sstream>

using namespace velora::test;

namespace {

struct PluginKinds {
  QStringList extensions, mimeTypes;
};

PluginKinds stagedPluginKinds() {
  PluginKinds kinds;
  const QString dir = QString::fromStdString(stageDir() + "/lib/xmms/Input");
  for (const QString &name : QDir(dir).entryList({"*.so"}, QDir::Files)) {
    void *h = dlopen((dir + "/" + name).toLocal8Bit().constData(), RTLD_LAZY | RTLD_LOCAL);
    EXPECT_NE(h, nullptr) << name.toStdString() << ": " << dlerror();
    if (!h)
      continue;
    auto words = [h](const char *symbol) {
      auto text = reinterpret_cast<VeloraInputTextFunc>(dlsym(h, symbol));
      EXPECT_NE(text, nullptr) << symbol;
      return text ? QString::fromLatin1(text()).split(' ', Qt::SkipEmptyParts) : QStringList{};
    };
    kinds.extensions += words(VELORA_INPUT_EXTENSIONS_SYMBOL);
    kinds.mimeTypes += words(VELORA_INPUT_MIME_TYPES_SYMBOL);
    dlclose(h);
  }
  return kinds;
}

TEST_F(DialogTest, PlayableKindsAreThoseThePluginsNameAndFolderPlayTakesThem) {
  const PluginKinds kinds = stagedPluginKinds();
  ASSERT_FALSE(kinds.extensions.isEmpty());
  for (const QString &ext : kinds.extensions) {
    EXPECT_TRUE(playable::extensions().contains(ext)) << ext.toStdString();
    EXPECT_TRUE(playable::isPlayable("/m/song." + ext.toUpper())) << ext.toStdString();
  }
  // Nothing beyond the phone's own kinds and the plug-ins' ones.
  const QStringList phone = {"mp3", "mp2", "mp1", "ogg", "aac", "fmr"};
  for (const QString &ext : playable::extensions())
    EXPECT_TRUE(kinds.extensions.contains(ext) || phone.contains(ext)) << ext.toStdString();
  EXPECT_EQ(QSet<QString>(playable::mimeTypes().begin(), playable::mimeTypes().end()),
            QSet<QString>(kinds.mimeTypes.begin(), kinds.mimeTypes.end()));
  // Audiobooks and the lossless and older kinds of people's libraries are among them.
  for (const char *ext :
       {"m4b", "alac", "aif", "aiff", "wv", "ape", "mpc", "wma", "oga", "tta", "mka", "caf"})
    EXPECT_TRUE(playable::isPlayable(QString("/m/x.") + ext)) << ext;
  EXPECT_FALSE(playable::isPlayable("/m/notes.txt"));
  EXPECT_FALSE(playable::isPlayable("/m/book.m4b.lrc"));

  // The folder command lists them, in name order, and nothing else.
  startEngine({song("old", "old-song.wav")});
  openWindow();
  for (const char *name : {"c Chapter.M4B", "a pack.wv", "b apple.aiff", "d.lrc", "e.txt"})
    writeFile(home.path(std::string("books/") + name), "x");
  const std::string dir = home.path("books");
  w->playFolder(QString::fromStdString(dir));
  ASSERT_TRUE(waitForRestart());
  EXPECT_EQ(readFile(home.path(".xmms/xmms.m3u")),
            dir + "/a pack.wv\n" + dir + "/b apple.aiff\n" + dir + "/c Chapter.M4B\n");
  EXPECT_EQ(enginePlaylist().size(), 3u);
}

} // namespace
