// Translation of the player's old command-line spellings into the ones today's mplayer accepts.
#pragma once

#include <string>
#include <vector>

namespace mplayer_adaptor {

// True when the command line asks for identification only.
bool isIdentify(const std::vector<std::string> &args);

// args are the arguments after the program name. The result is what the real mplayer gets
// (again without the program name).
std::vector<std::string> translate(const std::vector<std::string> &args);

// Rewrites captured -identify output: each ID_ key appears once, where it first appeared, with
// the last value the player gave it; clip information named title or artist is also given as
// " Name: " and " Artist: " lines.
std::string rewriteIdentify(const std::string &output);

// mplayer's sub-option quoting for a value that may hold ':' or ',': %<bytes>%<value>.
std::string quoteSubOption(const std::string &value);

} // namespace mplayer_adaptor
