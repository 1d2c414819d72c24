// A real player started as a program (staged, or unpacked from the package) on the test's
// temporary home, with the disk writer as its output so what it plays can be checked.
#pragma once

#include "child.h"
#include "testenv.h"

#include <string>

namespace velora::test {

// Settings of the user's own: the disk writer into heardPath (it writes as fast as the song
// decodes), no shuffle, no repeat.
void useDiskWriter(const TempHome &home, const std::string &heardPath);
// The same with the null output, which plays in real time: what plays when can be watched.
void useNullOutput(const TempHome &home);
// The engine's playlist entry, "" when there is none.
std::string engineFile(int pos);
// Largest sample of the 16-bit WAV the disk writer left.
int heardPeak(const std::string &wavPath);
// Ends the player: its desktop Quit when a session bus is there, else SIGTERM, then makes sure
// this session's engine is gone too. Returns the player's exit status (-1: it had to be killed).
int endPlayer(Child &player, const TempHome &home);

} // namespace velora::test
