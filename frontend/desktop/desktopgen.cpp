// Writes velora.desktop at build time, so the MIME types it claims are always those of the one
// list of playable kinds and a new format reaches the desktop entry without a second edit.
//   desktopgen <output file>
#include "playable.h"

#include <QSaveFile>
#include <QStringList>

#include <cstdio>

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: desktopgen <output file>\n");
    return 2;
  }
  QByteArray text = "[Desktop Entry]\n"
                    "Type=Application\n"
                    "Name=velora\n"
                    "GenericName=Music Player\n"
                    "Comment=Skinned music player with synchronised lyrics for small screens\n"
                    "Exec=velora\n"
                    "Icon=velora\n"
                    "Terminal=false\n"
                    "Categories=AudioVideo;Audio;Player;\n"
                    "Keywords=music;lyrics;LRC;playlist;equalizer;\n";
  text += "MimeType=" + playable::mimeTypes().join(';').toUtf8() + ";\n";
  QSaveFile out(QString::fromLocal8Bit(argv[1]));
  if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || out.write(text) != text.size() ||
      !out.commit()) {
    std::fprintf(stderr, "desktopgen: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
