// The iTunes-style tag list (ilst) under udta/meta or moov/meta.
#include "internal.h"

#include <cstring>

namespace mp4ff_detail {

namespace {

const char *const kGenres[] = {"Blues",
                               "Classic Rock",
                               "Country",
                               "Dance",
                               "Disco",
                               "Funk",
                               "Grunge",
                               "Hip-Hop",
                               "Jazz",
                               "Metal",
                               "New Age",
                               "Oldies",
                               "Other",
                               "Pop",
                               "R&B",
                               "Rap",
                               "Reggae",
                               "Rock",
                               "Techno",
                               "Industrial",
                               "Alternative",
                               "Ska",
                               "Death Metal",
                               "Pranks",
                               "Soundtrack",
                               "Euro-Techno",
                               "Ambient",
                               "Trip-Hop",
                               "Vocal",
                               "Jazz+Funk",
                               "Fusion",
                               "Trance",
                               "Classical",
                               "Instrumental",
                               "Acid",
                               "House",
                               "Game",
                               "Sound Clip",
                               "Gospel",
                               "Noise",
                               "AlternRock",
                               "Bass",
                               "Soul",
                               "Punk",
                               "Space",
                               "Meditative",
                               "Instrumental Pop",
                               "Instrumental Rock",
                               "Ethnic",
                               "Gothic",
                               "Darkwave",
                               "Techno-Industrial",
                               "Electronic",
                               "Pop-Folk",
                               "Eurodance",
                               "Dream",
                               "Southern Rock",
                               "Comedy",
                               "Cult",
                               "Gangsta",
                               "Top 40",
                               "Christian Rap",
                               "Pop/Funk",
                               "Jungle",
                               "Native American",
                               "Cabaret",
                               "New Wave",
                               "Psychadelic",
                               "Rave",
                               "Showtunes",
                               "Trailer",
                               "Lo-Fi",
                               "Tribal",
                               "Acid Punk",
                               "Acid Jazz",
                               "Polka",
                               "Retro",
                               "Musical",
                               "Rock & Roll",
                               "Hard Rock",
                               "Folk",
                               "Folk-Rock",
                               "National Folk",
                               "Swing",
                               "Fast Fusion",
                               "Bebob",
                               "Latin",
                               "Revival",
                               "Celtic",
                               "Bluegrass",
                               "Avantgarde",
                               "Gothic Rock",
                               "Progressive Rock",
                               "Psychedelic Rock",
                               "Symphonic Rock",
                               "Slow Rock",
                               "Big Band",
                               "Chorus",
                               "Easy Listening",
                               "Acoustic",
                               "Humour",
                               "Speech",
                               "Chanson",
                               "Opera",
                               "Chamber Music",
                               "Sonata",
                               "Symphony",
                               "Booty Bass",
                               "Primus",
                               "Porn Groove",
                               "Satire",
                               "Slow Jam",
                               "Club",
                               "Tango",
                               "Samba",
                               "Folklore",
                               "Ballad",
                               "Power Ballad",
                               "Rhythmic Soul",
                               "Freestyle",
                               "Duet",
                               "Punk Rock",
                               "Drum Solo",
                               "A capella",
                               "Euro-House",
                               "Dance Hall"};

// A freeform item ("----"): a name box (after 4 bytes of version and flags) and a data box.
void parseFreeform(Cursor item, mp4ff &f) {
  uint32_t type;
  Cursor payload;
  std::string name, value;
  bool haveValue = false;
  while (item.remaining() >= 8 && nextBox(item, type, payload)) {
    if (type == fourcc("name") && payload.skip(4)) {
      name.assign(reinterpret_cast<const char *>(payload.here()), payload.remaining());
    } else if (type == fourcc("data") && payload.skip(8)) {
      value.assign(reinterpret_cast<const char *>(payload.here()), payload.remaining());
      haveValue = true;
    }
  }
  if (!name.empty() && haveValue)
    f.freeform[name] = value.substr(0, strnlen(value.c_str(), value.size()));
}

void parseIlstItem(uint32_t itemType, Cursor item, mp4ff &f) {
  uint32_t type;
  Cursor payload;
  while (item.remaining() >= 8) {
    if (!nextBox(item, type, payload))
      return;
    if (type != fourcc("data"))
      continue;
    payload.skip(8); // type indicator, locale
    if (!payload.ok())
      return;
    const char *text = reinterpret_cast<const char *>(payload.here());
    size_t length = payload.remaining();
    if (itemType == kTagTrack) {
      payload.skip(2);
      uint16_t number = payload.u16(), total = payload.u16();
      if (!payload.ok() || number == 0)
        return;
      std::string value = std::to_string(number);
      if (total) {
        value += '/';
        value += std::to_string(total);
      }
      f.tags[kTagTrack] = value;
    } else if (itemType == kTagGenreNumber) {
      uint16_t number = payload.u16();
      if (payload.ok() && number >= 1 && number <= sizeof kGenres / sizeof kGenres[0] &&
          !f.tags.count(kTagGenre))
        f.tags[kTagGenre] = kGenres[number - 1];
    } else {
      f.tags[itemType] = std::string(text, strnlen(text, length));
    }
    return;
  }
}

} // namespace

void parseMeta(Cursor c, mp4ff &f) {
  // ISO writers make meta a full box (4 bytes of version and flags); QuickTime ones do not.
  if (c.remaining() >= 8 && memcmp(c.here() + 4, "hdlr", 4) != 0)
    c.skip(4);
  uint32_t type;
  Cursor payload;
  while (c.remaining() >= 8) {
    if (!nextBox(c, type, payload))
      return;
    if (type != fourcc("ilst"))
      continue;
    uint32_t itemType;
    Cursor item;
    while (payload.remaining() >= 8 && nextBox(payload, itemType, item)) {
      if (itemType == fourcc("----"))
        parseFreeform(item, f);
      else
        parseIlstItem(itemType, item, f);
    }
  }
}

void parseUdta(Cursor c, mp4ff &f) {
  uint32_t type;
  Cursor payload;
  while (c.remaining() >= 8) {
    if (!nextBox(c, type, payload))
      return;
    if (type == fourcc("meta"))
      parseMeta(payload, f);
  }
}

int getTag(const mp4ff_t *f, uint32_t tag, char **value) {
  if (!value)
    return 0;
  *value = nullptr;
  if (!f)
    return 0;
  auto it = f->tags.find(tag);
  if (it == f->tags.end())
    return 0;
  *value = strdup(it->second.c_str());
  return *value ? 1 : 0;
}

} // namespace mp4ff_detail
