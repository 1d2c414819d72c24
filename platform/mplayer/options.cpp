#include "options.h"

#include <cctype>
#include <map>
#include <sstream>

namespace mplayer_adaptor {

namespace {

bool allDigits(const std::string &s) {
  if (s.empty())
    return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c)))
      return false;
  return true;
}

std::string lower(std::string s) {
  for (char &c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// A single driver from the old list may no longer be built into today's player (oss, arts,
// esd): a trailing comma lets mplayer fall back on the drivers it has instead of going mute.
std::string withFallback(const std::string &drivers) {
  if (drivers.empty() || drivers.back() == ',' || drivers == "null" || drivers.rfind("pcm", 0) == 0)
    return drivers;
  return drivers + ",";
}

} // namespace

bool isIdentify(const std::vector<std::string> &args) {
  for (const auto &a : args)
    if (a == "-identify")
      return true;
  return false;
}

std::string quoteSubOption(const std::string &value) {
  return "%" + std::to_string(value.size()) + "%" + value;
}

std::vector<std::string> translate(const std::vector<std::string> &args) {
  const bool identify = isIdentify(args);
  std::string aofile;
  bool haveAofile = false, noWaveHeader = false, haveFormat = false;
  std::vector<std::string> out;
  std::vector<std::string> audioDrivers;

  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "-aofile" && hasValue) {
      aofile = args[++i];
      haveAofile = true;
    } else if (a == "-nowaveheader") {
      noWaveHeader = true;
    } else if (a == "-ao" && hasValue) {
      audioDrivers.push_back(args[++i]);
    } else if (a == "-format" && hasValue) {
      // The old numeric sample-format codes are gone; the plug-in reads signed 16-bit
      // little-endian whatever number it asked for.
      const std::string &f = args[++i];
      out.push_back("-format");
      out.push_back(allDigits(f) ? "s16le" : f);
      haveFormat = true;
    } else {
      out.push_back(a);
    }
  }

  // Options the adaptor decides go first: mplayer takes options after a file name as options
  // of that file only.
  std::vector<std::string> front;
  if (identify) {
    // Identification must not play the file aloud: no sound, no picture, stop before playing.
    front = {"-ao", "null", "-vo", "null", "-frames", "0"};
  } else if (haveAofile) {
    std::string pcm = "pcm:";
    if (noWaveHeader)
      pcm += "nowaveheader:";
    pcm += "file=" + quoteSubOption(aofile);
    front = {"-ao", pcm};
    if (!haveFormat)
      front.insert(front.end(), {"-format", "s16le"});
  } else {
    for (const auto &d : audioDrivers)
      front.insert(front.end(), {"-ao", withFallback(d)});
  }
  out.insert(out.begin(), front.begin(), front.end());
  return out;
}

std::string rewriteIdentify(const std::string &output) {
  std::vector<std::string> lines;
  {
    std::istringstream in(output);
    std::string line;
    while (std::getline(in, line))
      lines.push_back(line);
  }
  std::map<std::string, std::string> finalValue;
  std::map<std::string, std::string> clipNames; // index -> lower-case clip info name
  std::string clipTitle, clipArtist;
  bool haveName = false, haveArtist = false;
  for (const auto &l : lines) {
    if (l.find("Name:") != std::string::npos)
      haveName = true;
    if (l.find("Artist:") != std::string::npos)
      haveArtist = true;
    if (l.rfind("ID_", 0) != 0)
      continue;
    size_t eq = l.find('=');
    if (eq == std::string::npos)
      continue;
    std::string key = l.substr(0, eq), value = l.substr(eq + 1);
    finalValue[key] = value;
    const std::string nameKey = "ID_CLIP_INFO_NAME", valueKey = "ID_CLIP_INFO_VALUE";
    if (key.rfind(nameKey, 0) == 0)
      clipNames[key.substr(nameKey.size())] = lower(value);
    else if (key.rfind(valueKey, 0) == 0) {
      const std::string &name = clipNames[key.substr(valueKey.size())];
      if ((name == "title" || name == "name") && clipTitle.empty())
        clipTitle = value;
      else if (name == "artist" && clipArtist.empty())
        clipArtist = value;
    }
  }

  std::string result;
  std::map<std::string, bool> printed;
  bool tagsAdded = false;
  auto addTags = [&] {
    if (tagsAdded)
      return;
    tagsAdded = true;
    if (!haveName && !clipTitle.empty())
      result += " Name: " + clipTitle + "\n";
    if (!haveArtist && !clipArtist.empty())
      result += " Artist: " + clipArtist + "\n";
  };
  for (const auto &l : lines) {
    size_t eq = l.find('=');
    if (l.rfind("ID_", 0) == 0 && eq != std::string::npos) {
      std::string key = l.substr(0, eq);
      if (key == "ID_CLIP_INFO_N")
        addTags();
      if (printed[key])
        continue;
      printed[key] = true;
      result += key + "=" + finalValue[key] + "\n";
    } else {
      result += l + "\n";
    }
  }
  addTags();
  return result;
}

} // namespace mplayer_adaptor
