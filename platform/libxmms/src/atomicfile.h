#pragma once

#include <string>

namespace xmms {

// Writes text to a temporary file beside path, flushes it to disk and renames it over path, so
// a crash or a full disk leaves either the old file or the new one, never half of one.
bool writeFileAtomically(const std::string &path, const std::string &text);

// mkdir -p with mode 0700 for new folders; true when the folder exists afterwards.
bool makeFolder(const std::string &path);

} // namespace xmms
