// The engine reads its playlist file only when it starts, so a new playlist means: stop this
// session's engine, replace the file, start the engine again.
#pragma once

#include <functional>

class XMMSPlayer;

// Stops the engine this session started (and the mplayer processes it started), waits until it
// is gone (a new engine does not start beside a live one), runs rewrite, then starts the engine
// through controller and waits for it to answer. Returns rewrite's result. With no controller
// the file is still rewritten.
bool restartEngine(XMMSPlayer *controller, const std::function<bool()> &rewrite);
