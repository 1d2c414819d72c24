// Writes velora.desktop and the AppStream metainfo at build time, so the MIME types they claim
// are always those of the one list of playable kinds and a new format reaches the desktop
// without a second edit.
//   desktopgen <output file>                          the desktop entry
//   desktopgen --metainfo <template> <output file>    the template's %MEDIATYPES% line filled in
#include "playable.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include <cstdio>
#include <cstring>

namespace {

QByteArray desktopEntry() {
  QByteArray text = "[Desktop Entry]\n"
                    "Type=Application\n"
                    "Name=velora\n"
                    "GenericName=Music Player\n"
                    "GenericName[zh_CN]=音乐播放器\n"
                    "GenericName[zh_TW]=音樂播放器\n"
                    "Comment=Skinned music player with synchronised lyrics for small screens\n"
                    "Comment[zh_CN]=带同步歌词的小屏幕换肤音乐播放器\n"
                    "Comment[zh_TW]=帶同步歌詞的小螢幕換膚音樂播放器\n"
                    "Exec=velora %F\n"
                    "Icon=velora\n"
                    "Terminal=false\n"
                    "Categories=AudioVideo;Audio;Player;\n"
                    "Keywords=music;lyrics;LRC;playlist;equalizer;\n";
  text += "MimeType=" + playable::mimeTypes().join(';').toUtf8() + ";\n";
  return text;
}

// The template with its marker line replaced by one <mediatype> line per MIME type, indented
// like the marker. Empty when the marker is missing.
QByteArray metainfo(const QByteArray &templ) {
  const QByteArray marker = "%MEDIATYPES%";
  const qsizetype at = templ.indexOf(marker);
  if (at < 0)
    return {};
  const qsizetype lineStart = templ.lastIndexOf('\n', at) + 1;
  const QByteArray indent = templ.mid(lineStart, at - lineStart);
  QByteArray lines;
  for (const QString &type : playable::mimeTypes())
    lines += (lines.isEmpty() ? QByteArray() : "\n" + indent) + "<mediatype>" + type.toUtf8() +
             "</mediatype>";
  QByteArray out = templ;
  return out.replace(at, marker.size(), lines);
}

bool save(const char *path, const QByteArray &text) {
  QSaveFile out(QString::fromLocal8Bit(path));
  return out.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && out.write(text) == text.size() &&
         out.commit();
}

} // namespace

int main(int argc, char **argv) {
  QByteArray text;
  const char *output = nullptr;
  if (argc == 2 && argv[1][0] != '-') {
    text = desktopEntry();
    output = argv[1];
  } else if (argc == 4 && std::strcmp(argv[1], "--metainfo") == 0) {
    QFile templ(QString::fromLocal8Bit(argv[2]));
    if (!templ.open(QIODevice::ReadOnly)) {
      std::fprintf(stderr, "desktopgen: cannot read %s\n", argv[2]);
      return 1;
    }
    text = metainfo(templ.readAll());
    if (text.isEmpty()) {
      std::fprintf(stderr, "desktopgen: %s has no %%MEDIATYPES%% line\n", argv[2]);
      return 1;
    }
    output = argv[3];
  } else {
    std::fprintf(stderr, "usage: desktopgen <output file>\n"
                         "       desktopgen --metainfo <template> <output file>\n");
    return 2;
  }
  if (!save(output, text)) {
    std::fprintf(stderr, "desktopgen: cannot write %s\n", output);
    return 1;
  }
  return 0;
}
