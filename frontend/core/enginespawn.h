// Starting the audio engine as a process that ends with the window: when velora is killed
// outright (SIGKILL, an out-of-memory kill, a crash) its close sequence never runs, and an
// engine started detached would go on playing with no window to stop it.
#pragma once

#include <QString>

#include <sys/types.h>

namespace enginespawn {

// Runs program (no arguments, never through a shell) in a session of its own; the kernel sends
// it SIGTERM when this process ends, however it ends. The pid, or -1 when it cannot be started.
pid_t startTied(const QString &program);

// Collects the exit status of every engine started here that has ended, so none stays a zombie.
void reapEnded();

} // namespace enginespawn
