// One QApplication for the whole test program (widgets need it), plus event-loop helpers.
#pragma once

#include <QString>
#include <functional>
#include <string>

class ZApplication;

// The phone application object, made once.
ZApplication *guiApp();
// Runs the event loop until cond() is true or timeoutMs pass; returns cond().
bool spinUntil(const std::function<bool()> &cond, int timeoutMs = 3000);
void spinFor(int ms);
// ~/.xmms/config that makes the engine play silently and quickly into the null output.
void writeSilentEngineConfig(const std::string &home, const std::string &extra = "");
// A silent 16-bit mono WAV of the given length at 8000 Hz.
void writeSilentWav(const std::string &path, int seconds);
