// Plug-in calls that may never return (a stop whose thread hangs, a cleanup that waits on a
// child) run on a helper thread; the caller waits a bounded time and carries on without it.
#pragma once

#include <functional>
#include <thread>

namespace engine {

// Runs fn on its own thread and waits up to timeoutMs. True when fn returned in time; false
// when it is still running, in which case the helper thread is left behind (detached).
bool runWithTimeout(const std::function<void()> &fn, int timeoutMs);

// Joins t when it finishes within timeoutMs (finished() tells when it has); detaches otherwise.
bool joinWithTimeout(std::thread &t, const std::function<bool()> &finished, int timeoutMs);

} // namespace engine
