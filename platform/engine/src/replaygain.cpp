#include "replaygain.h"

#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/fileref.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/trueaudiofile.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <sys/stat.h>

namespace engine {

namespace {

// Gains beyond this are not loudness corrections but broken tags.
constexpr double kMaxGainDb = 60.0;
// R128 gains aim at -23 LUFS, ReplayGain at -18 (RFC 7845 and the ReplayGain 2.0 reference).
constexpr double kR128ToReplayGainDb = 5.0;

std::string trim(const std::string &s) {
  size_t a = 0, b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a])))
    ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1])))
    --b;
  return s.substr(a, b - a);
}

// The leading number of text, which must be all that is there but for a unit word after it.
std::optional<double> leadingNumber(const std::string &text, bool allowUnit) {
  std::string t = trim(text);
  if (!t.empty() && t[0] == '+')
    t.erase(0, 1);
  double v = 0;
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  if (ec != std::errc() || end == t.data() || !std::isfinite(v))
    return std::nullopt;
  std::string rest = trim(t.substr(static_cast<size_t>(end - t.data())));
  std::transform(rest.begin(), rest.end(), rest.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (!rest.empty() && !(allowUnit && rest == "db"))
    return std::nullopt;
  return v;
}

std::string upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

// The first value of each key in a property map, keys in upper case.
void takeFields(const TagLib::PropertyMap &map, ReplayGainInfo &info, bool opus) {
  auto first = [&](const char *key) -> std::string {
    auto it = map.find(key);
    if (it == map.end() || it->second.isEmpty())
      return {};
    return it->second.front().to8Bit(true);
  };
  auto fill = [](std::optional<double> &slot, std::optional<double> v) {
    if (!slot)
      slot = v;
  };
  // Opus keeps its own R128 gains; ReplayGain keys there are a tagger's leftover.
  if (opus) {
    fill(info.trackGainDb, parseR128(first("R128_TRACK_GAIN")));
    fill(info.albumGainDb, parseR128(first("R128_ALBUM_GAIN")));
  }
  fill(info.trackGainDb, parseGainDb(first("REPLAYGAIN_TRACK_GAIN")));
  fill(info.trackPeak, parsePeak(first("REPLAYGAIN_TRACK_PEAK")));
  fill(info.albumGainDb, parseGainDb(first("REPLAYGAIN_ALBUM_GAIN")));
  fill(info.albumPeak, parsePeak(first("REPLAYGAIN_ALBUM_PEAK")));
  if (info.album.empty())
    info.album = first("ALBUM");
}

// MP4 freeform items "----:com.apple.iTunes:replaygain_track_gain" and the like, whatever the
// case of the name.
void takeMp4Freeform(TagLib::MP4::Tag *tag, ReplayGainInfo &info) {
  if (!tag)
    return;
  TagLib::PropertyMap map;
  const std::string prefix = "----:COM.APPLE.ITUNES:";
  for (const auto &[key, item] : tag->itemMap()) {
    std::string k = upper(key.to8Bit(true));
    if (k.rfind(prefix, 0) != 0)
      continue;
    TagLib::StringList values = item.toStringList();
    if (!values.isEmpty())
      map.insert(k.substr(prefix.size()), values);
  }
  takeFields(map, info, false);
}

// WMA keeps taggers' gains as attributes of their own name ("replaygain_track_gain"), which
// the generic property map leaves out.
void takeAsfAttributes(TagLib::ASF::Tag *tag, ReplayGainInfo &info) {
  if (!tag)
    return;
  TagLib::PropertyMap map;
  for (const auto &[key, attributes] : tag->attributeListMap()) {
    TagLib::StringList values;
    for (const auto &a : attributes)
      values.append(a.toString());
    if (!values.isEmpty())
      map.insert(upper(key.to8Bit(true)), values);
  }
  takeFields(map, info, false);
}

// An APEv2 tag at the end of a file whose kind TagLib reads only ID3 tags of (True Audio, as
// ffmpeg and foobar2000 write it): its footer is the last 32 bytes, or sits before an ID3v1 tag.
void takeTrailingApeTag(TagLib::File *file, ReplayGainInfo &info) {
  const long size = file->length();
  for (long footer : {size - 32, size - 128 - 32}) {
    if (footer < 0)
      continue;
    file->seek(footer);
    if (file->readBlock(8) != TagLib::ByteVector("APETAGEX", 8))
      continue;
    TagLib::APE::Tag tag(file, footer);
    takeFields(tag.properties(), info, false);
    return;
  }
}

} // namespace

std::optional<double> parseGainDb(const std::string &text) {
  auto v = leadingNumber(text, true);
  if (v && std::fabs(*v) <= kMaxGainDb)
    return v;
  return std::nullopt;
}

std::optional<double> parsePeak(const std::string &text) {
  auto v = leadingNumber(text, false);
  if (v && *v > 0 && *v < 100)
    return v;
  return std::nullopt;
}

std::optional<double> parseR128(const std::string &text) {
  auto v = leadingNumber(text, false);
  if (!v || *v != std::trunc(*v) || *v < -32768 || *v > 32767)
    return std::nullopt;
  return *v / 256.0 + kR128ToReplayGainDb;
}

ReplayGainInfo readReplayGain(const std::string &path) {
  ReplayGainInfo info;
  // Only plain files: opening a FIFO or a device named like a song would stop the player
  // thread until someone writes to it.
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    return info;
  TagLib::FileRef ref(path.c_str(), false);
  TagLib::File *file = ref.file();
  if (!file || !file->isValid())
    return info;
  const bool opus = dynamic_cast<TagLib::Ogg::Opus::File *>(file) != nullptr;
  takeFields(file->properties(), info, opus);
  // An MP3 may keep its gains in an APE tag beside an ID3v2 tag that has none.
  if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(file); mpeg && mpeg->hasAPETag())
    takeFields(mpeg->APETag()->properties(), info, false);
  if (auto *mp4 = dynamic_cast<TagLib::MP4::File *>(file))
    takeMp4Freeform(mp4->tag(), info);
  if (auto *asf = dynamic_cast<TagLib::ASF::File *>(file))
    takeAsfAttributes(asf->tag(), info);
  if (dynamic_cast<TagLib::TrueAudio::File *>(file) != nullptr)
    takeTrailingApeTag(file, info);
  return info;
}

double replayGainFactor(const ReplayGainInfo &info, bool useAlbum, double preampDb, bool clip) {
  std::optional<double> gain = useAlbum ? info.albumGainDb : info.trackGainDb;
  std::optional<double> peak = useAlbum ? info.albumPeak : info.trackPeak;
  if (!gain) {
    gain = useAlbum ? info.trackGainDb : info.albumGainDb;
    peak = useAlbum ? info.trackPeak : info.albumPeak;
  }
  if (!gain)
    return 1.0;
  double factor = std::pow(10.0, (*gain + preampDb) / 20.0);
  if (clip && peak && *peak * factor > 1.0)
    factor = 1.0 / *peak;
  return factor;
}

} // namespace engine
