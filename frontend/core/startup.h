// The start-up sequence of the program: the player controller, the engine, the main window.
#pragma once

class MainFace;
class ZApplication;

// Creates the controller, makes sure the engine runs (waiting up to ten checks, checkMs apart)
// and creates and shows the main window, which is returned. The caller runs the event loop.
MainFace *startVelora(ZApplication &app, int checkMs = 1000);
