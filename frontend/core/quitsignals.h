// SIGTERM, SIGINT and SIGHUP (a logout, Ctrl-C in the starting terminal, `kill`) end velora the
// way Exit does, so its engine never plays on without a window. The handler only writes the
// signal's number into a pipe; the close itself runs from the event loop, which reads the pipe.
#pragma once

#include <functional>

namespace quitsignals {

// Routes the three signals to onQuit (given the signal number), called from the event loop of
// the calling thread. A later call replaces the callback; the handlers are installed once.
// Returns false when the pipe or a handler could not be set up (the signals then keep their
// default action).
bool install(std::function<void(int)> onQuit);

} // namespace quitsignals
