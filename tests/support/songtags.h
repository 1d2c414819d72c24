// Songs with lyrics in their tags, made at test time: a silent song from ffmpeg, then TagLib
// writes the tag under test.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/synchronizedlyricsframe.h>
#include <taglib/tpropertymap.h>

#include <initializer_list>
#include <string>
#include <utility>

namespace velora::test {

// A silent mono song of `seconds`, in the kind the codec arguments ask for ("-c:a", "flac");
// false when ffmpeg is missing or cannot make that kind.
inline bool makeSilentSong(const std::string &path, const QStringList &codec, int seconds) {
  QStringList args = {"-v",
                      "error",
                      "-y",
                      "-f",
                      "lavfi",
                      "-i",
                      "anullsrc=r=48000:cl=mono",
                      "-t",
                      QString::number(seconds)};
  args << codec << QString::fromStdString(path);
  return QProcess::execute("ffmpeg", args) == 0;
}

// Sets one tag property (LYRICS, SYNCEDLYRICS) through TagLib's format-neutral map.
inline bool setTagProperty(const std::string &path, const char *key, const QString &text) {
  TagLib::FileRef ref(path.c_str());
  if (ref.isNull())
    return false;
  TagLib::PropertyMap map = ref.file()->properties();
  map.replace(key,
              TagLib::StringList(TagLib::String(text.toUtf8().constData(), TagLib::String::UTF8)));
  ref.file()->setProperties(map);
  return ref.save();
}

// Adds an ID3v2 SYLT frame of (milliseconds, text) entries to an MP3.
inline bool addSyncedLyrics(const std::string &mp3,
                            std::initializer_list<std::pair<unsigned, const char *>> entries) {
  TagLib::MPEG::File file(mp3.c_str());
  auto *frame = new TagLib::ID3v2::SynchronizedLyricsFrame(TagLib::String::UTF8);
  frame->setTimestampFormat(TagLib::ID3v2::SynchronizedLyricsFrame::AbsoluteMilliseconds);
  frame->setType(TagLib::ID3v2::SynchronizedLyricsFrame::Lyrics);
  TagLib::ID3v2::SynchronizedLyricsFrame::SynchedTextList list;
  for (const auto &[ms, text] : entries)
    list.append({ms, TagLib::String(text)});
  frame->setSynchedText(list);
  file.ID3v2Tag(true)->addFrame(frame);
  return file.save();
}

} // namespace velora::test
