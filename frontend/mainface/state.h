// Process-wide state of the front-end: the settings loaded at start-up and the play, panel and
// drawing state that the main window's parts (touch, commands, keys, drawing) share. One value
// each, for the life of the process.
#pragma once

#include <QString>

// Settings (front-end settings file and engine configuration).
extern int volumePercent;  // 0..100, "Volume" (Winskin)
extern bool shuffleOn;     // "shuffle" (xmms)
extern bool repeatOn;      // "repeat" (xmms)
extern bool equalizerOn;   // "equalizer_active" (xmms)
extern bool bassBoosterOn; // "ezx_bass_booster" (OSS)
extern bool audio3dOn;     // "ezx_audio_3d" (OSS)
extern int lyricsFontSize; // "lrcfont": 14, 16, 18 or 21
extern bool lyricsBig5;    // "textcodec": false GBK, true Big5
extern bool showLyrics;    // "showlrc"
extern bool sltfwdEnabled; // "sltfwd": the line key skips to the next song

// Hardware key codes, in the phone's numbering.
extern int keyVolUp, keyVolDown, keyEnter, keyUp, keyDown, keyLock, keyLeft, keyRight, keyCamera,
    keyNext, keyPrev, keySoftLeft, keySoftRight, keyLine;
extern int keyLrcEarlier, keyLrcLater; // move the current song's lyrics by half a second
extern int keySpeedDown, keySpeedUp;   // playback speed by 0.05
// The engine's playback speed as last set or read here (1.0 until known).
extern double playbackSpeed;
extern bool keyboardGrabbed;

// Play state as the front-end last set it.
extern bool playingFlag;
extern bool pausedFlag;

// Window mode: 1 mini, 2 vertical, 3 horizontal.
enum WindowMode { MiniMode = 1, VerticalMode = 2, HorizontalMode = 3 };
extern int windowMode;

// Vertical-mode panels and skin-derived values (set at each skin load).
extern bool playlistPanelShown, lyricsPanelShown, equalizerPanelShown;
extern bool winEnabled; // the skin's "win_enabled": three tabs (true) or playlist + equalizer
extern int volumeTrack, hVolumeTrack, eqCentreY;
extern QString titleFontFamily;
extern int xmasFrame;
extern bool hPanelsHidden;

// Equalizer: bands 0..9, then the preamp, -25..25 in drawing units.
extern int eqValues[11];

// A-B loop.
extern bool abRepeat;
extern int pointA, pointB;
extern bool pointAMarked, pointBMarked;
extern int currentSecond;
// Ends the A-B or line loop and drops both marks: a loop belongs to the song it was set on.
// Returns true when a mark was shown (its button then needs drawing again).
bool clearLoop();

// Playlist panel and lyrics.
extern int firstPlaylistLine;
extern bool lyricsLoaded;
extern int lyricsOffset;
